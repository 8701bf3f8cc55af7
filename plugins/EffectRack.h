#pragma once

// CEffectRack: the dual effect rack's panel, one rack slot high. The mixer
// hands it its four aux sends and four aux returns every block; it forwards
// them to the EffectRackEngine it owns, whose two plug-in slots turn send 1
// into return 1 and send 2 into return 2. Per slot: LOAD chooses a VST
// library ("VST (*.so)"), EDIT opens the plug-in's editor window ("VST
// Editor n"), ON lets the slot process; the name display shows "No VST
// plug-in", "Loading...", the plug-in's name, "Failed" or "Unsupported VST";
// IN meters the left send, OUT the louder side of the return. The chosen
// libraries are loaded again at the next start. Every 100 ms the plug-ins
// get their idle calls.
//
// Threads: Process runs on the audio thread (forwards to the engine and
// feeds the meters through their lock-free setdb). Loader news arrives on
// loader threads and is handed to the GUI thread. Everything else runs on
// the GUI thread. Never: Process allocates, locks or waits.

#include "app/PanelControls.h"
#include "app/RackUnit.h"
#include "plugins/CMStatic.h"
#include "plugins/EffectLayout.h"
#include "plugins/EffectRackEngine.h"
#include "plugins/EffectSettings.h"
#include "plugins/PluginEditor.h"
#include "skinkit/CLevel.h"
#include "skinkit/CLevelDriver.h"
#include "skinkit/CMyButton.h"
#include "skinkit/CommandReceiver.h"
#include "utilkit/Ini.h"

#include <QString>
#include <QTimer>

#include <array>
#include <functional>
#include <memory>

class CEffectRack : public CommandReceiver<CRackUnit>, private EffectRackListener
{
    Q_OBJECT

public:
    static constexpr int ID_LOAD1 = effect_layout::kLoadCommand1;
    static constexpr int ID_LOAD2 = effect_layout::kLoadCommand2;
    static constexpr int ID_EDITOR1 = effect_layout::kEditorCommand1;
    static constexpr int ID_EDITOR2 = effect_layout::kEditorCommand2;
    static constexpr int kSlotCount = EffectRackEngine::kSlotCount;

    // Asks the user for a plug-in library: parent, folder to start in,
    // filter. Returns the chosen path; empty when cancelled.
    using FileChooser =
        std::function<QString(QWidget* parent, const QString& startFolder, const QString& filter)>;

    explicit CEffectRack(QWidget* parent = nullptr);
    // Writes "path", closes the editors, joins the loaders, unloads.
    ~CEffectRack() override;

    // GUI thread, once: builds the controls, reads the settings and starts
    // loading the stored plug-ins (slot 1 first).
    void CreateControls() override;
    // Audio thread: sends in[0..3] through the slots into returns out[0..3].
    void Process(float** in, float** out, long numIn, long numOut, long frames) override;
    // GUI thread, device stopped: the plug-ins' rate (0.0 once stopped).
    void SetSampleRate(float rate) override;

    // GUI thread: what choosing a library for the slot does (0 or 1).
    void loadSlot(int slot, const QString& path);
    // GUI thread: what EDIT does; false when nothing opened.
    bool openEditor(int slot);

    // GUI thread. The dialog behind LOAD; tests put their own chooser here.
    // An empty chooser restores the dialog.
    void setFileChooser(FileChooser chooser);

    // For the view and tests.
    EffectRackEngine& engine() { return m_engine; }
    CMStatic& nameDisplay(int slot) { return m_names[index(slot)]; }
    CMyButton& loadButton(int slot) { return m_load[index(slot)]; }
    CMyButton& editorButton(int slot) { return m_editorButtons[index(slot)]; }
    CMyButton& onSwitch(int slot) { return m_on[index(slot)]; }
    CLevel& inputMeter(int slot) { return m_meters[index(slot) * 2]; }
    CLevel& outputMeter(int slot) { return m_meters[index(slot) * 2 + 1]; }
    PluginEditor& editor(int slot) { return *m_editors[index(slot)]; }
    QString lastPath() const { return QString::fromStdString(m_state.path); }

    // The skinned controls in the layout table's row order (the rows of
    // effect_layout::skinnedControls).
    std::array<PanelControlRef, effect_layout::SkinnedControlCount> controlRefs();

protected:
    void OnCommand(int commandId, QWidget* notifyHandle) override;

private:
    static size_t index(int slot) { return static_cast<size_t>(slot); }
    // EffectRackListener: GUI or loader thread; posts to the GUI thread.
    void slotTextChanged(int slot) override;
    void chooseLibrary(int slot);

    std::array<CMStatic, kSlotCount> m_names;
    std::array<CMyButton, kSlotCount> m_load;
    std::array<CMyButton, kSlotCount> m_editorButtons;
    std::array<CMyButton, kSlotCount> m_on{CMyButton{true}, CMyButton{true}};
    // In 1, Out 1, In 2, Out 2 (row order).
    std::array<CLevel, 2 * kSlotCount> m_meters;
    CLevelDriver m_levelDriver;
    QTimer m_idleTimer;
    CIni m_settings;
    EffectSettings m_state;
    FileChooser m_fileChooser;
    bool m_bControlsCreated = false;

    // The editors use the engine's slots: declared after it, so they close
    // before the engine unloads.
    EffectRackEngine m_engine;
    std::array<std::unique_ptr<PluginEditor>, kSlotCount> m_editors;
};
