#pragma once

// CMP3Rack: the MP3 player's panel, one rack slot high. Its controls drive
// the MP3PlayerEngine it owns (transport, playlist, play-all, elapsed or
// remaining time) and show what the engine reports: the lamps as transport
// state, the title text, the playlist in the selector, the time once a second
// and the two peak meters. The playlist and last-open folder are kept through
// MP3Settings: read when the controls are created, written whenever Open or
// Remove changes the list and when the unit goes away.
//
// Threads: Process runs on the audio thread (forwards to the engine and feeds
// the meters through their lock-free setdb). Play/Pause/Stop may also come
// from the MIDI thread (MP3Remote) and only call engine operations. Engine
// news arrives on the GUI, MIDI, load or refill threads and is handed to the
// GUI thread; widgets are touched only there. Never: Process allocates, locks
// or waits.

#include "app/PanelControls.h"
#include "app/RackUnit.h"
#include "players/MP3Layout.h"
#include "players/MP3PlayerEngine.h"
#include "players/MP3PlayerListener.h"
#include "plugins/CMStatic.h"
#include "skinkit/CLED.h"
#include "skinkit/CLEDLight.h"
#include "skinkit/CLevel.h"
#include "skinkit/CLevelDriver.h"
#include "skinkit/CMCombo.h"
#include "skinkit/CMyButton.h"
#include "skinkit/CommandReceiver.h"
#include "utilkit/Ini.h"

#include <QStringList>
#include <QTimer>

#include <array>
#include <functional>

class CMP3Rack : public CommandReceiver<CRackUnit>, private MP3PlayerListener
{
    Q_OBJECT

public:
    static constexpr int ID_PAUSE = mp3_layout::kPauseCommand;
    static constexpr int ID_OPEN = mp3_layout::kOpenCommand;
    static constexpr int ID_PLAY = mp3_layout::kPlayCommand;
    static constexpr int ID_STOP = mp3_layout::kStopCommand;
    static constexpr int ID_REMOVE = mp3_layout::kRemoveCommand;
    static constexpr int ID_PLAYLIST = mp3_layout::kPlaylistCommand;
    static constexpr int ID_PLAY_ALL = mp3_layout::kPlayAllCommand;

    // Asks the user for MP3 files to add: parent, folder to start in, filter.
    // Returns the chosen paths in order; empty when cancelled.
    using FileChooser = std::function<QStringList(QWidget* parent, const QString& startFolder,
                                                  const QString& filter)>;

    explicit CMP3Rack(QWidget* parent = nullptr);
    // Saves the playlist, then stops playback and joins the engine's threads.
    ~CMP3Rack() override;

    // GUI thread, once: creates the controls and reads the settings.
    void CreateControls() override;

    // Audio thread: the engine's block, then the meters take its peaks.
    void Process(float** in, float** out, long numIn, long numOut, long frames) override;
    // GUI thread, device stopped: the unit's rate, and the engine's.
    void SetSampleRate(float rate) override;

    // The remote operations ("MP3 Rack 1 Play/Pause/Stop"): the same as the
    // Play, Pause and Stop buttons. GUI or MIDI thread.
    void Play();
    void Pause();
    void Stop();

    // GUI thread. The file dialog behind the Open button; tests put their own
    // chooser here. An empty chooser restores the dialog.
    void setFileChooser(FileChooser chooser);

    // GUI thread: one step of the time display (the one-second timer runs it).
    void updateTimeDisplay();

    // For the view and tests.
    MP3PlayerEngine& engine() { return m_engine; }
    CMyButton& pauseButton() { return m_pause; }
    CMyButton& openButton() { return m_open; }
    CMyButton& playButton() { return m_play; }
    CMyButton& stopButton() { return m_stop; }
    CMyButton& removeButton() { return m_remove; }
    CMyButton& playAllSwitch() { return m_playAll; }
    CMyButton& remainingSwitch() { return m_remaining; }
    CMCombo& playlistSelector() { return m_playlist; }
    CLED& minutesDisplay() { return m_minutes; }
    CLED& secondsDisplay() { return m_seconds; }
    CLEDLight& playingLamp() { return m_playingLamp; }
    CLEDLight& pausedLamp() { return m_pausedLamp; }
    CLevel& leftMeter() { return m_leftMeter; }
    CLevel& rightMeter() { return m_rightMeter; }
    CMStatic& titleDisplay() { return m_title; }
    bool timeDisplayRunning() const { return m_timeTimer.isActive(); }

    // The skinned controls in the layout table's row order (the rows of
    // mp3_layout::skinnedControls).
    std::array<PanelControlRef, mp3_layout::SkinnedControlCount> controlRefs();

protected:
    // GUI thread.
    void OnCommand(int commandId, QWidget* notifyHandle) override;

private:
    // MP3PlayerListener: GUI, MIDI, load or refill thread. Each only posts
    // the news to the GUI thread.
    void titleChanged(const std::string& title) override;
    void transportChanged(MP3TransportState state) override;
    void playlistChanged() override;
    void playAllChanged(bool playAll) override;

    // GUI thread: bring a control in line with the engine's current state.
    void showTransport();
    void refillPlaylistSelector();
    void addFiles();
    // Writes the playlist to the settings file.
    void savePlaylist();

    CMyButton m_pause;
    CMyButton m_open;
    CMyButton m_play;
    CMyButton m_stop;
    CMyButton m_remove;
    CMyButton m_playAll{true};
    CMyButton m_remaining{true};
    CMCombo m_playlist;
    CLED m_minutes;
    CLED m_seconds;
    CLEDLight m_playingLamp;
    CLEDLight m_pausedLamp;
    CLevel m_leftMeter;
    CLevel m_rightMeter;
    CLevelDriver m_levelDriver;
    CMStatic m_title;
    QTimer m_timeTimer;
    FileChooser m_fileChooser;
    CIni m_settings;
    bool m_bControlsCreated = false;
    // GUI thread: set while the selector is refilled from the engine.
    bool m_bRefillingSelector = false;

    // Last member: destroyed first, so its threads are joined before any
    // control it reports to goes away.
    MP3PlayerEngine m_engine{*this};
};
