#include "recorder/RecorderRack.h"

#include "app/RackUnitTable.h"
#include "platform/GuiThread.h"
#include "skinkit/WindowsColor.h"

#include <QFileDialog>
#include <QMessageBox>

#include <algorithm>

namespace
{
// The meters are ladders of eight LEDs spanning -15..0 dB.
constexpr unsigned kMeterLeds = 8;
constexpr int kMeterFloorDb = -15;
constexpr int kLargestMinutes = 999;
constexpr int kLargestSeconds = 99;
constexpr int kSecondsPerMinute = 60;
// The counter shows captured frames; four refreshes a second keep it within
// a quarter second of the sound.
constexpr int kCounterRefreshMs = 250;
// The file name display: Tahoma 13, normal weight, cyan.
constexpr int kFileNameFontHeight = 13;
constexpr int kFileNameFontWeight = 400;
constexpr skinkit::ColorRef kFileNameColour = skinkit::rgb(0x08, 0xCE, 0xDE);
const char* const kNoFile = "No File";

QString chooseWithDialog(QWidget* parent, const QString& startFolder)
{
    return QFileDialog::getExistingDirectory(parent, QString(), startFolder);
}
} // namespace

CRecorderRack::CRecorderRack(QWidget* parent, const std::string& encoderLibrary)
    : CommandReceiver<CRackUnit>(rack::Recorder, parent), m_folderChooser(&chooseWithDialog),
      m_engine(this, encoderLibrary)
{
    m_counterTimer.setTimerType(Qt::PreciseTimer);
    m_counterTimer.setInterval(kCounterRefreshMs);
    connect(&m_counterTimer, &QTimer::timeout, this, &CRecorderRack::updateCounter);
}

CRecorderRack::~CRecorderRack()
{
    m_engine.setListener(nullptr);
    m_counterTimer.stop();
    m_levelDriver.stop();
    // m_engine, the last member, goes first: it finishes the file.
}

std::array<PanelControlRef, recorder_layout::SkinnedControlCount> CRecorderRack::controlRefs()
{
    return {&m_pause,   &m_stop,    &m_rec,       &m_folder,    &m_lamp,
            &m_minutes, &m_seconds, &m_leftMeter, &m_rightMeter};
}

void CRecorderRack::CreateControls()
{
    CORVANE_ASSERT_GUI_THREAD();
    panel_controls::createControls(*this, recorder_layout::skinnedControls, controlRefs());

    m_minutes.setnumblank(recorder_layout::minutesPlaces);
    m_minutes.setmaxvalue(kLargestMinutes);
    m_minutes.setvalue(0);
    m_seconds.setnumblank(recorder_layout::secondsPlaces);
    m_seconds.setmaxvalue(kLargestSeconds);
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
    const panel::PanelControl& row = recorder_layout::controls[recorder_layout::FileNameDisplay];
    m_fileName.create(this, panel_controls::rectOf(row), row.commandId);
    m_fileName.SetTextFont(QStringLiteral("Tahoma"), kFileNameFontHeight, kFileNameFontWeight,
                           kFileNameColour);
    showState();
    update();

    if (!m_engine.encoderAvailable())
        tell(QStringLiteral("Can not find %1")
                 .arg(QString::fromStdString(m_engine.encoderLibraryName())));
}

// Audio thread.
void CRecorderRack::Process(float** in, float** out, long numIn, long numOut, long frames)
{
    m_engine.process(in, out, numIn, numOut, frames);
    m_leftMeter.setdb(m_engine.leftPeakDb());
    m_rightMeter.setdb(m_engine.rightPeakDb());
}

// GUI thread, device stopped.
void CRecorderRack::SetSampleRate(float rate)
{
    CRackUnit::SetSampleRate(rate);
    m_engine.prepare(rate);
}

// GUI or MIDI thread.
void CRecorderRack::Record()
{
    if (!platform::isGuiThread())
    {
        platform::postToGui(this, [this] { Record(); });
        return;
    }
    if (!m_engine.rec())
        tellFailure();
    showState();
}

// GUI or MIDI thread.
void CRecorderRack::Pause()
{
    if (!platform::isGuiThread())
    {
        platform::postToGui(this, [this] { Pause(); });
        return;
    }
    m_engine.pause();
    showState();
}

// GUI or MIDI thread.
void CRecorderRack::Stop()
{
    if (!platform::isGuiThread())
    {
        platform::postToGui(this, [this] { Stop(); });
        return;
    }
    if (m_engine.state() == RecorderState::Stopped)
        return;
    m_engine.stop();
    showState();
    tellFailure();
}

void CRecorderRack::setFolderChooser(FolderChooser chooser)
{
    m_folderChooser = chooser ? std::move(chooser) : FolderChooser(&chooseWithDialog);
}

void CRecorderRack::OnCommand(int commandId, QWidget*)
{
    switch (commandId)
    {
    case ID_PAUSE:
        Pause();
        break;
    case ID_REC:
        Record();
        break;
    case ID_STOP:
        Stop();
        break;
    case ID_FOLDER:
        chooseFolder();
        break;
    default:
        break;
    }
}

void CRecorderRack::chooseFolder()
{
    CORVANE_ASSERT_GUI_THREAD();
    const QString chosen =
        m_folderChooser(this, QString::fromStdString(m_engine.folder().string()));
    if (!chosen.isEmpty())
        m_engine.setFolder(chosen.toStdString());
}

void CRecorderRack::updateCounter()
{
    CORVANE_ASSERT_GUI_THREAD();
    const int rate = std::max(1, m_engine.recordingRate());
    const auto seconds = static_cast<long long>(m_engine.capturedFrames() / rate);
    m_minutes.setvalue(
        static_cast<int>(std::min<long long>(seconds / kSecondsPerMinute, kLargestMinutes)));
    m_seconds.setvalue(static_cast<int>(seconds % kSecondsPerMinute));
}

void CRecorderRack::showState()
{
    CORVANE_ASSERT_GUI_THREAD();
    const RecorderState state = m_engine.state();
    m_lamp.setlightened(state == RecorderState::Recording);
    m_fileName.SetText(state == RecorderState::Stopped
                           ? QString::fromLatin1(kNoFile)
                           : QString::fromStdString(m_engine.fileName()));
    if (state == RecorderState::Stopped)
    {
        m_counterTimer.stop();
        m_minutes.setvalue(0);
        m_seconds.setvalue(0);
        return;
    }
    updateCounter();
    if (state == RecorderState::Recording)
        m_counterTimer.start();
    else
        m_counterTimer.stop();
}

void CRecorderRack::tellFailure()
{
    const std::string failure = m_engine.failure();
    if (!failure.empty())
        tell(QString::fromStdString(failure));
}

void CRecorderRack::tell(const QString& message)
{
    m_strLastMessage = message;
    if (!m_bTellUser)
        return;
    // Not modal: the rack keeps running (and recording stays stoppable) behind it.
    auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Corvane"), message,
                                QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
}

// Listener callbacks: GUI or encoder thread. The work runs later on the GUI
// thread; a posted step is dropped if the unit is gone by then.

void CRecorderRack::recorderStateChanged()
{
    platform::postToGui(this,
                        [this]
                        {
                            showState();
                            tellFailure();
                        });
}

void CRecorderRack::recorderFailed()
{
    // A Stop already made told the user itself.
    platform::postToGui(this, [this] { Stop(); });
}
