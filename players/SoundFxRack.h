#pragma once

// CSoundFxRack: the eight sound-effect pads' panel, two rack slots high.
// Each pad has a trigger button, a display with its file name or state, and a
// load button; one pad at a time is the edited pad, whose start, end and gain
// the three knobs and LED displays show and change. The sound lives in the
// SoundFxEngine it owns; pads are kept in section "soundfx" through
// SoundFxSettings, read when the controls are created and written when the
// unit goes away.
//
// Threads: Process runs on the audio thread and only forwards to the engine.
// Everything else is GUI thread: buttons, knobs, the view's keys 1-8
// (TriggerPad), loading, and the timer that frees replaced sound data.

#include "app/PanelControls.h"
#include "app/RackUnit.h"
#include "players/SoundFxEngine.h"
#include "players/SoundFxLayout.h"
#include "plugins/CMStatic.h"
#include "skinkit/CKnob.h"
#include "skinkit/CLED.h"
#include "skinkit/CMyButton.h"
#include "skinkit/CommandReceiver.h"
#include "utilkit/Ini.h"

#include <QTimer>

#include <array>
#include <functional>

class CSoundFxRack : public CommandReceiver<CRackUnit>
{
    Q_OBJECT

public:
    // Asks the user for one sound file: parent, folder to start in, filter.
    // Returns the chosen path; empty when cancelled.
    using FileChooser =
        std::function<QString(QWidget* parent, const QString& startFolder, const QString& filter)>;

    explicit CSoundFxRack(QWidget* parent = nullptr);
    // Writes every pad back to the settings file.
    ~CSoundFxRack() override;

    // GUI thread, once: creates the controls, reads the settings and loads
    // the stored pads.
    void CreateControls() override;
    // Audio thread.
    void Process(float** in, float** out, long numIn, long numOut, long frames) override;
    // GUI thread, device stopped: the pads are converted to the new rate.
    void SetSampleRate(float rate) override;

    // GUI thread: as pressing pad's button (the view's keys 1-8). A pad that
    // holds no sound, or a press while all sixteen voices sound, changes
    // nothing; otherwise the pad becomes the edited pad and, when the unit
    // runs and a mixer channel selects it, a voice starts.
    void TriggerPad(int pad);
    // GUI thread: as the pad's load button, with the file dialog.
    void LoadPad(int pad);

    // GUI thread. The dialog behind the load buttons; tests put their own
    // chooser here. An empty chooser restores the dialog.
    void setFileChooser(FileChooser chooser);

    // For the view and tests.
    SoundFxEngine& engine() { return m_engine; }
    int editedPad() const { return m_nEditedPad; }
    CMyButton& padButton(int pad) { return m_pads[static_cast<size_t>(pad)]; }
    CMyButton& loadButton(int pad) { return m_loads[static_cast<size_t>(pad)]; }
    CMStatic& padText(int pad) { return m_texts[static_cast<size_t>(pad)]; }
    CKnob& startKnob() { return m_start; }
    CKnob& endKnob() { return m_end; }
    CKnob& gainKnob() { return m_gain; }
    CLED& startDisplay() { return m_startDisplay; }
    CLED& endDisplay() { return m_endDisplay; }
    CLED& gainDisplay() { return m_gainDisplay; }

    // The skinned controls in the layout table's row order (the rows of
    // soundfx_layout::skinnedControls).
    std::array<PanelControlRef, soundfx_layout::SkinnedControlCount> controlRefs();

protected:
    // GUI thread.
    void OnCommand(int commandId, QWidget* notifyHandle) override;

private:
    // GUI thread.
    void selectEditedPad(int pad);
    void showEditedPad();
    void showPadText(int pad);
    void onKnob(int commandId);
    void saveSettings();

    std::array<CMyButton, soundfx_layout::padCount> m_pads;
    std::array<CMyButton, soundfx_layout::padCount> m_loads;
    CKnob m_start{0, soundfx::kMaxMilliseconds};
    CKnob m_end{0, soundfx::kMaxMilliseconds};
    CKnob m_gain{soundfx::kMinGainDb, soundfx::kMaxGainDb};
    CLED m_startDisplay{0, 0, soundfx::kMaxMilliseconds};
    CLED m_endDisplay{soundfx::kMaxMilliseconds, 0, soundfx::kMaxMilliseconds};
    CLED m_gainDisplay{0, soundfx::kMinGainDb, soundfx::kMaxGainDb};
    std::array<CMStatic, soundfx_layout::padCount> m_texts;
    QTimer m_releaseTimer;
    FileChooser m_fileChooser;
    CIni m_settings;
    std::string m_lastOpenPath;
    int m_nEditedPad = -1;
    bool m_bControlsCreated = false;

    // Last member: destroyed first.
    SoundFxEngine m_engine{*this};
};
