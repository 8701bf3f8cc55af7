#include "players/CDRack.h"

#include "app/RackUnitTable.h"
#include "platform/GuiThread.h"

#include <QMessageBox>

#include <algorithm>

namespace
{
// The meters are ladders of six LEDs spanning -15..0 dB.
constexpr unsigned kMeterLeds = 6;
constexpr int kMeterFloorDb = -15;
// The time and track displays show two digits.
constexpr int kLargestDisplayValue = 99;
constexpr int kSecondsPerMinute = 60;
// The time display steps once a second.
constexpr int kTimeStepMs = 1000;
// A controller value's 0..127 scale.
constexpr double kControllerStep = 1.0 / 127.0;
} // namespace

CCDRack::CCDRack(QWidget* parent) : CommandReceiver<CRackUnit>(rack::CDPlayer, parent)
{
    m_timeTimer.setTimerType(Qt::PreciseTimer);
    m_timeTimer.setInterval(kTimeStepMs);
    connect(&m_timeTimer, &QTimer::timeout, this, &CCDRack::updateTimeDisplay);
}

CCDRack::~CCDRack()
{
    m_engine.setListener(nullptr);
    m_timeTimer.stop();
    m_levelDriver.stop();
    // m_engine, the last member, goes first: it stops and joins its worker.
}

std::array<PanelControlRef, cd_layout::ControlCount> CCDRack::controlRefs()
{
    return {&m_play,          &m_stop,       &m_pause,     &m_pitchSwitch, &m_remaining,
            &m_playingLamp,   &m_pausedLamp, &m_minutes,   &m_seconds,     &m_currentTrack,
            &m_trackSelector, &m_pitch,      &m_leftMeter, &m_rightMeter};
}

void CCDRack::CreateControls()
{
    CORVANE_ASSERT_GUI_THREAD();
    panel_controls::createControls(*this, cd_layout::controls, controlRefs());

    for (CLED* display : {&m_minutes, &m_seconds, &m_currentTrack})
    {
        display->setnumblank(cd_layout::timePlaces);
        display->setmaxvalue(kLargestDisplayValue);
        display->setvalue(0);
    }
    // "1:05", not "1: 5".
    m_seconds.m_bLeadingZeros = true;

    // The two displays the user drags.
    m_trackSelector.setnumblank(cd_layout::trackPlaces);
    m_trackSelector.setminvalue(CDPlayerEngine::kFirstSelectableTrack);
    m_trackSelector.setmaxvalue(CDPlayerEngine::kLastSelectableTrack);
    m_trackSelector.m_bReadOnly = false;
    m_pitch.setnumblank(cd_layout::pitchPlaces);
    m_pitch.setminvalue(CDPlayerEngine::kLowestPitch);
    m_pitch.setmaxvalue(CDPlayerEngine::kHighestPitch);
    m_pitch.m_bReadOnly = false;

    for (CLevel* meter : {&m_leftMeter, &m_rightMeter})
    {
        meter->setvertical(false);
        meter->setledladderstyle(true, kMeterLeds);
        meter->setmindb(kMeterFloorDb);
        m_levelDriver.addLevel(meter);
    }
    m_levelDriver.start();

    m_engine.setListener(this);
    showSelection();
    showTransport();
    if (m_engine.bufferError())
    {
        // Not modal: the rack comes up, and Play stays without effect.
        auto* box = new QMessageBox(QMessageBox::Critical, m_strName,
                                    QStringLiteral("BUFFER ERROR"), QMessageBox::Ok, this);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
    }
    update();
}

// Audio thread.
void CCDRack::Process(float** in, float** out, long numIn, long numOut, long frames)
{
    m_engine.process(in, out, numIn, numOut, frames);
    m_leftMeter.setdb(m_engine.leftPeakDb());
    m_rightMeter.setdb(m_engine.rightPeakDb());
}

// GUI thread, device stopped.
void CCDRack::SetSampleRate(float rate)
{
    CRackUnit::SetSampleRate(rate);
    m_engine.prepare(rate);
}

// GUI or MIDI thread.
void CCDRack::Play()
{
    m_engine.play();
}

// GUI or MIDI thread.
void CCDRack::Stop()
{
    m_engine.stop();
}

// GUI or MIDI thread.
void CCDRack::Pause()
{
    m_engine.pause();
}

// GUI or MIDI thread: trunc(20 × v / 127); 0 is below track 1 and changes nothing.
void CCDRack::SetTrackFromController(int value)
{
    const int controller = value & 0xFF;
    const int track =
        static_cast<int>(CDPlayerEngine::kLastSelectableTrack * controller * kControllerStep);
    if (track >= CDPlayerEngine::kFirstSelectableTrack)
        m_engine.selectTrack(track);
}

// GUI or MIDI thread: trunc(v / 127 × 100 + 50), 50 to 150.
void CCDRack::SetPitchFromController(int value)
{
    const int controller = value & 0xFF;
    m_engine.setPitch(
        static_cast<int>(controller * kControllerStep * 100.0 + CDPlayerEngine::kLowestPitch));
}

void CCDRack::OnCommand(int commandId, QWidget* notifyHandle)
{
    switch (commandId)
    {
    case ID_PLAY:
        Play();
        return;
    case ID_STOP:
        Stop();
        return;
    case ID_PAUSE:
        Pause();
        return;
    case ID_PITCH:
        m_engine.setPitchOn(m_pitchSwitch.getStatus());
        return;
    default:
        break;
    }
    if (m_bShowingSelection)
        return;
    // The displays notify with themselves as the handle when dragged.
    if (notifyHandle == &m_trackSelector)
        m_engine.selectTrack(m_trackSelector.getvalue());
    else if (notifyHandle == &m_pitch)
        m_engine.setPitch(m_pitch.getvalue());
}

void CCDRack::updateTimeDisplay()
{
    CORVANE_ASSERT_GUI_THREAD();
    m_engine.setShowRemaining(m_remaining.getStatus());
    const int seconds = m_engine.displayedSeconds();
    m_minutes.setvalue(std::min(seconds / kSecondsPerMinute, kLargestDisplayValue));
    m_seconds.setvalue(seconds % kSecondsPerMinute);
}

void CCDRack::showTransport()
{
    CORVANE_ASSERT_GUI_THREAD();
    const CDTransportState state = m_engine.transportState();
    m_playingLamp.setlightened(state == CDTransportState::Playing);
    m_pausedLamp.setlightened(state == CDTransportState::Paused);
    m_currentTrack.setvalue(m_engine.currentTrack());
    if (state == CDTransportState::Stopped || state == CDTransportState::Starting)
    {
        m_timeTimer.stop();
        m_minutes.setvalue(0);
        m_seconds.setvalue(0);
    }
    else if (!m_timeTimer.isActive())
    {
        m_timeTimer.start();
    }
}

void CCDRack::showSelection()
{
    CORVANE_ASSERT_GUI_THREAD();
    m_bShowingSelection = true;
    m_trackSelector.setvalue(m_engine.selectedTrack());
    m_pitch.setvalue(m_engine.pitch());
    m_bShowingSelection = false;
}

// Listener callbacks: the thread that made the change. The work runs later on
// the GUI thread and reads the engine as it is then; it is dropped if the
// unit is gone by then.

void CCDRack::transportChanged(CDTransportState)
{
    platform::postToGui(this, [this] { showTransport(); });
}

void CCDRack::selectionChanged()
{
    platform::postToGui(this, [this] { showSelection(); });
}
