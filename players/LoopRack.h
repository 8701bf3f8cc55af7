#pragma once

// CLoopRack: the loop player's panel, two rack slots high. Six slots each take
// a sound file (Load) and are chosen with their select box or the keys Z-N;
// the wave scope shows the current file with a play line moved every 55 ms;
// the play switch (or Space) starts and stops the current file, and the loop
// switch sets whether it loops, a flag the scope keeps per file in its cache.
// Playback is the LoopPlayerEngine's; the slots are kept in section "LOOP"
// through LoopSettings, read at control creation and written at exit.
//
// Threads: Process runs on the audio thread (forwards to the engine). The
// engine's end-of-file news arrives on its refill worker and is handed to the
// GUI thread. Everything else is the GUI thread's. Never: Process allocates,
// locks or waits.

#include "app/PanelControls.h"
#include "app/RackUnit.h"
#include "players/LoopLayout.h"
#include "players/LoopPlayerEngine.h"
#include "skinkit/CCheckBox.h"
#include "skinkit/CMyButton.h"
#include "skinkit/CWaveScope.h"
#include "skinkit/CommandReceiver.h"
#include "utilkit/Ini.h"

#include <QString>
#include <QTimer>

#include <array>
#include <functional>

class CLoopRack : public CommandReceiver<CRackUnit>, private LoopPlayerListener
{
    Q_OBJECT

public:
    static constexpr int kSlotCount = loop_layout::kSlotCount;

    // Asks the user for one sound file: parent, file to start at, filter.
    // Returns the chosen path, empty when cancelled.
    using FileChooser =
        std::function<QString(QWidget* parent, const QString& start, const QString& filter)>;

    explicit CLoopRack(QWidget* parent = nullptr);
    // Saves the slots, then stops playback and joins the engine's worker.
    ~CLoopRack() override;

    // GUI thread, once: creates the controls and reads the settings.
    void CreateControls() override;
    // Audio thread.
    void Process(float** in, float** out, long numIn, long numOut, long frames) override;
    // GUI thread, device stopped.
    void SetSampleRate(float rate) override;

    // The view's keys. GUI thread.
    // Space: flips the play switch and acts on it as a click does.
    void PlayToggle();
    // Z X C V B N: as a click on slot's select box.
    void SelectSlot(int slot);

    // GUI thread: one step of the play line (the 55 ms timer runs it).
    void updatePlayLine();
    // GUI thread. The file dialog behind the Load buttons; tests put their
    // own chooser here. An empty chooser restores the dialog.
    void setFileChooser(FileChooser chooser);
    // The Load dialog's filter.
    static QString fileFilter();

    // For the view and tests.
    LoopPlayerEngine& engine() { return m_engine; }
    CWaveScope& scope() { return m_scope; }
    CMyButton& playButton() { return m_play; }
    CMyButton& loopButton() { return m_loop; }
    CMyButton& loadButton(int slot) { return m_load[static_cast<size_t>(slot)]; }
    CCheckBox& selectBox(int slot) { return m_select[static_cast<size_t>(slot)]; }
    bool playLineRunning() const { return m_playLineTimer.isActive(); }

    // The table-built controls in row order (the rows of loop_layout::skinnedControls).
    std::array<PanelControlRef, loop_layout::SkinnedControlCount> controlRefs();

protected:
    // GUI thread.
    void OnCommand(int commandId, QWidget* notifyHandle) override;

private:
    // LoopPlayerListener: refill worker; posts to the GUI thread.
    void playbackEnded() override;

    void loadFile(int slot);
    void selectChannel(int slot);
    void onPlaySwitch();
    void startPlayback();
    void stopPlayback();
    void saveSettings();

    CMyButton m_play{true};
    CMyButton m_loop{true};
    std::array<CMyButton, kSlotCount> m_load;
    std::array<CCheckBox, kSlotCount> m_select;
    CWaveScope m_scope;
    QTimer m_playLineTimer;
    FileChooser m_fileChooser;
    CIni m_settings;
    std::string m_strLastPath;
    bool m_bControlsCreated = false;

    // Last member: destroyed first, so its worker is joined before any
    // control it reports to goes away.
    LoopPlayerEngine m_engine{*this};
};
