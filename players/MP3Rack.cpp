#include "players/MP3Rack.h"

#include "app/RackUnitTable.h"
#include "platform/GuiThread.h"
#include "players/MP3Layout.h"
#include "skinkit/PictureModule.h"
#include "skinkit/WindowsColor.h"
#include "utilkit/Ini.h"

#include <QFileDialog>
#include <QFileInfo>

#include <algorithm>
#include <string>
#include <vector>

namespace
{
constexpr int kPausePicture = 168;
constexpr int kOpenPicture = 181;
constexpr int kPlayPicture = 160;
constexpr int kStopPicture = 164;
constexpr int kRemovePicture = 194;
constexpr int kSwitchPicture = 162;
constexpr int kLedPicture = 165;
constexpr int kLedCells = 11;
constexpr int kLampPicture = 166;
constexpr int kMeterPicture = 167;
// The meters are ladders of eight LEDs spanning -15..0 dB.
constexpr unsigned kMeterLeds = 8;
constexpr int kMeterFloorDb = -15;
// Both time displays count up to 999 (minutes of a very long file).
constexpr int kLargestDisplayValue = 999;
constexpr int kSecondsPerMinute = 60;
// The time display steps once a second.
constexpr int kTimeStepMs = 1000;
const char* const kSettingsFile = "rackdata5.ini";
const char* const kFileFilter = "MP3 Audio(*.mp3)";
// The title display: Tahoma 13, normal weight, cyan.
constexpr int kTitleFontHeight = 13;
constexpr int kTitleFontWeight = 400;
constexpr skinkit::ColorRef kTitleColour = skinkit::rgb(0x08, 0xCE, 0xDE);

QRect at(mp3_layout::Point point, int width = 1, int height = 1)
{
    return QRect(point.x, point.y, width, height);
}

QStringList chooseWithDialog(QWidget* parent, const QString& startFolder, const QString& filter)
{
    return QFileDialog::getOpenFileNames(parent, QObject::tr("Add MP3 Files"), startFolder, filter);
}
} // namespace

CMP3Rack::CMP3Rack(QWidget* parent)
    : CommandReceiver<CRackUnit>(rack::kRackUnits[rack::MP3Player].backgroundId, parent),
      m_fileChooser(&chooseWithDialog)
{
    m_strName = QStringLiteral("MP3 Player");
    m_nHeight = rack::kRackUnits[rack::MP3Player].height;
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

void CMP3Rack::CreateControls()
{
    CORVANE_ASSERT_GUI_THREAD();
    namespace layout = mp3_layout;
    const PictureModule pictures = PictureModule::corvane();

    struct PushButton
    {
        CMyButton& button;
        layout::Point position;
        int id;
        int picture;
    };
    for (const PushButton& push :
         {PushButton{m_pause, layout::pauseButton, ID_PAUSE, kPausePicture},
          PushButton{m_open, layout::openButton, ID_OPEN, kOpenPicture},
          PushButton{m_play, layout::playButton, ID_PLAY, kPlayPicture},
          PushButton{m_stop, layout::stopButton, ID_STOP, kStopPicture},
          PushButton{m_remove, layout::removeButton, ID_REMOVE, kRemovePicture},
          PushButton{m_playAll, layout::playAllSwitch, ID_PLAY_ALL, kSwitchPicture}})
    {
        push.button.create(this, at(push.position), push.id);
        push.button.LoadPicture(pictures, push.picture);
        push.button.setparentwnd(this);
    }
    // Elapsed (off) or remaining (on) time: read by the time display step.
    m_remaining.create(this, at(layout::remainingSwitch), 0);
    m_remaining.LoadPicture(pictures, kSwitchPicture);

    // The selector adds its 2-pixel border to the width it is given.
    m_playlist.create(
        this, at(layout::playlistSelector, layout::selectorWidth - 2, layout::selectorHeight),
        ID_PLAYLIST);
    m_playlist.setparentwnd(this);

    m_minutes.create(this, at(layout::minutesDisplay), 0);
    m_minutes.LoadPicture(pictures, kLedPicture, kLedCells);
    m_minutes.setnumblank(layout::minutesPlaces);
    m_minutes.setmaxvalue(kLargestDisplayValue);
    m_minutes.setvalue(0);
    m_seconds.create(this, at(layout::secondsDisplay), 0);
    m_seconds.LoadPicture(pictures, kLedPicture, kLedCells);
    m_seconds.setnumblank(layout::secondsPlaces);
    m_seconds.setmaxvalue(kLargestDisplayValue);
    // "1:05", not "1: 5".
    m_seconds.m_bLeadingZeros = true;
    m_seconds.setvalue(0);

    m_playingLamp.create(this, at(layout::playingLamp), 0);
    m_playingLamp.LoadPicture(pictures, kLampPicture);
    m_pausedLamp.create(this, at(layout::pausedLamp), 0);
    m_pausedLamp.LoadPicture(pictures, kLampPicture);

    for (auto [meter, position] :
         {std::pair{&m_leftMeter, layout::leftMeter}, std::pair{&m_rightMeter, layout::rightMeter}})
    {
        meter->create(this, at(position, layout::meterWidth, layout::meterHeight), 0);
        meter->setvertical(false);
        meter->LoadPicture(pictures, kMeterPicture);
        meter->setledladderstyle(true, kMeterLeds);
        meter->setmindb(kMeterFloorDb);
        m_levelDriver.addLevel(meter);
    }
    m_levelDriver.start();

    m_title.create(this, at(layout::titleDisplay, layout::titleWidth, layout::titleHeight), 0);
    m_title.SetTextFont(QStringLiteral("Tahoma"), kTitleFontHeight, kTitleFontWeight, kTitleColour);
    m_title.SetText(QString::fromStdString(m_engine.title()));

    m_engine.setListener(this);
    const CIni settings(kSettingsFile);
    m_engine.readSettings(settings);
    m_bControlsCreated = true;
    refillPlaylistSelector();
    showTransport();
    update();
}

// Audio thread: the engine writes the block, the meters take its peaks.
void CMP3Rack::Process(float**, float** out, long, long numOut, long frames)
{
    m_engine.process(out, numOut, frames);
    m_leftMeter.setdb(m_engine.leftPeakDb());
    m_rightMeter.setdb(m_engine.rightPeakDb());
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
    CIni settings(kSettingsFile);
    m_engine.writeSettings(settings);
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
