#pragma once

// CCDRack: the CD player's panel, one rack slot high. Its buttons drive the
// CDPlayerEngine it owns; the track selector and the pitch display are
// dragged by the user (or set by the remote operations) and the engine reads
// them at the next start and the next chunk; the lamps, the current track and
// the minutes:seconds display (elapsed or remaining, once a second) show what
// the engine reports; two meters show the block peaks. It stores nothing but
// its rack position.
//
// Threads: Process runs on the audio thread (forwards to the engine and feeds
// the meters through their lock-free setdb). Play/Stop/Pause and the remote
// setters may come from the MIDI thread and only call engine operations.
// Engine news is handed to the GUI thread; widgets are touched only there.

#include "app/PanelControls.h"
#include "app/RackUnit.h"
#include "players/CDLayout.h"
#include "players/CDPlayerEngine.h"
#include "players/CDPlayerListener.h"
#include "skinkit/CLED.h"
#include "skinkit/CLEDLight.h"
#include "skinkit/CLevel.h"
#include "skinkit/CLevelDriver.h"
#include "skinkit/CMyButton.h"
#include "skinkit/CommandReceiver.h"

#include <QTimer>

#include <array>

class CCDRack : public CommandReceiver<CRackUnit>, private CDPlayerListener
{
    Q_OBJECT

public:
    static constexpr int ID_PLAY = cd_layout::kPlayCommand;
    static constexpr int ID_STOP = cd_layout::kStopCommand;
    static constexpr int ID_PAUSE = cd_layout::kPauseCommand;
    static constexpr int ID_PITCH = cd_layout::kPitchSwitchCommand;

    explicit CCDRack(QWidget* parent = nullptr);
    // Stops playback and joins the engine's worker before the controls go.
    ~CCDRack() override;

    // GUI thread, once: creates the controls.
    void CreateControls() override;

    // Audio thread: the engine's block, then the meters take its peaks.
    void Process(float** in, float** out, long numIn, long numOut, long frames) override;
    // GUI thread, device stopped: the unit's rate, and the engine's.
    void SetSampleRate(float rate) override;

    // The remote operations: the buttons, and the track selector and pitch
    // display set from a controller value (its low 8 bits). GUI or MIDI thread.
    void Play();
    void Stop();
    void Pause();
    void SetTrackFromController(int value);
    void SetPitchFromController(int value);

    // GUI thread: one step of the time display (the one-second timer runs it).
    void updateTimeDisplay();

    // For the view and tests.
    CDPlayerEngine& engine() { return m_engine; }
    CMyButton& playButton() { return m_play; }
    CMyButton& stopButton() { return m_stop; }
    CMyButton& pauseButton() { return m_pause; }
    CMyButton& pitchSwitch() { return m_pitchSwitch; }
    CMyButton& remainingSwitch() { return m_remaining; }
    CLEDLight& playingLamp() { return m_playingLamp; }
    CLEDLight& pausedLamp() { return m_pausedLamp; }
    CLED& minutesDisplay() { return m_minutes; }
    CLED& secondsDisplay() { return m_seconds; }
    CLED& currentTrackDisplay() { return m_currentTrack; }
    CLED& trackSelector() { return m_trackSelector; }
    CLED& pitchDisplay() { return m_pitch; }
    CLevel& leftMeter() { return m_leftMeter; }
    CLevel& rightMeter() { return m_rightMeter; }
    bool timeDisplayRunning() const { return m_timeTimer.isActive(); }

    // The controls in the layout table's row order.
    std::array<PanelControlRef, cd_layout::ControlCount> controlRefs();

protected:
    // GUI thread.
    void OnCommand(int commandId, QWidget* notifyHandle) override;

private:
    // CDPlayerListener: GUI, MIDI or worker thread; each only posts to the
    // GUI thread.
    void transportChanged(CDTransportState state) override;
    void selectionChanged() override;

    // GUI thread: bring the controls in line with the engine.
    void showTransport();
    void showSelection();

    CMyButton m_play;
    CMyButton m_stop;
    CMyButton m_pause;
    CMyButton m_pitchSwitch{true};
    CMyButton m_remaining{true};
    CLEDLight m_playingLamp;
    CLEDLight m_pausedLamp;
    CLED m_minutes;
    CLED m_seconds;
    CLED m_currentTrack;
    CLED m_trackSelector;
    CLED m_pitch;
    CLevel m_leftMeter;
    CLevel m_rightMeter;
    CLevelDriver m_levelDriver;
    QTimer m_timeTimer;
    // GUI thread: set while a display is set from the engine, so its
    // notification is not taken for the user's drag.
    bool m_bShowingSelection = false;

    // Last member: destroyed first, so its worker is joined before any
    // control it reports to goes away.
    CDPlayerEngine m_engine{*this};
};
