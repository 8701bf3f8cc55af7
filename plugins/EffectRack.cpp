#include "plugins/EffectRack.h"

#include "app/RackUnitTable.h"
#include "platform/GuiThread.h"
#include "skinkit/WindowsColor.h"

#include <QFileDialog>
#include <QFileInfo>

namespace
{
// Plug-ins get their idle calls this often.
constexpr int kIdlePeriodMs = 100;
const char* const kFileFilter = "VST (*.so)";
// The name displays: Tahoma 13, bold, cyan.
constexpr int kNameFontHeight = 13;
constexpr int kNameFontWeight = 700;
constexpr skinkit::ColorRef kNameColour = skinkit::rgb(0x08, 0xCE, 0xDE);

QString chooseWithDialog(QWidget* parent, const QString& startFolder, const QString& filter)
{
    return QFileDialog::getOpenFileName(parent, QObject::tr("Load VST Plug-in"), startFolder,
                                        filter);
}
} // namespace

CEffectRack::CEffectRack(QWidget* parent)
    : CommandReceiver<CRackUnit>(rack::DualEffect, parent), m_fileChooser(&chooseWithDialog)
{
    m_settings.SetPathName(rack::kSettingsFileName);
    RestoreEffectSettings(m_settings, m_state);
    for (int slot = 0; slot < kSlotCount; ++slot)
    {
        m_editors[index(slot)] = std::make_unique<PluginEditor>(
            m_engine.pluginSlot(slot), this, QStringLiteral("VST Editor %1").arg(slot + 1));
        m_editors[index(slot)]->setClosedHandler([this, slot]
                                                 { m_engine.setEditorIdle(slot, false); });
    }
    m_idleTimer.setTimerType(Qt::PreciseTimer);
    m_idleTimer.setInterval(kIdlePeriodMs);
    connect(&m_idleTimer, &QTimer::timeout, this, [this] { m_engine.idle(); });
}

CEffectRack::~CEffectRack()
{
    m_engine.setListener(nullptr);
    m_idleTimer.stop();
    m_levelDriver.stop();
    for (auto& editor : m_editors)
        editor->close();
    if (m_bControlsCreated)
        SaveEffectPath(m_settings, m_state.path);
    m_engine.waitForLoads();
}

std::array<PanelControlRef, effect_layout::SkinnedControlCount> CEffectRack::controlRefs()
{
    return {&m_load[0], &m_load[1],   &m_editorButtons[0], &m_editorButtons[1], &m_on[0],
            &m_on[1],   &m_meters[0], &m_meters[1],        &m_meters[2],        &m_meters[3]};
}

void CEffectRack::CreateControls()
{
    CORVANE_ASSERT_GUI_THREAD();
    panel_controls::createControls(*this, effect_layout::skinnedControls, controlRefs());
    for (CLevel& meter : m_meters)
    {
        meter.setvertical(false);
        meter.setledladderstyle(true, effect_layout::kMeterLeds);
    }
    for (int slot = 0; slot < kSlotCount; ++slot)
        m_levelDriver.addLevel(&inputMeter(slot));
    for (int slot = 0; slot < kSlotCount; ++slot)
        m_levelDriver.addLevel(&outputMeter(slot));
    m_levelDriver.start();

    // Text controls, not skinned ones: built from their rows by hand.
    for (int slot = 0; slot < kSlotCount; ++slot)
    {
        const panel::PanelControl& row =
            effect_layout::controls[effect_layout::NameDisplay1 + index(slot)];
        CMStatic& name = m_names[index(slot)];
        name.create(this, panel_controls::rectOf(row), row.commandId);
        name.SetTextFont(QStringLiteral("Tahoma"), kNameFontHeight, kNameFontWeight, kNameColour);
        name.SetText(QString::fromStdString(m_engine.slotText(slot)));
    }

    m_engine.setListener(this);
    m_bControlsCreated = true;
    for (int slot = 0; slot < kSlotCount; ++slot)
        if (!m_state.fileNames[index(slot)].empty())
            m_engine.loadPlugin(slot, m_state.fileNames[index(slot)]);
    m_idleTimer.start();
    update();
}

// Audio thread.
void CEffectRack::Process(float** in, float** out, long numIn, long numOut, long frames)
{
    for (int slot = 0; slot < kSlotCount; ++slot)
        m_engine.setSlotOn(slot, m_on[index(slot)].getStatus());
    m_engine.process(in, out, numIn, numOut, frames);
    for (int slot = 0; slot < kSlotCount; ++slot)
    {
        inputMeter(slot).setdb(m_engine.inputPeakDb(slot));
        outputMeter(slot).setdb(m_engine.outputPeakDb(slot));
    }
}

// GUI thread, device stopped.
void CEffectRack::SetSampleRate(float rate)
{
    m_engine.prepare(rate);
    CRackUnit::SetSampleRate(rate);
}

void CEffectRack::setFileChooser(FileChooser chooser)
{
    m_fileChooser = chooser ? std::move(chooser) : FileChooser(&chooseWithDialog);
}

void CEffectRack::OnCommand(int commandId, QWidget*)
{
    switch (commandId)
    {
    case ID_LOAD1:
    case ID_LOAD2:
        chooseLibrary(commandId - ID_LOAD1);
        break;
    case ID_EDITOR1:
    case ID_EDITOR2:
        openEditor(commandId - ID_EDITOR1);
        break;
    default:
        break;
    }
}

void CEffectRack::chooseLibrary(int slot)
{
    // The stored path is the last library's, not its folder's.
    const QFileInfo last(QString::fromStdString(m_state.path));
    const QString startFolder = last.isDir() ? last.filePath() : last.absolutePath();
    const QString chosen = m_fileChooser(this, startFolder, QString::fromLatin1(kFileFilter));
    if (chosen.isEmpty())
        return;
    loadSlot(slot, chosen);
}

void CEffectRack::loadSlot(int slot, const QString& path)
{
    CORVANE_ASSERT_GUI_THREAD();
    // The editor goes before its plug-in does.
    editor(slot).close();
    m_state.fileNames[index(slot)] = path.toStdString();
    m_state.path = path.toStdString();
    SaveEffectFileName(m_settings, slot, m_state.fileNames[index(slot)]);
    m_engine.loadPlugin(slot, m_state.fileNames[index(slot)]);
    update();
}

bool CEffectRack::openEditor(int slot)
{
    CORVANE_ASSERT_GUI_THREAD();
    if (m_engine.pluginSlot(slot).loading() || !editor(slot).open())
        return false;
    m_engine.setEditorIdle(slot, true);
    return true;
}

// GUI or loader thread: the display shows the engine's text as it is when
// the GUI thread gets to it (dropped if the unit is gone by then).
void CEffectRack::slotTextChanged(int slot)
{
    platform::postToGui(
        this, [this, slot]
        { m_names[index(slot)].SetText(QString::fromStdString(m_engine.slotText(slot))); });
}
