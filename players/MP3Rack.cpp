#include "players/MP3Rack.h"

#include "app/RackUnitTable.h"
#include "platform/GuiThread.h"
#include "players/MP3Settings.h"
#include "skinkit/WindowsColor.h"

#include <QFileDialog>
#include <QFileInfo>

#include <algorithm>
#include <string>
#include <vector>

namespace
{
// The meters are ladders of eight LEDs spanning -15..0 dB.
constexpr unsigned kMeterLeds = 8;
constexpr int kMeterFloorDb = -15;
// Both time displays count up to 999 (minutes of a very long file).
constexpr int kLargestDisplayValue = 999;
constexpr int kSecondsPerMinute = 60;
// The time display steps once a second.
constexpr int kTimeStepMs = 1000;
const char* const kFileFilter = "MP3 Audio(*.mp3)";
// The title display: Tahoma 13, normal weight, cyan.
constexpr int kTitleFontHeight = 13;
constexpr int kTitleFontWeight = 400;
constexpr skinkit::ColorRef kTitleColour = skinkit::rgb(0x08, 0xCE, 0xDE);

QStringList chooseWithDialog(QWidget* parent, const QString& startFolder, const QString& filter)
{
    return QFileDialog::getOpenFileNames(parent, QObject::tr("Add MP3 Files"), startFolder, filter);
}
} // namespace

CMP3Rack::CMP3Rack(QWidget* parent)
    : CommandReceiver<CRackUnit>(rack::MP3Player, parent), m_fileChooser(&chooseWithDialog)
{
    m_settings.SetPathName(rack::kSettingsFileName);
    m_timeTimer.setTimerType(Qt::PreciseTimer);
    m_timeTimer.setInterval(kTimeStepMs);
    connect(&m_timeTimer, &QTimer::timeout, this, &CMP3Rack::updateTimeDisplay);
}

CMP3Rack::~CMP3Rack()
{
    m_engine.setListener(nullptr);
    m_timeTimer.stop();
    m_levelDriver.stop();
    savePlaylist();
    // m_engine, the last member, goes first: it stops playback and joins its
    // load thread and refill worker.
}

std::array<PanelControlRef, mp3_layout::SkinnedControlCount> CMP3Rack::controlRefs()
{
    return {&m_pause,       &m_open,       &m_play,      &m_stop,      &m_remove,
            &m_playAll,     &m_playlist,   &m_minutes,   &m_seconds,   &m_remaining,
            &m_playingLamp, &m_pausedLamp, &m_leftMeter, &m_rightMeter};
}

void CMP3Rack::CreateControls()
{
    CORVANE_ASSERT_GUI_THREAD();
    panel_controls::createControls(*this, mp3_layout::skinnedControls, controlRefs());

    m_minutes.setnumblank(mp3_layout::minutesPlaces);
    m_minutes.setmaxvalue(kLargestDisplayValue);
    m_minutes.setvalue(0);
    m_seconds.setnumblank(mp3_layout::secondsPlaces);
    m_seconds.setmaxvalue(kLargestDisplayValue);
    // "1:05", not "1: 5".
    m_seconds.m_bLeadingZeros = true;
    m_seconds.setvalue(0);

    for (CLevel* meter : {&m_leftMeter, &m_rightMeter})
    {
        meter->setvertical(false);
        meter->setledladderstyle(true, kMeterLeds);
        meter->setmindb(kMeterFloorDb);
        m_levelDriver.addLevel(meter);
    }
    m_levelDriver.start();

    // A text control, not a skinned one: built from its row by hand.
    const panel::PanelControl& title = mp3_layout::controls[mp3_layout::TitleDisplay];
    m_title.create(this, panel_controls::rectOf(title), title.commandId);
    m_title.SetTextFont(QStringLiteral("Tahoma"), kTitleFontHeight, kTitleFontWeight, kTitleColour);
    m_title.SetText(QString::fromStdString(m_engine.title()));

    m_engine.setListener(this);
    MP3Settings saved;
    RestoreMP3Settings(m_settings, saved);
    m_engine.restoreSettings(saved);
    m_bControlsCreated = true;
    refillPlaylistSelector();
    showTransport();
    update();
}

// Audio thread: the engine writes the block, the meters take its peaks.
void CMP3Rack::Process(float** in, float** out, long numIn, long numOut, long frames)
{
    m_engine.process(in, out, numIn, numOut, frames);
    m_leftMeter.setdb(m_engine.leftPeakDb());
    m_rightMeter.setdb(m_engine.rightPeakDb());
}

// GUI thread, device stopped.
void CMP3Rack::SetSampleRate(float rate)
{
    CRackUnit::SetSampleRate(rate);
    m_engine.prepare(rate);
}

// GUI or MIDI thread.
void CMP3Rack::Play()
{
    m_engine.play();
}

// GUI or MIDI thread.
void CMP3Rack::Pause()
{
    m_engine.pause();
}

// GUI or MIDI thread.
void CMP3Rack::Stop()
{
    m_engine.stop();
}

void CMP3Rack::setFileChooser(FileChooser chooser)
{
    m_fileChooser = chooser ? std::move(chooser) : FileChooser(&chooseWithDialog);
}

void CMP3Rack::OnCommand(int commandId, QWidget*)
{
    switch (commandId)
    {
    case ID_PAUSE:
        Pause();
        break;
    case ID_OPEN:
        addFiles();
        break;
    case ID_PLAY:
        Play();
        break;
    case ID_STOP:
        Stop();
        break;
    case ID_REMOVE:
        m_engine.removeSelected();
        savePlaylist();
        break;
    case ID_PLAYLIST:
        // A refill shows the engine's own selection; only the user's choice
        // goes back (a late echo could undo a play-all advance).
        if (!m_bRefillingSelector)
            m_engine.selectEntry(m_playlist.getitemindex());
        break;
    case ID_PLAY_ALL:
        m_engine.setPlayAll(m_playAll.getStatus());
        break;
    default:
        break;
    }
}

void CMP3Rack::addFiles()
{
    // The dialog opens in the folder of the file added last.
    const QString lastOpen = QString::fromStdString(m_engine.lastOpenPath());
    const QFileInfo lastOpenInfo(lastOpen);
    const QString startFolder = lastOpenInfo.isDir() ? lastOpen : lastOpenInfo.absolutePath();
    const QStringList chosen = m_fileChooser(this, startFolder, QString::fromLatin1(kFileFilter));
    if (chosen.isEmpty())
        return;
    std::vector<std::string> paths;
    paths.reserve(static_cast<size_t>(chosen.size()));
    for (const QString& path : chosen)
        paths.push_back(path.toStdString());
    m_engine.addFiles(paths);
    savePlaylist();
}

void CMP3Rack::savePlaylist()
{
    CORVANE_ASSERT_GUI_THREAD();
    // A unit whose settings were never read must not overwrite them.
    if (!m_bControlsCreated)
        return;
    SaveMP3Settings(m_settings, m_engine.settings());
}

void CMP3Rack::updateTimeDisplay()
{
    CORVANE_ASSERT_GUI_THREAD();
    m_engine.setShowRemaining(m_remaining.getStatus());
    const int seconds = m_engine.displayedSeconds();
    m_minutes.setvalue(std::min(seconds / kSecondsPerMinute, kLargestDisplayValue));
    m_seconds.setvalue(seconds % kSecondsPerMinute);
}

void CMP3Rack::showTransport()
{
    CORVANE_ASSERT_GUI_THREAD();
    const MP3TransportState state = m_engine.transportState();
    m_playingLamp.setlightened(state == MP3TransportState::Playing);
    m_pausedLamp.setlightened(state == MP3TransportState::Paused);
    if (state == MP3TransportState::Stopped)
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

void CMP3Rack::refillPlaylistSelector()
{
    CORVANE_ASSERT_GUI_THREAD();
    QStringList names;
    for (const std::string& name : m_engine.playlistNames())
        names << QString::fromStdString(name);
    m_bRefillingSelector = true;
    m_playlist.setitems(names);
    m_playlist.setitemindex(m_engine.selectedIndex());
    m_bRefillingSelector = false;
}

// Listener callbacks: the thread that made the change. The work runs later
// on the GUI thread and reads the engine's state as it is then, so a burst of
// changes ends with the controls showing the last one. A posted step is
// dropped if the unit is gone by then.

void CMP3Rack::titleChanged(const std::string&)
{
    platform::postToGui(this,
                        [this] { m_title.SetText(QString::fromStdString(m_engine.title())); });
}

void CMP3Rack::transportChanged(MP3TransportState)
{
    platform::postToGui(this, [this] { showTransport(); });
}

void CMP3Rack::playlistChanged()
{
    platform::postToGui(this, [this] { refillPlaylistSelector(); });
}

void CMP3Rack::playAllChanged(bool)
{
    platform::postToGui(this, [this] { m_playAll.SetStatus(m_engine.playAll()); });
}
