#include "mixer/MixerRack.h"

#include "app/RackUnitTable.h"
#include "mixer/MixerRemote.h"
#include "mixer/MixerSettings.h"
#include "platform/GuiThread.h"

namespace
{

namespace layout = mixer_layout;

// Frames a knob moves per mouse event: fine for gain and pan, coarse for
// the rest.
constexpr int kFineKnobStep = 1;
constexpr int kCoarseKnobStep = 2;

// Meter floors and LED counts: channel meters -30 dB in 5 LEDs, output
// meters -40 dB in 9.
constexpr int kChannelMeterFloorDb = -30;
constexpr unsigned kChannelMeterLeds = 5;
constexpr int kOutputMeterFloorDb = -40;
constexpr unsigned kOutputMeterLeds = 9;

// One key press moves a slider this far.
constexpr int kKeyboardStep = 5;

bool validIndex(int index, int count)
{
    return index >= 0 && index < count;
}

} // namespace

CMixerRack::CMixerRack(QWidget* parent) : CommandReceiver<CRackUnit>(rack::Mixer, parent)
{
    m_settings.SetPathName(rack::kSettingsFileName);
}

CMixerRack::~CMixerRack()
{
    m_levelDriver.stop();
    m_engine.setListener(nullptr);
    // A panel that was never built shows construction values, not the
    // user's: writing them would overwrite the saved mixer.
    if (!m_bControlsBuilt)
        return;
    MixerControlState shown;
    readControlsInto(shown);
    mixer_settings::SaveMixerSettings(m_settings, shown);
}

std::array<PanelControlRef, layout::ControlCount> CMixerRack::controlRefs()
{
    std::array<PanelControlRef, layout::ControlCount> refs{};
    for (int channel = 0; channel < kChannelCount; ++channel)
    {
        ChannelStrip& controls = strip(channel);
        refs[layout::SourceSelector1 + channel] = &controls.source;
        refs[layout::GainKnob1 + channel] = &controls.gain;
        refs[layout::PreFaderSendKnob1 + channel] = &controls.preFaderSend;
        refs[layout::PostFaderSendKnob1 + channel] = &controls.postFaderSend;
        for (int band = 0; band < MixerEngine::kBandCount; ++band)
            refs[layout::EqualiserKnob1 + MixerEngine::kBandCount * channel + band] =
                &controls.bands[static_cast<size_t>(band)];
        refs[layout::PanKnob1 + channel] = &controls.pan;
        refs[layout::ChannelFader1 + channel] = &controls.fader;
        refs[layout::PairOneButton1 + channel] = &controls.toPairOne;
        refs[layout::PairTwoButton1 + channel] = &controls.toPairTwo;
        refs[layout::ChannelMeter1 + channel] = &controls.meter;
    }
    for (size_t index = 0; index < m_compressors.size(); ++index)
        refs[layout::CompressorSwitch1 + index] = &m_compressors[index];
    for (size_t index = 0; index < m_returns.size(); ++index)
        refs[layout::ReturnKnob1 + index] = &m_returns[index];
    for (size_t index = 0; index < m_returnPairs.size(); ++index)
        refs[layout::ReturnPairButton1 + index] = &m_returnPairs[index];
    refs[layout::RecordKnob] = &m_record;
    for (size_t index = 0; index < m_recordPairs.size(); ++index)
        refs[layout::RecordPairButton1 + index] = &m_recordPairs[index];
    for (size_t index = 0; index < m_masters.size(); ++index)
    {
        refs[layout::MasterSlider1 + index] = &m_masters[index];
        refs[layout::OutputMeter1 + index] = &m_outputMeters[index];
    }
    return refs;
}

void CMixerRack::CreateControls()
{
    CORVANE_ASSERT_GUI_THREAD();
    panel_controls::createControls(*this, layout::controls, controlRefs());

    const QStringList monoItems{QStringLiteral("None"), QStringLiteral("In 1"),
                                QStringLiteral("In 2"), QStringLiteral("In 3"),
                                QStringLiteral("In 4")};
    // Item k names source-table entry k.
    const QStringList stereoItems{QStringLiteral("None"),        QStringLiteral("MP3 Player"),
                                  QStringLiteral("CD Player"),   QStringLiteral("VSTi"),
                                  QStringLiteral("Loop Player"), QStringLiteral("SoundFX")};
    for (int channel = 0; channel < kChannelCount; ++channel)
    {
        ChannelStrip& controls = strip(channel);
        controls.source.setitems(MixerControlState::isMonoChannel(channel) ? monoItems
                                                                           : stereoItems);
        // Gain and pan move finely; pan and record use the 66-frame strip,
        // whose even frame count gives frames that read exactly 50 (pan
        // centre) and 100 (record unity) when turned by hand.
        controls.gain.m_nStep = kFineKnobStep;
        controls.pan.m_nStep = kFineKnobStep;
        for (CKnob* knob : {&controls.preFaderSend, &controls.postFaderSend, &controls.bands[0],
                            &controls.bands[1], &controls.bands[2]})
            knob->m_nStep = kCoarseKnobStep;
        controls.meter.setmindb(kChannelMeterFloorDb);
        controls.meter.setledladderstyle(true, kChannelMeterLeds);
        m_levelDriver.addLevel(&controls.meter);
    }
    for (CKnob* knob : {&m_returns[0], &m_returns[1], &m_record})
        knob->m_nStep = kCoarseKnobStep;
    for (CLevel& meter : m_outputMeters)
    {
        meter.setmindb(kOutputMeterFloorDb);
        meter.setledladderstyle(true, kOutputMeterLeds);
        m_levelDriver.addLevel(&meter);
    }

    // The saved values, with the controls' range rules already applied.
    MixerControlState saved;
    mixer_settings::RestoreMixerSettings(m_settings, saved);
    showState(saved);
    // Setting each band to 0 dB computes its flat filter through the
    // knob's notification.
    for (ChannelStrip& controls : m_strips)
        for (CKnob& band : controls.bands)
            band.setvalue(0);
    m_engine.configureCompressor();
    m_levelDriver.start();

    m_bControlsBuilt = true;
    readControlsInto(m_engine.controls());
    m_engine.UpdateRouting();
    m_engine.setListener(this);
    update();
}

void CMixerRack::showState(const MixerControlState& state)
{
    for (int channel = 0; channel < kChannelCount; ++channel)
    {
        ChannelStrip& controls = strip(channel);
        const MixerChannelControls& values = state.channels[static_cast<size_t>(channel)];
        controls.source.setitemindex(values.source.load());
        controls.gain.setvalue(values.gainDb.load());
        controls.preFaderSend.setvalue(values.preFaderSend.load());
        controls.postFaderSend.setvalue(values.postFaderSend.load());
        controls.pan.setvalue(values.pan.load());
        controls.fader.setvalue(values.fader.load());
        controls.toPairOne.SetStatus(values.toOutputPairOne.load());
        controls.toPairTwo.SetStatus(values.toOutputPairTwo.load());
    }
    for (size_t returnIndex = 0; returnIndex < kReturnCount; ++returnIndex)
    {
        m_returns[returnIndex].setvalue(state.returnLevel[returnIndex].load());
        m_returnPairs[2 * returnIndex].SetStatus(state.returnToOutputPairOne[returnIndex].load());
        m_returnPairs[2 * returnIndex + 1].SetStatus(
            state.returnToOutputPairTwo[returnIndex].load());
    }
    m_record.setvalue(state.recordLevel.load());
    m_recordPairs[0].SetStatus(state.recordFromOutputPairOne.load());
    m_recordPairs[1].SetStatus(state.recordFromOutputPairTwo.load());
    for (size_t master = 0; master < kMasterCount; ++master)
        m_masters[master].setvalue(state.masterLevel[master].load());
}

void CMixerRack::readControlsInto(MixerControlState& state) const
{
    for (size_t channel = 0; channel < kChannelCount; ++channel)
    {
        const ChannelStrip& controls = m_strips[channel];
        MixerChannelControls& values = state.channels[channel];
        values.source.store(controls.source.getitemindex());
        values.gainDb.store(controls.gain.getvalue());
        values.compressorOn.store(channel < m_compressors.size() &&
                                  m_compressors[channel].getStatus());
        values.preFaderSend.store(controls.preFaderSend.getvalue());
        values.postFaderSend.store(controls.postFaderSend.getvalue());
        values.pan.store(controls.pan.getvalue());
        values.fader.store(controls.fader.getvalue());
        values.toOutputPairOne.store(controls.toPairOne.getStatus());
        values.toOutputPairTwo.store(controls.toPairTwo.getStatus());
    }
    for (size_t returnIndex = 0; returnIndex < kReturnCount; ++returnIndex)
    {
        state.returnLevel[returnIndex].store(m_returns[returnIndex].getvalue());
        state.returnToOutputPairOne[returnIndex].store(m_returnPairs[2 * returnIndex].getStatus());
        state.returnToOutputPairTwo[returnIndex].store(
            m_returnPairs[2 * returnIndex + 1].getStatus());
    }
    state.recordLevel.store(m_record.getvalue());
    state.recordFromOutputPairOne.store(m_recordPairs[0].getStatus());
    state.recordFromOutputPairTwo.store(m_recordPairs[1].getStatus());
    for (size_t master = 0; master < kMasterCount; ++master)
        state.masterLevel[master].store(m_masters[master].getvalue());
}

void CMixerRack::OnCommand(int commandId, QWidget*)
{
    if (commandId >= layout::kFirstEqualiserCommand && commandId <= layout::kLastEqualiserCommand)
    {
        const int offset = commandId - layout::kFirstEqualiserCommand;
        const int channel = offset / MixerEngine::kBandCount;
        const int band = offset % MixerEngine::kBandCount;
        m_engine.setEqualiserGain(channel, band, equaliserKnob(channel, band).getvalue());
        return;
    }
    if (!m_bControlsBuilt)
        return;
    readControlsInto(m_engine.controls());
    if (commandId >= layout::kFirstStereoSourceCommand &&
        commandId < layout::kFirstSourceCommand + kChannelCount)
        m_engine.UpdateRouting();
}

void CMixerRack::Process(float** in, float** out, long numIn, long numOut, long frames)
{
    m_engine.process(in, out, numIn, numOut, frames);
}

void CMixerRack::SetSampleRate(float rate)
{
    m_engine.prepare(rate);
    RackProcessor::SetSampleRate(rate);
}

void CMixerRack::SetSources(RackProcessor* mp3, RackProcessor* cd, RackProcessor* vsti,
                            RackProcessor* effect, RackProcessor* recorder, RackProcessor* loop,
                            RackProcessor* pads)
{
    if (m_bControlsBuilt)
        readControlsInto(m_engine.controls());
    m_engine.SetSources(mp3, cd, vsti, effect, recorder, loop, pads);
}

void CMixerRack::UpdateRouting()
{
    if (m_bControlsBuilt)
        readControlsInto(m_engine.controls());
    m_engine.UpdateRouting();
}

void CMixerRack::onGuiThread(std::function<void()> change)
{
    if (platform::isGuiThread())
        change();
    else
        platform::postToGui(this, std::move(change));
}

void CMixerRack::SetChannelFaderRemote(int channelIndex, int midiValue)
{
    if (!validIndex(channelIndex, kChannelCount))
        return;
    const int value = mixer_remote::faderValue(midiValue);
    onGuiThread([this, channelIndex, value] { channelFader(channelIndex).setvalue(value); });
}

void CMixerRack::SetMasterLevelRemote(int masterIndex, int midiValue)
{
    if (!validIndex(masterIndex, kMasterCount))
        return;
    const int value = mixer_remote::faderValue(midiValue);
    onGuiThread([this, masterIndex, value] { masterSlider(masterIndex).setvalue(value); });
}

void CMixerRack::SetPanRemote(int channelIndex, int midiValue)
{
    if (!validIndex(channelIndex, kChannelCount))
        return;
    const int value = mixer_remote::levelValue(midiValue);
    onGuiThread([this, channelIndex, value] { panKnob(channelIndex).setvalue(value); });
}

void CMixerRack::SetGainRemote(int channelIndex, int midiValue)
{
    if (!validIndex(channelIndex, kChannelCount))
        return;
    const int value = mixer_remote::gainValue(midiValue);
    onGuiThread([this, channelIndex, value] { gainKnob(channelIndex).setvalue(value); });
}

void CMixerRack::SetSendRemote(int sendIndex, int midiValue)
{
    if (!validIndex(sendIndex, 2 * kChannelCount))
        return;
    const int value = mixer_remote::levelValue(midiValue);
    onGuiThread(
        [this, sendIndex, value]
        {
            ChannelStrip& channel = strip(sendIndex / 2);
            (sendIndex % 2 == 0 ? channel.preFaderSend : channel.postFaderSend).setvalue(value);
        });
}

void CMixerRack::SetReturnLevelRemote(int returnIndex, int midiValue)
{
    if (!validIndex(returnIndex, kReturnCount))
        return;
    const int value = mixer_remote::levelValue(midiValue);
    onGuiThread([this, returnIndex, value] { returnKnob(returnIndex).setvalue(value); });
}

void CMixerRack::SetRecordLevelRemote(int midiValue)
{
    const int value = mixer_remote::levelValue(midiValue);
    onGuiThread([this, value] { m_record.setvalue(value); });
}

void CMixerRack::StepChannelFader(int channelIndex, bool up)
{
    CORVANE_ASSERT_GUI_THREAD();
    if (!validIndex(channelIndex, kChannelCount))
        return;
    CMSlider& fader = channelFader(channelIndex);
    fader.setvalue(fader.getvalue() + (up ? kKeyboardStep : -kKeyboardStep));
}

void CMixerRack::StepMasterLevel(int masterIndex, bool up)
{
    CORVANE_ASSERT_GUI_THREAD();
    if (!validIndex(masterIndex, kMasterCount))
        return;
    CMSlider& master = masterSlider(masterIndex);
    master.setvalue(master.getvalue() + (up ? kKeyboardStep : -kKeyboardStep));
}

void CMixerRack::postMeterReading(int meterIndex, float decibels) noexcept
{
    if (meterIndex >= 0 && meterIndex < kChannelMeterCount)
        channelMeter(meterIndex).setdb(decibels);
    else if (meterIndex >= firstOutputMeter() && meterIndex < kMeterCount)
        outputMeter(meterIndex - firstOutputMeter()).setdb(decibels);
}
