#include "mixer/MixerRack.h"

#include "app/RackUnitTable.h"
#include "mixer/MixerLayout.h"
#include "mixer/MixerRemoteControl.h"
#include "mixer/MixerSettings.h"
#include "platform/GuiThread.h"
#include "skinkit/PictureModule.h"

namespace
{

// The program's pictures for the panel.
constexpr int kSendKnobPicture = 134; // also equaliser, return, pan and record knobs
constexpr int kSendKnobFrames = 66;
constexpr int kGainKnobPicture = 139;
constexpr int kGainKnobFrames = 45;
constexpr int kFaderTrackPicture = 137;
constexpr int kFaderThumbPicture = 138;
constexpr int kChannelMeterPicture = 140;
constexpr int kOutputMeterPicture = 141;
constexpr int kPairTwoPicture = 131;
constexpr int kPairOnePicture = 149;
constexpr int kCompressorPicture = 183;

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

QRect at(mixer_layout::Point point, int width = 1, int height = 1)
{
    return QRect(point.x, point.y, width, height);
}

bool isEqualiserKnobId(int commandId)
{
    return commandId >= MixerEngine::kFirstEqualiserKnobId &&
           commandId <= MixerEngine::kLastEqualiserKnobId;
}

bool validIndex(int index, int count)
{
    return index >= 0 && index < count;
}

} // namespace

CMixerRack::CMixerRack(QWidget* parent)
    : CommandReceiver<CRackUnit>(rack::kRackUnits[rack::Mixer].backgroundId, parent)
{
    m_settings.SetPathName("rackdata5.ini");
    m_strName = QStringLiteral("Mixer");
    m_nHeight = rack::kRackUnits[rack::Mixer].height;
}

CMixerRack::~CMixerRack()
{
    m_levelDriver.stop();
    m_engine.setMeterSink(nullptr);
    // A panel that was never built shows construction values, not the
    // user's: writing them would overwrite the saved mixer.
    if (!m_bControlsBuilt)
        return;
    MixerControlState shown;
    readControlsInto(shown);
    mixer_settings::SaveMixerSettings(m_settings, shown);
}

CKnob& CMixerRack::equaliserKnob(int channelIndex, int band)
{
    ChannelStrip& channel = strip(channelIndex);
    return band == 0 ? channel.high : band == 1 ? channel.mid : channel.low;
}

CKnob& CMixerRack::returnKnob(int returnIndex)
{
    return m_returns[static_cast<size_t>(returnIndex)];
}

CMyButton& CMixerRack::returnPairButton(int returnIndex, int pair)
{
    return pair == 0 ? m_returnToPairOne[static_cast<size_t>(returnIndex)]
                     : m_returnToPairTwo[static_cast<size_t>(returnIndex)];
}

CMyButton& CMixerRack::recordPairButton(int pair)
{
    return pair == 0 ? m_recordFromPairOne : m_recordFromPairTwo;
}

CMSlider& CMixerRack::masterSlider(int masterIndex)
{
    return m_masters[static_cast<size_t>(masterIndex)];
}

CLevel& CMixerRack::outputMeter(int output)
{
    return m_outputMeters[static_cast<size_t>(output)];
}

void CMixerRack::CreateControls()
{
    CORVANE_ASSERT_GUI_THREAD();
    // The saved values, with the controls' range rules already applied.
    MixerControlState saved;
    mixer_settings::RestoreMixerSettings(m_settings, saved);

    createSelectors(saved);
    createChannelKnobs(saved);
    createSlidersAndButtons();
    createMeters();
    createMasterKnobs(saved);
    m_engine.ConfigureCompressor();
    restoreSlidersButtonsAndGains(saved);

    for (ChannelStrip& channel : m_strips)
        m_levelDriver.addLevel(&channel.meter);
    for (CLevel& meter : m_outputMeters)
        m_levelDriver.addLevel(&meter);
    m_levelDriver.start();

    m_bControlsBuilt = true;
    readControlsInto(m_engine.controls());
    m_engine.UpdateRouting();
    m_engine.setMeterSink(&m_meterForwarder);
    update();
}

void CMixerRack::createSelectors(const MixerControlState& saved)
{
    const QStringList monoItems{QStringLiteral("None"), QStringLiteral("In 1"),
                                QStringLiteral("In 2"), QStringLiteral("In 3"),
                                QStringLiteral("In 4")};
    // Item k names source-table entry k.
    const QStringList stereoItems{QStringLiteral("None"),        QStringLiteral("MP3 Player"),
                                  QStringLiteral("CD Player"),   QStringLiteral("VSTi"),
                                  QStringLiteral("Loop Player"), QStringLiteral("SoundFX")};
    for (int channel = 0; channel < kChannelCount; ++channel)
    {
        CMCombo& selector = strip(channel).source;
        // A selector adds 2 pixels of border to the width it is given.
        selector.create(this,
                        at(mixer_layout::selector(channel), mixer_layout::selectorWidth - 2,
                           mixer_layout::selectorHeight),
                        ID_FIRST_SOURCE + channel);
        selector.setparentwnd(this);
        selector.setitems(MixerControlState::isMonoChannel(channel) ? monoItems : stereoItems);
        selector.setitemindex(saved.channels[static_cast<size_t>(channel)].source.load());
    }
}

void CMixerRack::createChannelKnobs(const MixerControlState& saved)
{
    const PictureModule pictures = PictureModule::corvane();
    auto makeKnob = [&](CKnob& knob, mixer_layout::Point point, int size, int id, int picture,
                        int frames, int step)
    {
        knob.create(this, at(point, size, size), id);
        knob.LoadPicture(pictures, picture, frames);
        knob.setparentwnd(this);
        knob.m_nStep = step;
    };

    // Gain knobs: values restored with the sliders, at the end.
    for (int channel = 0; channel < kChannelCount; ++channel)
        makeKnob(strip(channel).gain, mixer_layout::gainKnob(channel), mixer_layout::gainKnobSize,
                 ID_GAIN, kGainKnobPicture, kGainKnobFrames, kFineKnobStep);

    for (int channel = 0; channel < MixerControlState::kMonoChannelCount; ++channel)
    {
        CMyButton& compressor = strip(channel).compressor;
        compressor.create(this,
                          at(mixer_layout::compressorSwitch(channel), mixer_layout::buttonWidth,
                             mixer_layout::buttonHeight),
                          0);
        compressor.LoadPicture(pictures, kCompressorPicture);
        compressor.setparentwnd(this);
        compressor.SetStyle(true);
        compressor.SetStatus(false);
    }

    for (int channel = 0; channel < kChannelCount; ++channel)
    {
        ChannelStrip& controls = strip(channel);
        const MixerChannelControls& values = saved.channels[static_cast<size_t>(channel)];
        makeKnob(controls.preFaderSend, mixer_layout::preFaderSendKnob(channel),
                 mixer_layout::knobSize, channel == 0 ? ID_PRE_SEND_1 : 0, kSendKnobPicture,
                 kSendKnobFrames, kCoarseKnobStep);
        controls.preFaderSend.setvalue(values.preFaderSend.load());
        makeKnob(controls.postFaderSend, mixer_layout::postFaderSendKnob(channel),
                 mixer_layout::knobSize, channel == 0 ? ID_POST_SEND_1 : 0, kSendKnobPicture,
                 kSendKnobFrames, kCoarseKnobStep);
        controls.postFaderSend.setvalue(values.postFaderSend.load());
    }

    // Setting each band to 0 dB computes its flat filter through the
    // knob's notification.
    for (int channel = 0; channel < kChannelCount; ++channel)
        for (int band = 0; band < MixerEngine::kBandCount; ++band)
        {
            CKnob& knob = equaliserKnob(channel, band);
            makeKnob(knob, mixer_layout::equaliserKnob(channel, band), mixer_layout::knobSize,
                     MixerEngine::EqualiserKnobId(channel, band), kSendKnobPicture, kSendKnobFrames,
                     kCoarseKnobStep);
            knob.setmaxvalue(mixer_ranges::kEqualiser.maximum);
            knob.setminvalue(mixer_ranges::kEqualiser.minimum);
            knob.setvalue(0);
        }

    // Pan knobs use the 66-frame strip: with an even frame count one frame
    // reads exactly 50, so a pan turned by hand can reach the centre, which
    // passes both sides at unity.
    for (int channel = 0; channel < kChannelCount; ++channel)
    {
        CKnob& pan = strip(channel).pan;
        makeKnob(pan, mixer_layout::panKnob(channel), mixer_layout::knobSize,
                 channel == 0 ? ID_PAN_1 : 0, kSendKnobPicture, kSendKnobFrames, kFineKnobStep);
        pan.setminvalue(mixer_ranges::kPan.minimum);
        pan.setmaxvalue(mixer_ranges::kPan.maximum);
        pan.setvalue(saved.channels[static_cast<size_t>(channel)].pan.load());
    }
}

void CMixerRack::createSlidersAndButtons()
{
    const PictureModule pictures = PictureModule::corvane();
    auto makeSlider = [&](CMSlider& slider, mixer_layout::Point point, int id)
    {
        slider.create(this, at(point, mixer_layout::faderWidth, mixer_layout::faderHeight), id);
        slider.LoadPicture(pictures, kFaderTrackPicture, kFaderThumbPicture);
        slider.setparentwnd(this);
    };
    auto makeButton = [&](CMyButton& button, mixer_layout::Point point, int picture)
    {
        button.create(this, at(point, mixer_layout::buttonWidth, mixer_layout::buttonHeight), 0);
        button.LoadPicture(pictures, picture);
        button.setparentwnd(this);
        button.SetStyle(true);
    };

    for (int channel = 0; channel < kChannelCount; ++channel)
        makeSlider(strip(channel).fader, mixer_layout::channelFader(channel),
                   channel == 0 ? ID_FADER_1 : 0);
    for (int master = 0; master < kMasterCount; ++master)
        makeSlider(masterSlider(master), mixer_layout::masterSlider(master), 0);

    for (int channel = 0; channel < kChannelCount; ++channel)
    {
        makeButton(strip(channel).toPairOne, mixer_layout::pairOneButton(channel), kPairOnePicture);
        makeButton(strip(channel).toPairTwo, mixer_layout::pairTwoButton(channel), kPairTwoPicture);
    }
    for (int returnIndex = 0; returnIndex < kReturnCount; ++returnIndex)
    {
        makeButton(returnPairButton(returnIndex, 0), mixer_layout::returnPairButton(returnIndex, 0),
                   kPairOnePicture);
        makeButton(returnPairButton(returnIndex, 1), mixer_layout::returnPairButton(returnIndex, 1),
                   kPairTwoPicture);
    }
    makeButton(m_recordFromPairOne, mixer_layout::recordPairButton(0), kPairOnePicture);
    makeButton(m_recordFromPairTwo, mixer_layout::recordPairButton(1), kPairTwoPicture);
}

void CMixerRack::createMeters()
{
    const PictureModule pictures = PictureModule::corvane();
    for (int channel = 0; channel < kChannelCount; ++channel)
    {
        CLevel& meter = strip(channel).meter;
        meter.create(this,
                     at(mixer_layout::channelMeter(channel), mixer_layout::channelMeterWidth,
                        mixer_layout::channelMeterHeight),
                     0);
        meter.LoadPicture(pictures, kChannelMeterPicture);
        meter.setmindb(kChannelMeterFloorDb);
        meter.setledladderstyle(true, kChannelMeterLeds);
        m_meterForwarder.meters[static_cast<size_t>(channel)] = &meter;
    }
}

void CMixerRack::createMasterKnobs(const MixerControlState& saved)
{
    const PictureModule pictures = PictureModule::corvane();
    for (int returnIndex = 0; returnIndex < kReturnCount; ++returnIndex)
    {
        CKnob& knob = returnKnob(returnIndex);
        knob.create(this,
                    at(mixer_layout::returnKnob(returnIndex), mixer_layout::knobSize,
                       mixer_layout::knobSize),
                    0);
        knob.LoadPicture(pictures, kSendKnobPicture, kSendKnobFrames);
        knob.setparentwnd(this);
        knob.m_nStep = kCoarseKnobStep;
        knob.setvalue(saved.returnLevel[static_cast<size_t>(returnIndex)].load());
    }
    // The record knob uses the 66-frame strip too: 66 frames over 0..110
    // give a frame that reads exactly 100 (unity) when turned by hand.
    m_record.create(
        this, at(mixer_layout::recordKnob, mixer_layout::knobSize, mixer_layout::knobSize), 0);
    m_record.LoadPicture(pictures, kSendKnobPicture, kSendKnobFrames);
    m_record.setparentwnd(this);
    m_record.m_nStep = kCoarseKnobStep;
    m_record.setmaxvalue(mixer_ranges::kRecordLevel.maximum);
    m_record.setvalue(saved.recordLevel.load());
    m_recordFromPairOne.SetStatus(saved.recordFromOutputPairOne.load());
    m_recordFromPairTwo.SetStatus(saved.recordFromOutputPairTwo.load());

    for (int output = 0; output < kMasterCount; ++output)
    {
        CLevel& meter = outputMeter(output);
        meter.create(this,
                     at(mixer_layout::outputMeter(output), mixer_layout::outputMeterWidth,
                        mixer_layout::outputMeterHeight),
                     0);
        meter.LoadPicture(pictures, kOutputMeterPicture);
        meter.setmindb(kOutputMeterFloorDb);
        meter.setledladderstyle(true, kOutputMeterLeds);
        m_meterForwarder.meters[static_cast<size_t>(MixerMeterSink::firstOutputMeter() + output)] =
            &meter;
    }
}

void CMixerRack::restoreSlidersButtonsAndGains(const MixerControlState& saved)
{
    for (int channel = 0; channel < kChannelCount; ++channel)
    {
        ChannelStrip& controls = strip(channel);
        const MixerChannelControls& values = saved.channels[static_cast<size_t>(channel)];
        controls.fader.setmaxvalue(mixer_ranges::kChannelFader.maximum);
        controls.fader.setvalue(values.fader.load());
        controls.toPairOne.SetStatus(values.toOutputPairOne.load());
        controls.toPairTwo.SetStatus(values.toOutputPairTwo.load());
        controls.gain.setvalue(values.gainDb.load());
    }
    for (int master = 0; master < kMasterCount; ++master)
        masterSlider(master).setvalue(saved.masterLevel[static_cast<size_t>(master)].load());
    for (int returnIndex = 0; returnIndex < kReturnCount; ++returnIndex)
    {
        const auto index = static_cast<size_t>(returnIndex);
        m_returnToPairOne[index].SetStatus(saved.returnToOutputPairOne[index].load());
        m_returnToPairTwo[index].SetStatus(saved.returnToOutputPairTwo[index].load());
    }
}

void CMixerRack::readControlsInto(MixerControlState& state) const
{
    for (int channel = 0; channel < kChannelCount; ++channel)
    {
        const ChannelStrip& controls = m_strips[static_cast<size_t>(channel)];
        MixerChannelControls& values = state.channels[static_cast<size_t>(channel)];
        values.source.store(controls.source.getitemindex());
        values.gainDb.store(controls.gain.getvalue());
        values.compressorOn.store(controls.compressor.getStatus());
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
        state.returnToOutputPairOne[returnIndex].store(m_returnToPairOne[returnIndex].getStatus());
        state.returnToOutputPairTwo[returnIndex].store(m_returnToPairTwo[returnIndex].getStatus());
    }
    state.recordLevel.store(m_record.getvalue());
    state.recordFromOutputPairOne.store(m_recordFromPairOne.getStatus());
    state.recordFromOutputPairTwo.store(m_recordFromPairTwo.getStatus());
    for (size_t master = 0; master < kMasterCount; ++master)
        state.masterLevel[master].store(m_masters[master].getvalue());
}

void CMixerRack::OnCommand(int commandId, QWidget*)
{
    if (isEqualiserKnobId(commandId))
    {
        const int offset = commandId - MixerEngine::kFirstEqualiserKnobId;
        m_engine.OnEqualiserKnob(commandId, equaliserKnob(offset / MixerEngine::kBandCount,
                                                          offset % MixerEngine::kBandCount)
                                                .getvalue());
        return;
    }
    if (!m_bControlsBuilt)
        return;
    readControlsInto(m_engine.controls());
    if (commandId >= ID_FIRST_STEREO_SOURCE && commandId < ID_FIRST_SOURCE + kChannelCount)
        m_engine.UpdateRouting();
}

void CMixerRack::Process(float** in, float** out, long numIn, long numOut, long frames)
{
    m_engine.Process(in, out, numIn, numOut, frames);
}

void CMixerRack::SetSampleRate(float rate)
{
    m_engine.SetSampleRate(rate);
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
    const int value = mixer_remote::ChannelFaderValue(midiValue);
    onGuiThread([this, channelIndex, value] { strip(channelIndex).fader.setvalue(value); });
}

void CMixerRack::SetMasterLevelRemote(int masterIndex, int midiValue)
{
    if (!validIndex(masterIndex, kMasterCount))
        return;
    const int value = mixer_remote::MasterLevelValue(midiValue);
    onGuiThread([this, masterIndex, value] { masterSlider(masterIndex).setvalue(value); });
}

void CMixerRack::SetPanRemote(int channelIndex, int midiValue)
{
    if (!validIndex(channelIndex, kChannelCount))
        return;
    const int value = mixer_remote::PanValue(midiValue);
    onGuiThread([this, channelIndex, value] { strip(channelIndex).pan.setvalue(value); });
}

void CMixerRack::SetGainRemote(int channelIndex, int midiValue)
{
    if (!validIndex(channelIndex, kChannelCount))
        return;
    const int value = mixer_remote::GainValue(midiValue);
    onGuiThread([this, channelIndex, value] { strip(channelIndex).gain.setvalue(value); });
}

void CMixerRack::SetSendRemote(int sendIndex, int midiValue)
{
    if (!validIndex(sendIndex, 2 * kChannelCount))
        return;
    const int value = mixer_remote::SendValue(midiValue);
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
    const int value = mixer_remote::ReturnLevelValue(midiValue);
    onGuiThread([this, returnIndex, value] { returnKnob(returnIndex).setvalue(value); });
}

void CMixerRack::SetRecordLevelRemote(int midiValue)
{
    const int value = mixer_remote::RecordLevelValue(midiValue);
    onGuiThread([this, value] { m_record.setvalue(value); });
}

void CMixerRack::StepChannelFader(int channelIndex, bool up)
{
    CORVANE_ASSERT_GUI_THREAD();
    if (!validIndex(channelIndex, kChannelCount))
        return;
    CMSlider& fader = strip(channelIndex).fader;
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

void CMixerRack::MeterForwarder::postMeterReading(int meterIndex, float decibels) noexcept
{
    if (meterIndex < 0 || meterIndex >= kMeterCount)
        return;
    if (CLevel* meter = meters[static_cast<size_t>(meterIndex)])
        meter->setdb(decibels);
}
