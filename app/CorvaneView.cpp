#include "app/CorvaneView.h"

#include "app/RackMessages.h"
#include "app/RackUnit.h"
#include "app/RackUnitFactory.h"
#include "engine/AmpRack.h"
#include "midiremote/CMidiSetupDlg.h"
#include "midiremote/InstrumentPort.h"
#include "mixer/MixerRack.h"
#include "mixer/MixerRemote.h"
#include "platform/GuiThread.h"
#include "players/CDRack.h"
#include "players/CDRemote.h"
#include "players/LoopRack.h"
#include "players/MP3Rack.h"
#include "players/MP3Remote.h"
#include "players/SoundFxRack.h"
#include "recorder/RecorderRack.h"
#include "recorder/RecorderRemote.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

namespace
{
// The whole rack: the default stack's 18 slots.
constexpr int kRackHeight = rack::kDefaultSlotCount * rack::kSlotHeight;
} // namespace

CCorvaneView::CCorvaneView(QWidget* parent) : QWidget(parent)
{
    m_settings.SetPathName(rack::kSettingsFileName);
    m_background.load(QStringLiteral(":/corvane/146.png"));
    setAutoFillBackground(false);
    setFocusPolicy(Qt::StrongFocus);

    m_pScrollBar = new QScrollBar(Qt::Vertical, this);
    m_pScrollBar->setSingleStep(rack::kSlotHeight / 3);
    connect(m_pScrollBar, &QScrollBar::valueChanged, this, &CCorvaneView::scrollTo);

    createUnits();
    qApp->installEventFilter(this);
}

CCorvaneView::~CCorvaneView()
{
    qApp->removeEventFilter(this);
    // No remote message may reach a unit that is going away.
    m_midiIn.Close();
    shutdownEngine();
    // Reverse of construction: the amplifier first, the pads last.
    for (auto unit = rack::kConstructionOrder.rbegin(); unit != rack::kConstructionOrder.rend();
         ++unit)
        m_ownedUnits[*unit].reset();
}

void CCorvaneView::createUnits()
{
    for (rack::RackUnitIndex index : rack::kConstructionOrder)
    {
        m_ownedUnits[index] = rack::createRackUnit(index, this);
        m_units[index] = m_ownedUnits[index].get();
    }
}

void CCorvaneView::OnInitialUpdate()
{
    m_layout.readPositions(m_settings);
    for (std::size_t index = 0; index < rack::RackUnitCount; ++index)
        m_units[index]->m_nPos = m_layout.position(index);
    relayout();
    for (rack::RackUnitIndex index : rack::kControlCreationOrder)
        m_units[index]->CreateControls();
    // The chain is fixed from here on: the mixer pulls its sources, the
    // amplifier runs the mixer and then the equaliser.
    mixer()->SetSources(m_units[rack::MP3Player], m_units[rack::CDPlayer],
                        m_units[rack::Instrument], m_units[rack::DualEffect],
                        m_units[rack::Recorder], m_units[rack::LoopPlayer], m_units[rack::SoundFX]);
    amplifier()->SetChain(m_units[rack::Mixer], m_units[rack::GraphicEQ]);
    updateScrollRange();

    buildRemoteTargets();
    m_remote.setBindings(remote::RestoreBindings(m_settings));
    if (auto* instrument = dynamic_cast<remote::InstrumentPort*>(m_units[rack::Instrument]))
        instrument->setPortChangedHandler([this] { openRemotePort(); });
    openRemotePort();
}

namespace
{
// Appends one target per function of a unit's remote rows.
template <typename Unit>
void appendTargets(std::vector<std::function<void(int)>>& targets, Unit* unit,
                   RackRemoteTable<Unit> rows)
{
    for (const RackRemoteOperation<Unit>& row : rows)
        for (int index = 0; index < row.count; ++index)
            targets.push_back([unit, &row, index](int value) { row.apply(*unit, index, value); });
}

} // namespace

void CCorvaneView::buildRemoteTargets()
{
    m_remoteTargets.clear();
    appendTargets(m_remoteTargets, mixer(), mixer_remote::operations());
    appendTargets(m_remoteTargets, static_cast<CCDRack*>(m_units[rack::CDPlayer]),
                  cdRemoteOperations());
    appendTargets(m_remoteTargets, static_cast<CRecorderRack*>(m_units[rack::Recorder]),
                  recorderRemoteOperations());
    appendTargets(m_remoteTargets, mp3Player(), mp3RemoteOperations());
    Q_ASSERT(m_remoteTargets.size() == remote::kFunctionCount);
}

void CCorvaneView::applyRemote(int function, int midiValue)
{
    CORVANE_ASSERT_GUI_THREAD();
    if (function >= 0 && static_cast<size_t>(function) < m_remoteTargets.size())
        m_remoteTargets[static_cast<size_t>(function)](midiValue);
}

void CCorvaneView::openRemotePort()
{
    CORVANE_ASSERT_GUI_THREAD();
    // The old port closes first: its delivery thread is joined before the
    // sharing decision changes where its messages go.
    m_midiIn.Close();
    m_nRemotePort = -1;
    const std::vector<std::string> names = midi::CMIDIInDevice::DeviceNames();
    const int port = remote::findPort(names, remote::RestorePort(m_settings));
    takeSharingDecision(port, names);
    if (port < 0)
        return;
    try
    {
        m_remote.setDevice(&m_midiIn);
        m_midiIn.SetReceiver(m_remote);
        m_midiIn.Open(static_cast<unsigned>(port));
        m_midiIn.AddSysExBuffer(m_sysExBuffer.data(), m_sysExBuffer.size());
        m_midiIn.StartRecording();
        m_nRemotePort = port;
    }
    catch (const midi::CMIDIInException&)
    {
        // A port that vanished or refuses leaves the remote closed.
        m_midiIn.Close();
        takeSharingDecision(-1, names);
    }
}

void CCorvaneView::takeSharingDecision(int remotePort, const std::vector<std::string>& deviceNames)
{
    auto* instrument = dynamic_cast<remote::InstrumentPort*>(m_units[rack::Instrument]);
    if (instrument == nullptr)
        return;
    // An instrument without a port shares nothing.
    const std::string instrumentPort = instrument->midiPortName();
    const bool shares = remotePort >= 0 && !instrumentPort.empty() &&
                        remote::findPort(deviceNames, {0, instrumentPort}) == remotePort;
    m_remote.setInstrument(shares ? &instrument->midiReceiver() : nullptr);
    instrument->setSharesRemotePort(shares);
}

void CCorvaneView::runMidiSetup()
{
    CMidiSetupDlg dialog(m_settings, midi::CMIDIInDevice::DeviceNames(), m_nRemotePort, this);
    connect(&dialog, &CMidiSetupDlg::portChanged, this, &CCorvaneView::openRemotePort);
    m_remote.setLearner([&dialog](int status, int data1) { dialog.learn(status, data1); });
    dialog.exec();
    m_remote.setLearner({});
    m_remote.setBindings(remote::RestoreBindings(m_settings));
}

void CCorvaneView::relayout()
{
    for (std::size_t index = 0; index < rack::RackUnitCount; ++index)
    {
        m_layout.setPosition(index, m_units[index]->m_nPos);
        m_units[index]->move(0, m_layout.unitY(index, m_nScrollOffset));
    }
    update();
    m_layout.writePositions(m_settings);
}

void CCorvaneView::moveUnit(CRackUnit* unit, bool up)
{
    const std::size_t index = indexOf(unit);
    if (index >= rack::RackUnitCount)
        return;
    if (up)
        m_layout.moveUp(index);
    else
        m_layout.moveDown(index);
    for (std::size_t other = 0; other < rack::RackUnitCount; ++other)
        m_units[other]->m_nPos = m_layout.position(other);
    relayout();
}

CAmpRack* CCorvaneView::amplifier() const
{
    return static_cast<CAmpRack*>(m_units[rack::Amplifier]);
}

CMixerRack* CCorvaneView::mixer() const
{
    return static_cast<CMixerRack*>(m_units[rack::Mixer]);
}

CMP3Rack* CCorvaneView::mp3Player() const
{
    return static_cast<CMP3Rack*>(m_units[rack::MP3Player]);
}

CSoundFxRack* CCorvaneView::soundFx() const
{
    return static_cast<CSoundFxRack*>(m_units[rack::SoundFX]);
}

std::size_t CCorvaneView::indexOf(const CRackUnit* unit) const
{
    for (std::size_t index = 0; index < rack::RackUnitCount; ++index)
        if (m_units[index] == unit)
            return index;
    return rack::RackUnitCount;
}

void CCorvaneView::scrollTo(int offset)
{
    const int clamped = RackLayout::clampScrollOffset(offset);
    if (clamped == m_nScrollOffset)
        return;
    m_nScrollOffset = clamped;
    for (std::size_t index = 0; index < rack::RackUnitCount; ++index)
        m_units[index]->move(0, m_layout.unitY(index, m_nScrollOffset));
    if (m_pScrollBar->value() != clamped)
        m_pScrollBar->setValue(clamped);
    update();
}

void CCorvaneView::updateScrollRange()
{
    // Never more than the rack's fixed range, never more than what is hidden.
    const int hidden = std::max(0, kRackHeight - height());
    m_pScrollBar->setRange(0, std::min(rack::kMaxScrollOffset, hidden));
    m_pScrollBar->setPageStep(std::max(1, height()));
}

void CCorvaneView::resizeEvent(QResizeEvent*)
{
    const int scrollBarWidth = m_pScrollBar->sizeHint().width();
    m_pScrollBar->setGeometry(width() - scrollBarWidth, 0, scrollBarWidth, height());
    updateScrollRange();
}

void CCorvaneView::wheelEvent(QWheelEvent* event)
{
    QCoreApplication::sendEvent(m_pScrollBar, event);
}

void CCorvaneView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (m_background.isNull())
        painter.fillRect(rect(), QColor(0x16, 0x17, 0x19));
    else
        painter.drawTiledPixmap(rect(), m_background);
}

bool CCorvaneView::event(QEvent* event)
{
    if (event->type() == rack::kRackMove)
    {
        auto* move = static_cast<rack::RackMoveEvent*>(event);
        moveUnit(move->unit(), move->up());
        return true;
    }
    return QWidget::event(event);
}

bool CCorvaneView::isOwnWidget(QObject* object) const
{
    // Only widgets shown inside the main window count: a dialog, message box
    // or pop-up menu opened by a unit is a window of its own, and its keys
    // (a typed path, Escape, arrows) must reach it, not move a fader.
    auto* widget = qobject_cast<QWidget*>(object);
    if (widget == nullptr || widget->window() != window())
        return false;
    // The main window itself has the keys when nothing in it holds the focus.
    if (widget == window())
        return true;
    for (; widget; widget = widget->parentWidget())
        if (widget == this)
            return true;
    return false;
}

bool CCorvaneView::eventFilter(QObject* watched, QEvent* event)
{
    // Every key press aimed at the rack in the main window is taken here, so
    // no control or shortcut sees it; the rack's own keys act.
    if (event->type() == QEvent::KeyPress && isOwnWidget(watched))
    {
        auto* key = static_cast<QKeyEvent*>(event);
        const bool keypad = key->modifiers().testFlag(Qt::KeypadModifier);
        const rack::KeyAction action = rack::keyActionFor(key->key(), keypad);
        // A held fader key keeps stepping; a held pad or loop key acts once.
        const bool repeat =
            m_keyRepeats.isRepeat(key->key(), key->timestamp(), key->isAutoRepeat());
        if (!repeat || !rack::actsOncePerPress(action.kind))
            runKeyAction(action);
        return true;
    }
    if (event->type() == QEvent::KeyRelease && isOwnWidget(watched))
    {
        auto* key = static_cast<QKeyEvent*>(event);
        m_keyRepeats.released(key->key(), key->timestamp());
    }
    if (event->type() == QEvent::ShortcutOverride && isOwnWidget(watched))
    {
        event->accept();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void CCorvaneView::runKeyAction(const rack::KeyAction& action)
{
    switch (action.kind)
    {
    case rack::KeyActionKind::Fader:
        mixer()->StepChannelFader(action.index, action.step > 0);
        break;
    case rack::KeyActionKind::BusFaderPair:
        // I/K move bus faders 1 and 2 together, O/L bus faders 3 and 4.
        mixer()->StepMasterLevel(2 * action.index, action.step > 0);
        mixer()->StepMasterLevel(2 * action.index + 1, action.step > 0);
        break;
    case rack::KeyActionKind::Pad:
        soundFx()->TriggerPad(action.index);
        break;
    case rack::KeyActionKind::LoopPlay:
        if (auto* loop = dynamic_cast<CLoopRack*>(m_units[rack::LoopPlayer]))
            loop->PlayToggle();
        break;
    case rack::KeyActionKind::LoopSlot:
        if (auto* loop = dynamic_cast<CLoopRack*>(m_units[rack::LoopPlayer]))
            loop->SelectSlot(action.index);
        break;
    case rack::KeyActionKind::None:
        break;
    }
}

bool CCorvaneView::confirmExit()
{
    const bool yes = m_askExit ? m_askExit()
                               : QMessageBox::question(this, QStringLiteral("Corvane"),
                                                       QStringLiteral("Are sure to exit Corvane"),
                                                       QMessageBox::Yes | QMessageBox::No,
                                                       QMessageBox::No) == QMessageBox::Yes;
    if (!yes)
        return false;
    m_midiIn.Close();
    shutdownEngine();
    return true;
}

void CCorvaneView::shutdownEngine()
{
    if (m_bEngineShutDown)
        return;
    m_bEngineShutDown = true;
    // The device stops before any unit it calls into is destroyed.
    if (amplifier()->m_bRunning)
        amplifier()->PowerOff();
}
