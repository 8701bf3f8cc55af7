#pragma once

// CVSTiRack: the instrument rack's panel, two rack slots high, one of the
// mixer's sources. A keyboard player picks a MIDI input port, loads a VST
// instrument with LOAD, opens its editor with EDIT ("VSTi Editor"), keeps
// sixteen presets (channel, bank MSB/LSB, program, name) in the instrument's
// preset file, transposes by -12..12 semitones and silences everything with
// PANIC. The name display shows "No synth", "Loading...", the instrument's
// name, "Failed" or "Not a synth"; the lamp lights for 200 ms on MIDI input.
//
// When MIDI remote control uses the same port, the rack closes its own (Linux
// ports are not exclusive: every note would arrive twice) and the remote
// forwards the notes to the engine's receiver.
//
// Threads: Process on the audio thread (forwards to the engine). Loader and
// MIDI news arrive on their threads and are posted to the GUI thread.
// Everything else runs on the GUI thread.

#include "app/PanelControls.h"
#include "app/RackUnit.h"
#include "midiremote/InstrumentPort.h"
#include "plugins/CMStatic.h"
#include "plugins/InstrumentEngine.h"
#include "plugins/InstrumentLayout.h"
#include "plugins/InstrumentPresets.h"
#include "plugins/InstrumentSettings.h"
#include "plugins/PluginEditor.h"
#include "skinkit/CCheckBox.h"
#include "skinkit/CLED.h"
#include "skinkit/CLEDLight.h"
#include "skinkit/CMCombo.h"
#include "skinkit/CMyButton.h"
#include "skinkit/CommandReceiver.h"
#include "utilkit/Ini.h"

#include <QString>
#include <QTimer>

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class CVSTiRack : public CommandReceiver<CRackUnit>,
                  public remote::InstrumentPort,
                  private InstrumentListener
{
    Q_OBJECT

public:
    static constexpr int kPresetCount = instrument_layout::kPresetCount;

    // Asks for a plug-in library: parent, start folder, filter; empty when
    // cancelled.
    using FileChooser =
        std::function<QString(QWidget* parent, const QString& startFolder, const QString& filter)>;
    // Asks for a preset's new name; nothing when cancelled.
    using NamePrompt = std::function<std::optional<QString>(const QString& current)>;

    explicit CVSTiRack(QWidget* parent = nullptr);
    // Saves the current preset, writes the settings, closes port and editor,
    // joins the loader.
    ~CVSTiRack() override;

    // GUI thread, once: the panel, then port, path and plug-in.
    void CreateControls() override;
    // Audio thread: the instrument's block into out[0], out[1].
    void Process(float** in, float** out, long numIn, long numOut, long frames) override;
    // GUI thread, device stopped.
    void SetSampleRate(float rate) override;

    // remote::InstrumentPort, GUI thread.
    std::string midiPortName() const override;
    midi::CMIDIReceiver& midiReceiver() override { return m_engine.receiver(); }
    void setSharesRemotePort(bool shares) override;
    void setPortChangedHandler(std::function<void()> handler) override;

    // GUI thread: what choosing a library does.
    void loadInstrument(const QString& path);
    // GUI thread: what EDIT does; false when nothing opened.
    bool openEditor();
    // GUI thread: what a preset button does (0..15).
    void selectPreset(int index);

    // Tests put their own dialogs here; empty restores the real ones.
    void setFileChooser(FileChooser chooser);
    void setNamePrompt(NamePrompt prompt);

    InstrumentEngine& engine() { return m_engine; }
    InstrumentPresets& presets() { return m_presets; }
    int presetIndex() const { return m_nPreset; }
    CMStatic& nameDisplay() { return m_name; }
    CMStatic& presetNameDisplay() { return m_presetName; }
    CMyButton& loadButton() { return m_load; }
    CMyButton& editorButton() { return m_editorButton; }
    CMyButton& panicButton() { return m_panic; }
    CMyButton& renameButton() { return m_rename; }
    CLEDLight& activityLamp() { return m_lamp; }
    CMCombo& portSelector() { return m_port; }
    CLED& transposeDisplay() { return m_transpose; }
    CLED& channelDisplay() { return m_channel; }
    CLED& bankMsbDisplay() { return m_bankMsb; }
    CLED& bankLsbDisplay() { return m_bankLsb; }
    CLED& programDisplay() { return m_program; }
    CCheckBox& presetButton(int index) { return m_presetButtons[static_cast<size_t>(index)]; }
    PluginEditor& editor() { return *m_editor; }

    // The skinned controls in the rows' order (instrument_layout::skinnedControls).
    std::array<PanelControlRef, instrument_layout::SkinnedControlCount> controlRefs();

protected:
    void OnCommand(int commandId, QWidget* notifyHandle) override;

private:
    // InstrumentListener: loader or MIDI thread; posts to the GUI thread.
    void instrumentChanged() override;
    void midiActivity() override;
    void showInstrument();

    void chooseLibrary();
    void selectPort(bool store);
    void openOwnPort();
    void openPresets(const std::string& pluginPath);
    void saveCurrentPreset();
    void loadPresetValues(int index);
    void sendPreset();
    void renamePreset();

    CMStatic m_name;
    CMStatic m_presetName;
    CMyButton m_load;
    CMyButton m_editorButton;
    CMyButton m_panic;
    CMyButton m_rename;
    CLEDLight m_lamp;
    CMCombo m_port;
    CLED m_transpose{0, -12, 12};
    CLED m_channel{1, 1, 16};
    CLED m_bankMsb{0, 0, 127};
    CLED m_bankLsb{0, 0, 127};
    CLED m_program{0, 0, 127};
    std::array<CCheckBox, kPresetCount> m_presetButtons;

    CIni m_settings;
    InstrumentSettings m_state;
    InstrumentPresets m_presets;
    int m_nPreset = -1;
    // The next preset selection does not save the shown values: they
    // belong to the instrument before the load.
    bool m_bSkipSave = false;
    // A load was asked for and its presets are not open yet.
    bool m_bPresetsPending = false;
    // Controls the program sets notify too: a preset load sends once
    // afterwards, the restored port is opened once.
    bool m_bSettingControls = false;
    bool m_bControlsCreated = false;
    bool m_bSharesRemotePort = false;
    std::function<void()> m_portChanged;
    FileChooser m_fileChooser;
    NamePrompt m_namePrompt;

    std::atomic<bool> m_bLampLit{false};
    QTimer m_lampTimer;
    QTimer m_idleTimer;

    // The editor uses the engine's slot: declared after it, so it closes
    // before the engine unloads.
    InstrumentEngine m_engine;
    std::unique_ptr<PluginEditor> m_editor;
};
