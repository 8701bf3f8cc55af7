#include "players/LoopRack.h"

#include "app/RackUnitTable.h"
#include "platform/GuiThread.h"
#include "players/LoopSettings.h"
#include "skinkit/WindowsColor.h"

#include <QFileDialog>
#include <QFileInfo>

#include <cmath>

namespace
{
// The play line moves every 55 ms: about 18 steps a second, smooth to the eye.
constexpr int kPlayLineStepMs = 55;
const char* const kNoFile = "No File";
constexpr skinkit::ColorRef kWaveColour = skinkit::rgb(0xB7, 0xD6, 0xF9);
constexpr skinkit::ColorRef kWhite = skinkit::rgb(0xFF, 0xFF, 0xFF);
constexpr skinkit::ColorRef kSlotTextColour = skinkit::rgb(0x53, 0x53, 0x52);

QString chooseWithDialog(QWidget* parent, const QString& start, const QString& filter)
{
    return QFileDialog::getOpenFileName(parent, QObject::tr("Open Sound File"), start, filter);
}

QString fileNameOf(const std::string& path)
{
    return QFileInfo(QString::fromStdString(path)).fileName();
}
} // namespace

CLoopRack::CLoopRack(QWidget* parent)
    : CommandReceiver<CRackUnit>(rack::LoopPlayer, parent), m_fileChooser(&chooseWithDialog)
{
    m_settings.SetPathName(rack::kSettingsFileName);
    m_playLineTimer.setTimerType(Qt::PreciseTimer);
    m_playLineTimer.setInterval(kPlayLineStepMs);
    connect(&m_playLineTimer, &QTimer::timeout, this, &CLoopRack::updatePlayLine);
}

CLoopRack::~CLoopRack()
{
    m_engine.setListener(nullptr);
    m_playLineTimer.stop();
    saveSettings();
    // m_engine, the last member, goes first: it stops playback and joins its worker.
}

std::array<PanelControlRef, loop_layout::SkinnedControlCount> CLoopRack::controlRefs()
{
    std::array<PanelControlRef, loop_layout::SkinnedControlCount> refs;
    refs[0] = &m_play;
    refs[1] = &m_loop;
    for (size_t slot = 0; slot < kSlotCount; ++slot)
    {
        refs[loop_layout::FirstLoadButton - 1 + slot] = &m_load[slot];
        refs[loop_layout::FirstSelectBox - 1 + slot] = &m_select[slot];
    }
    return refs;
}

QString CLoopRack::fileFilter()
{
    return QStringLiteral("Sound File (*.wav *.aif *.aiff *.snd *.au *.voc *.acm *.flac *.ogg "
                          "*.oga *.opus)");
}

void CLoopRack::CreateControls()
{
    CORVANE_ASSERT_GUI_THREAD();
    panel_controls::createControls(*this, loop_layout::skinnedControls, controlRefs());

    // The scope is not one of the table-built controls: built from its row by hand.
    const panel::PanelControl& scopeRow = loop_layout::controls[loop_layout::Scope];
    m_scope.create(this, panel_controls::rectOf(scopeRow), scopeRow.commandId);
    m_scope.LoadPicture(PictureModule::corvane(), scopeRow.pictureId);
    m_scope.SetColor(kWaveColour, kWhite, kWhite);
    m_scope.setPlayLineVisible(true);
    m_scope.setparenthwnd(this);

    for (CCheckBox& box : m_select)
    {
        box.settext(QString::fromLatin1(kNoFile));
        box.setTextColor(kSlotTextColour);
    }

    m_engine.setListener(this);
    LoopSettings saved;
    RestoreLoopSettings(m_settings, saved);
    m_strLastPath = saved.lastPath;
    for (int slot = 0; slot < kSlotCount; ++slot)
    {
        const auto index = static_cast<size_t>(slot);
        m_engine.restoreSlot(slot, saved.paths[index], saved.ready[index]);
        if (m_engine.slotReady(slot))
            m_select[index].settext(fileNameOf(saved.paths[index]));
    }
    m_bControlsCreated = true;
    if (saved.currentSlot >= 0)
        selectChannel(saved.currentSlot);
}

// Audio thread.
void CLoopRack::Process(float** in, float** out, long numIn, long numOut, long frames)
{
    m_engine.process(in, out, numIn, numOut, frames);
}

// GUI thread, device stopped.
void CLoopRack::SetSampleRate(float rate)
{
    CRackUnit::SetSampleRate(rate);
    m_engine.prepare(rate);
}

void CLoopRack::setFileChooser(FileChooser chooser)
{
    m_fileChooser = chooser ? std::move(chooser) : FileChooser(&chooseWithDialog);
}

void CLoopRack::OnCommand(int commandId, QWidget*)
{
    using namespace loop_layout;
    if (commandId == kPlayCommand)
    {
        onPlaySwitch();
    }
    else if (commandId == kLoopCommand)
    {
        // The flag is the file's: the scope keeps it in the file's cache.
        if (m_engine.slotReady(m_engine.currentSlot()))
            m_scope.setLoop(m_loop.getStatus());
        m_engine.setLoop(m_loop.getStatus());
    }
    else if (commandId >= kFirstLoadCommand && commandId < kFirstLoadCommand + kSlotCount)
    {
        loadFile(commandId - kFirstLoadCommand);
    }
    else if (commandId >= kFirstSelectCommand && commandId < kFirstSelectCommand + kSlotCount)
    {
        selectChannel(commandId - kFirstSelectCommand);
    }
}

void CLoopRack::PlayToggle()
{
    CORVANE_ASSERT_GUI_THREAD();
    m_play.SetStatus(!m_play.getStatus());
    onPlaySwitch();
}

void CLoopRack::SelectSlot(int slot)
{
    CORVANE_ASSERT_GUI_THREAD();
    if (slot < 0 || slot >= kSlotCount)
        return;
    // As a click: the box flips, then the panel acts on it.
    CCheckBox& box = m_select[static_cast<size_t>(slot)];
    box.setchecked(!box.getchecked());
    selectChannel(slot);
}

void CLoopRack::loadFile(int slot)
{
    const QString chosen = m_fileChooser(this, QString::fromStdString(m_strLastPath), fileFilter());
    if (chosen.isEmpty())
        return;
    const std::string path = chosen.toStdString();
    // Files libsndfile cannot open, empty files and MP3s stay out.
    if (!m_engine.loadSlot(slot, path))
        return;
    m_strLastPath = path;
    m_select[static_cast<size_t>(slot)].settext(fileNameOf(path));
    if (slot == m_engine.currentSlot())
        selectChannel(slot);
}

void CLoopRack::selectChannel(int slot)
{
    CORVANE_ASSERT_GUI_THREAD();
    CCheckBox& box = m_select[static_cast<size_t>(slot)];
    if (!m_engine.slotReady(slot))
    {
        box.setchecked(false);
        return;
    }
    // A running analysis of another file is cancelled: a slot switch never waits.
    if (!m_scope.LibLoadWAVFile(QString::fromStdString(m_engine.slotPath(slot))))
    {
        m_engine.clearReady(slot);
        box.setchecked(false);
        return;
    }
    for (CCheckBox& other : m_select)
        other.setchecked(false);
    box.setchecked(true);
    m_engine.setCurrentSlot(slot);
    const bool loop = m_scope.getLoop();
    m_loop.SetStatus(loop);
    m_engine.setLoop(loop);
    if (m_engine.playing())
        startPlayback();
}

void CLoopRack::onPlaySwitch()
{
    if (!m_engine.slotReady(m_engine.currentSlot()))
    {
        m_play.SetStatus(false);
        return;
    }
    if (m_play.getStatus())
        startPlayback();
    else
        stopPlayback();
}

void CLoopRack::startPlayback()
{
    // Refused while the device is off, no mixer channel selects the unit, or
    // the file has gone since it was loaded. A refusal stops nothing: what
    // plays goes on (a DJ's running loop must not die for another slot's
    // file), and the switch goes off only when nothing plays.
    if (!m_engine.start() && !m_engine.playing())
    {
        stopPlayback();
        return;
    }
    m_play.SetStatus(true);
    m_playLineTimer.start();
    updatePlayLine();
}

void CLoopRack::stopPlayback()
{
    m_engine.stop();
    m_play.SetStatus(false);
    m_playLineTimer.stop();
    m_scope.setPlayLine(0);
}

void CLoopRack::updatePlayLine()
{
    CORVANE_ASSERT_GUI_THREAD();
    m_scope.setPlayLine(static_cast<int>(m_engine.playFraction() * m_scope.width()));
}

// Refill worker: the file ended; the GUI thread turns the switch off unless
// a new start has come meanwhile.
void CLoopRack::playbackEnded()
{
    platform::postToGui(this,
                        [this]
                        {
                            if (!m_engine.playing())
                                stopPlayback();
                        });
}

void CLoopRack::saveSettings()
{
    CORVANE_ASSERT_GUI_THREAD();
    // A unit whose settings were never read must not overwrite them.
    if (!m_bControlsCreated)
        return;
    LoopSettings state;
    state.currentSlot = m_engine.currentSlot();
    for (int slot = 0; slot < kSlotCount; ++slot)
    {
        state.paths[static_cast<size_t>(slot)] = m_engine.slotPath(slot);
        state.ready[static_cast<size_t>(slot)] = m_engine.slotReady(slot);
    }
    state.lastPath = m_strLastPath;
    SaveLoopSettings(m_settings, state);
}
