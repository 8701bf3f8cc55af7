#include "players/SoundFxRack.h"

#include "app/RackUnitTable.h"
#include "platform/GuiThread.h"
#include "skinkit/PictureModule.h"
#include "skinkit/WindowsColor.h"

#include <QFileDialog>
#include <QFileInfo>

#include <algorithm>

namespace
{
// Sound data a reload or a rate change replaced is freed this often, once
// the last voice reading it has ended.
constexpr int kReleaseIntervalMs = 500;
// libsndfile reads all of these; .acm stays listed for old pad sets.
const char* const kFileFilter =
    "Sound File (*.wav *.aif *.aiff *.snd *.au *.voc *.flac *.ogg *.opus *.acm)";
// The pad displays: Tahoma 12, normal weight, cyan.
constexpr int kTextFontHeight = 12;
constexpr int kTextFontWeight = 400;
constexpr skinkit::ColorRef kTextColour = skinkit::rgb(0x08, 0xCE, 0xDE);

QString chooseWithDialog(QWidget* parent, const QString& startFolder, const QString& filter)
{
    return QFileDialog::getOpenFileName(parent, QObject::tr("Load Sound Effect"), startFolder,
                                        filter);
}

bool validPad(int pad)
{
    return pad >= 0 && pad < soundfx_layout::padCount;
}
} // namespace

CSoundFxRack::CSoundFxRack(QWidget* parent)
    : CommandReceiver<CRackUnit>(rack::SoundFX, parent), m_fileChooser(&chooseWithDialog)
{
    m_settings.SetPathName(rack::kSettingsFileName);
    m_releaseTimer.setInterval(kReleaseIntervalMs);
    connect(&m_releaseTimer, &QTimer::timeout, this, [this] { m_engine.releaseFinished(); });
}

CSoundFxRack::~CSoundFxRack()
{
    m_releaseTimer.stop();
    saveSettings();
}

std::array<PanelControlRef, soundfx_layout::SkinnedControlCount> CSoundFxRack::controlRefs()
{
    std::array<PanelControlRef, soundfx_layout::SkinnedControlCount> refs{};
    for (size_t pad = 0; pad < soundfx_layout::padCount; ++pad)
    {
        refs[soundfx_layout::Pad1 + pad] = &m_pads[pad];
        refs[soundfx_layout::Load1 + pad] = &m_loads[pad];
    }
    refs[soundfx_layout::StartKnob] = &m_start;
    refs[soundfx_layout::EndKnob] = &m_end;
    refs[soundfx_layout::GainKnob] = &m_gain;
    refs[soundfx_layout::StartDisplay] = &m_startDisplay;
    refs[soundfx_layout::EndDisplay] = &m_endDisplay;
    refs[soundfx_layout::GainDisplay] = &m_gainDisplay;
    return refs;
}

void CSoundFxRack::CreateControls()
{
    CORVANE_ASSERT_GUI_THREAD();
    panel_controls::createControls(*this, soundfx_layout::skinnedControls, controlRefs());
    m_startDisplay.setnumblank(soundfx_layout::msPlaces);
    m_endDisplay.setnumblank(soundfx_layout::msPlaces);
    m_gainDisplay.setnumblank(soundfx_layout::dbPlaces);
    for (int pad = 0; pad < soundfx_layout::padCount; ++pad)
    {
        const panel::PanelControl& row =
            soundfx_layout::controls[soundfx_layout::PadText1 + static_cast<size_t>(pad)];
        CMStatic& text = m_texts[static_cast<size_t>(pad)];
        text.create(this, panel_controls::rectOf(row), row.commandId);
        text.SetTextFont(QStringLiteral("Tahoma"), kTextFontHeight, kTextFontWeight, kTextColour);
    }

    SoundFxSettings saved;
    RestoreSoundFxSettings(m_settings, saved);
    m_lastOpenPath = saved.lastOpenPath;
    m_engine.restoreSettings(saved);
    for (int pad = 0; pad < soundfx_layout::padCount; ++pad)
        showPadText(pad);
    selectEditedPad(saved.trigger);
    showEditedPad();
    m_releaseTimer.start();
    m_bControlsCreated = true;
    update();
}

// Audio thread.
void CSoundFxRack::Process(float** in, float** out, long numIn, long numOut, long frames)
{
    m_engine.process(in, out, numIn, numOut, frames);
}

// GUI thread, device stopped.
void CSoundFxRack::SetSampleRate(float rate)
{
    CRackUnit::SetSampleRate(rate);
    m_engine.prepare(rate);
    // A pad's length in ms can move by one when converted again.
    showEditedPad();
}

void CSoundFxRack::TriggerPad(int pad)
{
    CORVANE_ASSERT_GUI_THREAD();
    if (!validPad(pad) || !m_engine.padReady(pad) ||
        m_engine.activeVoices() >= soundfx::kVoiceCount)
        return;
    if (pad != m_nEditedPad)
    {
        selectEditedPad(pad);
        showEditedPad();
    }
    m_engine.trigger(pad);
}

void CSoundFxRack::LoadPad(int pad)
{
    CORVANE_ASSERT_GUI_THREAD();
    if (!validPad(pad))
        return;
    const QString lastOpen = QString::fromStdString(m_lastOpenPath);
    const QFileInfo lastOpenInfo(lastOpen);
    const QString startFolder = lastOpenInfo.isDir() ? lastOpen : lastOpenInfo.absolutePath();
    const QString chosen = m_fileChooser(this, startFolder, QString::fromLatin1(kFileFilter));
    if (chosen.isEmpty())
        return;
    m_lastOpenPath = chosen.toStdString();
    m_engine.loadFile(pad, chosen.toStdString(),
                      QFileInfo(chosen).completeBaseName().toStdString());
    showPadText(pad);
    if (pad == m_nEditedPad)
        showEditedPad();
    // A crash later in the show must not lose the pad set.
    saveSettings();
}

void CSoundFxRack::setFileChooser(FileChooser chooser)
{
    m_fileChooser = chooser ? std::move(chooser) : FileChooser(&chooseWithDialog);
}

void CSoundFxRack::OnCommand(int commandId, QWidget*)
{
    using namespace soundfx_layout;
    if (commandId >= kTriggerCommand1 && commandId < kTriggerCommand1 + padCount)
        TriggerPad(commandId - kTriggerCommand1);
    else if (commandId >= kLoadCommand1 && commandId < kLoadCommand1 + padCount)
        LoadPad(commandId - kLoadCommand1);
    else if (commandId == kStartCommand || commandId == kEndCommand || commandId == kGainCommand)
        onKnob(commandId);
}

void CSoundFxRack::onKnob(int commandId)
{
    using namespace soundfx_layout;
    // Without an edited pad only the displays follow the knobs.
    switch (commandId)
    {
    case kStartCommand:
        m_engine.setStart(m_nEditedPad, m_start.getvalue());
        m_startDisplay.setvalue(m_start.getvalue());
        break;
    case kEndCommand:
        m_engine.setEnd(m_nEditedPad, m_end.getvalue());
        m_endDisplay.setvalue(m_end.getvalue());
        break;
    case kGainCommand:
        m_engine.setGain(m_nEditedPad, m_gain.getvalue());
        m_gainDisplay.setvalue(m_gain.getvalue());
        break;
    default:
        break;
    }
}

void CSoundFxRack::selectEditedPad(int pad)
{
    using namespace soundfx_layout;
    const PictureModule pictures = PictureModule::corvane();
    if (validPad(m_nEditedPad))
        m_pads[static_cast<size_t>(m_nEditedPad)].LoadPicture(pictures,
                                                              kPadPicture1 + m_nEditedPad);
    m_nEditedPad = validPad(pad) ? pad : -1;
    if (validPad(m_nEditedPad))
        m_pads[static_cast<size_t>(m_nEditedPad)].LoadPicture(pictures,
                                                              kEditedPadPicture1 + m_nEditedPad);
}

// The knobs and displays show the edited pad: its trims within its length,
// and its gain; before any pad is edited, a new pad's (the whole sound at
// 0 dB), so knob and display agree.
void CSoundFxRack::showEditedPad()
{
    const SoundFxPadSettings pad =
        validPad(m_nEditedPad) ? m_engine.padSettings(m_nEditedPad) : SoundFxPadSettings{};
    const int maximum = m_engine.padKnobMaximum(m_nEditedPad);
    for (CKnob* knob : {&m_start, &m_end})
        knob->setmaxvalue(maximum);
    m_start.setvalue(std::min(pad.startMs, maximum));
    m_end.setvalue(std::min(pad.endMs, maximum));
    m_gain.setvalue(pad.gainDb);
    m_startDisplay.setvalue(pad.startMs);
    m_endDisplay.setvalue(pad.endMs);
    m_gainDisplay.setvalue(pad.gainDb);
}

void CSoundFxRack::showPadText(int pad)
{
    m_texts[static_cast<size_t>(pad)].SetText(QString::fromStdString(m_engine.padText(pad)));
}

void CSoundFxRack::saveSettings()
{
    CORVANE_ASSERT_GUI_THREAD();
    // A unit whose settings were never read must not overwrite them.
    if (!m_bControlsCreated)
        return;
    SoundFxSettings state = m_engine.settings();
    state.trigger = m_nEditedPad;
    state.lastOpenPath = m_lastOpenPath;
    SaveSoundFxSettings(m_settings, state);
}
