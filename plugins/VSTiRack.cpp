#include "plugins/VSTiRack.h"

#include "app/RackUnitTable.h"
#include "platform/GuiThread.h"
#include "skinkit/WindowsColor.h"
#include "utilkit/TextEntryDlg.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QStringList>

namespace
{
using namespace instrument_layout;

// Plug-ins get their idle calls this often; the lamp stays lit this long.
constexpr int kIdlePeriodMs = 100;
constexpr int kLampMs = 200;
const char* const kFileFilter = "VST (*.so)";
// The name display: Tahoma 13, bold, cyan; the preset name: normal, grey.
constexpr int kFontHeight = 13;
constexpr int kNameWeight = 700;
constexpr int kPresetNameWeight = 400;
constexpr skinkit::ColorRef kNameColour = skinkit::rgb(0x08, 0xCE, 0xDE);
constexpr skinkit::ColorRef kPresetNameColour = skinkit::rgb(0x53, 0x53, 0x53);
constexpr skinkit::ColorRef kPresetButtonColour = skinkit::rgb(0x53, 0x53, 0x52);
constexpr int kPresetButtonWeight = 400;
constexpr int kPresetButtonFontHeight = 11;

QString chooseWithDialog(QWidget* parent, const QString& startFolder, const QString& filter)
{
    return QFileDialog::getOpenFileName(parent, QObject::tr("Load VST Instrument"), startFolder,
                                        filter);
}

std::optional<QString> promptWithDialog(const QString& current)
{
    CTextEntryDlg dialog;
    if (dialog.Show(nullptr, QStringLiteral("Corvane - VSTi"),
                    QStringLiteral("Please input your preset name:"), current, false) != 1)
        return std::nullopt;
    return dialog.GetText();
}
} // namespace

CVSTiRack::CVSTiRack(QWidget* parent)
    : CommandReceiver<CRackUnit>(rack::Instrument, parent), m_fileChooser(&chooseWithDialog),
      m_namePrompt(&promptWithDialog)
{
    m_settings.SetPathName(rack::kSettingsFileName);
    RestoreInstrumentSettings(m_settings, m_state);
    m_editor =
        std::make_unique<PluginEditor>(m_engine.pluginSlot(), this, QStringLiteral("VSTi Editor"));
    m_editor->setClosedHandler([this] { m_engine.setEditorIdle(false); });
    m_idleTimer.setTimerType(Qt::PreciseTimer);
    m_idleTimer.setInterval(kIdlePeriodMs);
    connect(&m_idleTimer, &QTimer::timeout, this, [this] { m_engine.idle(); });
    m_lampTimer.setSingleShot(true);
    connect(&m_lampTimer, &QTimer::timeout, this,
            [this]
            {
                m_lamp.setlightened(false);
                m_bLampLit.store(false);
            });
}

CVSTiRack::~CVSTiRack()
{
    m_engine.setListener(nullptr);
    m_idleTimer.stop();
    m_editor->close();
    if (m_bControlsCreated)
    {
        saveCurrentPreset();
        SaveInstrumentSettings(m_settings, m_state);
    }
    m_engine.closePort();
    m_engine.waitForLoads();
}

std::array<PanelControlRef, SkinnedControlCount> CVSTiRack::controlRefs()
{
    std::array<PanelControlRef, SkinnedControlCount> refs{
        &m_load,      &m_editorButton, &m_panic,   &m_rename,  &m_lamp,    &m_port,
        &m_transpose, &m_channel,      &m_bankMsb, &m_bankLsb, &m_program,
    };
    for (int index = 0; index < kPresetCount; ++index)
        refs[FirstPreset - LoadButton + static_cast<size_t>(index)] = &presetButton(index);
    return refs;
}

void CVSTiRack::CreateControls()
{
    CORVANE_ASSERT_GUI_THREAD();
    // The selector's handler waits for the stored port below.
    m_bSettingControls = true;
    panel_controls::createControls(*this, skinnedControls, controlRefs());
    QStringList ports{QStringLiteral("None")};
    for (const std::string& name : midi::CMIDIInDevice::DeviceNames())
        ports << QString::fromStdString(name);
    m_port.setitems(ports);
    for (CLED* display : {&m_transpose, &m_bankMsb, &m_bankLsb, &m_program})
        display->setnumblank(3);
    m_channel.setnumblank(2);
    for (CLED* display : {&m_transpose, &m_channel, &m_bankMsb, &m_bankLsb, &m_program})
        display->m_bReadOnly = false;
    for (int index = 0; index < kPresetCount; ++index)
    {
        CCheckBox& button = presetButton(index);
        button.setTextColor(kPresetButtonColour);
        button.setTextFont(kPresetButtonWeight, kPresetButtonFontHeight);
        button.settext(QStringLiteral("Preset %1").arg(index + 1));
    }
    // Text controls, not skinned ones: built from their rows by hand.
    m_name.create(this, panel_controls::rectOf(controls[NameDisplay]));
    m_name.SetTextFont(QStringLiteral("Tahoma"), kFontHeight, kNameWeight, kNameColour);
    m_name.SetText(QString::fromStdString(m_engine.displayText()));
    m_presetName.create(this, panel_controls::rectOf(controls[PresetNameDisplay]));
    m_presetName.SetTextFont(QStringLiteral("Tahoma"), kFontHeight, kPresetNameWeight,
                             kPresetNameColour);
    m_presetName.SetText(QStringLiteral("preset"));
    m_bSettingControls = false;

    m_engine.setListener(this);
    m_bControlsCreated = true;
    // The stored port, found by name among the ports there now; a port that
    // is not there leaves the selector on "None" and the setting as it was.
    const int port = remote::findPort(midi::CMIDIInDevice::DeviceNames(), m_state.port);
    m_bSettingControls = true;
    m_port.setitemindex(port + 1);
    m_bSettingControls = false;
    selectPort(false);
    if (!m_state.fileName.empty())
        loadInstrument(QString::fromStdString(m_state.fileName));
    m_idleTimer.start();
    update();
}

// Audio thread.
void CVSTiRack::Process(float** in, float** out, long numIn, long numOut, long frames)
{
    m_engine.process(in, out, numIn, numOut, frames);
}

void CVSTiRack::SetSampleRate(float rate)
{
    m_engine.prepare(rate);
    CRackUnit::SetSampleRate(rate);
}

void CVSTiRack::setFileChooser(FileChooser chooser)
{
    m_fileChooser = chooser ? std::move(chooser) : FileChooser(&chooseWithDialog);
}

void CVSTiRack::setNamePrompt(NamePrompt prompt)
{
    m_namePrompt = prompt ? std::move(prompt) : NamePrompt(&promptWithDialog);
}

void CVSTiRack::OnCommand(int commandId, QWidget*)
{
    if (commandId >= kFirstPresetCommand && commandId < kFirstPresetCommand + kPresetCount)
    {
        selectPreset(commandId - kFirstPresetCommand);
        return;
    }
    switch (commandId)
    {
    case kLoadCommand:
        chooseLibrary();
        break;
    case kEditorCommand:
        openEditor();
        break;
    case kPanicCommand:
        m_engine.panic();
        break;
    case kTransposeCommand:
        // Held notes keep their own note-offs; the sound-off still clears
        // instruments that honour it, as a transpose change always did.
        m_engine.setTranspose(m_transpose.getvalue());
        m_engine.allSoundOff();
        break;
    case kBankMsbCommand:
    case kBankLsbCommand:
    case kChannelCommand:
    case kProgramCommand:
        if (!m_bSettingControls)
            sendPreset();
        break;
    case kPortCommand:
        if (!m_bSettingControls)
            selectPort(true);
        break;
    case kRenameCommand:
        renamePreset();
        break;
    default:
        break;
    }
}

void CVSTiRack::chooseLibrary()
{
    const QFileInfo last(QString::fromStdString(m_state.path));
    const QString startFolder = last.isDir() ? last.filePath() : last.absolutePath();
    const QString chosen = m_fileChooser(this, startFolder, QString::fromLatin1(kFileFilter));
    if (chosen.isEmpty())
        return;
    m_state.path = chosen.toStdString();
    loadInstrument(chosen);
}

void CVSTiRack::loadInstrument(const QString& path)
{
    CORVANE_ASSERT_GUI_THREAD();
    // The editor goes before its plug-in does.
    m_editor->close();
    m_state.fileName = path.toStdString();
    m_bPresetsPending = true;
    m_engine.loadPlugin(m_state.fileName);
    update();
}

bool CVSTiRack::openEditor()
{
    CORVANE_ASSERT_GUI_THREAD();
    m_engine.setEditorIdle(false);
    if (m_engine.pluginSlot().loading() || !m_editor->open())
        return false;
    m_engine.setEditorIdle(true);
    return true;
}

// Loader thread (or GUI): the news goes to the GUI thread.
void CVSTiRack::instrumentChanged()
{
    platform::postToGui(this, [this] { showInstrument(); });
}

void CVSTiRack::showInstrument()
{
    m_name.SetText(QString::fromStdString(m_engine.displayText()));
    const InstrumentEngine::State state = m_engine.state();
    if (!m_bPresetsPending || state == InstrumentEngine::State::Loading)
        return;
    m_bPresetsPending = false;
    if (state == InstrumentEngine::State::Failed)
        return;
    // The shown values belong to the instrument before this one.
    m_bSkipSave = true;
    if (state == InstrumentEngine::State::Playing)
        openPresets(m_engine.playingPath());
}

// MIDI delivery thread: lights the lamp once; the GUI thread puts it out.
void CVSTiRack::midiActivity()
{
    if (m_bLampLit.exchange(true))
        return;
    platform::postToGui(this,
                        [this]
                        {
                            m_lamp.setlightened(true);
                            m_lampTimer.start(kLampMs);
                        });
}

std::string CVSTiRack::midiPortName() const
{
    const int index = m_port.getitemindex();
    return index > 0 ? m_port.itemText(index).toStdString() : std::string();
}

void CVSTiRack::setSharesRemotePort(bool shares)
{
    CORVANE_ASSERT_GUI_THREAD();
    m_bSharesRemotePort = shares;
    if (shares)
        m_engine.closePort();
    else if (!m_engine.portOpen())
        openOwnPort();
}

void CVSTiRack::setPortChangedHandler(std::function<void()> handler)
{
    m_portChanged = std::move(handler);
}

// The selector names the port: store it (when the user chose it), open it
// unless the remote shares it, and let the remote decide again.
void CVSTiRack::selectPort(bool store)
{
    if (store)
    {
        const int index = m_port.getitemindex();
        m_state.port = {index - 1, midiPortName()};
        SaveInstrumentPort(m_settings, m_state.port);
    }
    m_engine.closePort();
    if (!m_bSharesRemotePort)
        openOwnPort();
    if (m_portChanged)
        m_portChanged();
}

void CVSTiRack::openOwnPort()
{
    const std::string name = midiPortName();
    if (name.empty())
        return;
    // Devices may have come or gone since the selector was filled.
    const int device =
        remote::findPort(midi::CMIDIInDevice::DeviceNames(), {m_port.getitemindex() - 1, name});
    // A port that cannot be opened stays closed; the choice is kept.
    m_engine.openPort(device);
}

void CVSTiRack::openPresets(const std::string& pluginPath)
{
    m_presets.open(pluginPath);
    for (int index = 0; index < kPresetCount; ++index)
        presetButton(index).settext(QString::fromStdString(m_presets.buttonText(index)));
    selectPreset(m_presets.last());
}

void CVSTiRack::selectPreset(int index)
{
    CORVANE_ASSERT_GUI_THREAD();
    for (int button = 0; button < kPresetCount; ++button)
        presetButton(button).setchecked(button == index);
    if (m_bSkipSave)
        m_bSkipSave = false;
    else
        saveCurrentPreset();
    m_nPreset = index;
    if (m_engine.playing() && m_presets.isOpen())
    {
        loadPresetValues(index);
        sendPreset();
    }
}

void CVSTiRack::saveCurrentPreset()
{
    if (m_nPreset < 0 || !m_presets.isOpen())
        return;
    m_presets.save(m_nPreset, {m_channel.getvalue(), m_bankMsb.getvalue(), m_bankLsb.getvalue(),
                               m_program.getvalue(), ""});
}

void CVSTiRack::loadPresetValues(int index)
{
    const InstrumentPreset preset = m_presets.load(index);
    m_bSettingControls = true;
    m_channel.setvalue(preset.channel);
    m_bankMsb.setvalue(preset.bankMsb);
    m_bankLsb.setvalue(preset.bankLsb);
    m_program.setvalue(preset.program);
    m_bSettingControls = false;
    m_presetName.SetText(QString::fromStdString(preset.name));
    m_presets.setLast(index);
}

void CVSTiRack::sendPreset()
{
    if (m_engine.playing())
        m_engine.sendPreset(m_channel.getvalue(), m_bankMsb.getvalue(), m_bankLsb.getvalue(),
                            m_program.getvalue());
}

void CVSTiRack::renamePreset()
{
    if (m_nPreset >= 0 && m_presets.isOpen())
        if (const std::optional<QString> name = m_namePrompt(m_presetName.text()))
        {
            m_presetName.SetText(*name);
            m_presets.rename(m_nPreset, name->toStdString());
            presetButton(m_nPreset).settext(*name);
        }
    update();
}
