// The mixer's panel: first-start defaults, section "Mixer" kept across
// restarts in its key order, remote setters and keyboard steps moving the
// controls, and the controls' values reaching the signal path.

#include "mixer/MixerRack.h"
#include "MixerTestUnits.h"
#include "mixer/MixerLayout.h"
#include "support/RealtimeTrap.h"
#include "utilkit/Ini.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <thread>
#include <vector>

namespace
{

int argumentCount = 1;
char argumentZero[] = "mixer-rack-test";
char* arguments[] = {argumentZero, nullptr};

constexpr int kChannels = CMixerRack::kChannelCount;

// Four device outputs of one block, with silent device inputs unless set.
struct Block
{
    explicit Block(long frameCount) : frames(frameCount)
    {
        for (auto& buffer : outputs)
            buffer.assign(static_cast<size_t>(frames), 1.0f);
        for (auto& buffer : inputs)
            buffer.assign(static_cast<size_t>(frames), 0.0f);
    }
    void run(CMixerRack& mixer)
    {
        float* in[4];
        float* out[4];
        for (size_t index = 0; index < 4; ++index)
        {
            in[index] = inputs[index].data();
            out[index] = outputs[index].data();
        }
        mixer.Process(in, out, 4, 4, frames);
    }
    long frames;
    std::vector<float> inputs[4];
    std::vector<float> outputs[4];
};

class MixerRackTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        if (!QApplication::instance())
            new QApplication(argumentCount, arguments);
    }
    void SetUp() override
    {
        ASSERT_TRUE(m_folder.isValid());
        qputenv("XDG_CONFIG_HOME", m_folder.path().toUtf8());
    }
    std::string settingsPath() const { return CIni::ConfigFolder() + "/rackdata5.ini"; }

    QTemporaryDir m_folder;
};

// The keys of section "Mixer" in the order the file holds them.
std::vector<std::string> mixerKeysInFileOrder(const std::string& path)
{
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    std::vector<std::string> keys;
    bool inMixer = false;
    for (const QByteArray& rawLine : file.readAll().split('\n'))
    {
        const QByteArray line = rawLine.trimmed();
        if (line.startsWith('['))
            inMixer = line == "[Mixer]";
        else if (inMixer && line.contains('='))
            keys.push_back(line.left(line.indexOf('=')).trimmed().toStdString());
    }
    return keys;
}

std::vector<std::string> designKeyOrder()
{
    std::vector<std::string> keys;
    auto numbered = [&](const std::string& name, int count, const std::string& suffix = "")
    {
        for (int number = 1; number <= count; ++number)
            keys.push_back(name + std::to_string(number) + suffix);
    };
    numbered("source", 7);
    numbered("fader", 7);
    numbered("gain", 7);
    numbered("pan", 7);
    numbered("bus", 4);
    numbered("bus", 7, "1");
    numbered("bus", 7, "2");
    numbered("aux", 7, "1");
    numbered("aux", 7, "2");
    keys.insert(keys.end(), {"auxreturn1", "auxreturn2", "auxbus11", "auxbus21", "auxbus12",
                             "auxbus22", "recout", "recbus1", "recbus2"});
    return keys;
}

TEST_F(MixerRackTest, FirstStartIsSilentCentredOnPairOneWithNoSources)
{
    CMixerRack mixer;
    mixer.CreateControls();
    for (int channel = 0; channel < kChannels; ++channel)
    {
        SCOPED_TRACE(channel + 1);
        EXPECT_EQ(mixer.sourceSelector(channel).getitemindex(), 0);
        EXPECT_EQ(mixer.sourceSelector(channel).itemText(0), "None");
        EXPECT_EQ(mixer.channelFader(channel).getvalue(), 0);
        EXPECT_EQ(mixer.gainKnob(channel).getvalue(), 0);
        EXPECT_EQ(mixer.preFaderSendKnob(channel).getvalue(), 0);
        EXPECT_EQ(mixer.postFaderSendKnob(channel).getvalue(), 0);
        EXPECT_EQ(mixer.panKnob(channel).getvalue(), 50);
        EXPECT_TRUE(mixer.pairOneButton(channel).getStatus());
        EXPECT_FALSE(mixer.pairTwoButton(channel).getStatus());
        for (int band = 0; band < 3; ++band)
            EXPECT_EQ(mixer.equaliserKnob(channel, band).getvalue(), 0);
        // The signal path reads what the panel shows.
        const MixerChannelControls& state = mixer.engine().controls().channels[channel];
        EXPECT_EQ(state.pan.load(), 50);
        EXPECT_EQ(state.fader.load(), 0);
        EXPECT_TRUE(state.toOutputPairOne.load());
    }
    EXPECT_EQ(mixer.sourceSelector(0).getcount(), 5);
    EXPECT_EQ(mixer.sourceSelector(1).itemText(4), "In 4");
    EXPECT_EQ(mixer.sourceSelector(2).getcount(), 6);
    EXPECT_EQ(mixer.sourceSelector(6).itemText(1), "MP3 Player");
    EXPECT_EQ(mixer.sourceSelector(6).itemText(5), "SoundFX");
    EXPECT_FALSE(mixer.compressorSwitch(0).getStatus());
    EXPECT_FALSE(mixer.compressorSwitch(1).getStatus());
    // A click on a switch without an id of its own still reaches the
    // signal path.
    QTest::mouseClick(&mixer.compressorSwitch(1), Qt::LeftButton);
    EXPECT_TRUE(mixer.engine().controls().channels[1].compressorOn.load());
    QTest::mouseClick(&mixer.compressorSwitch(1), Qt::LeftButton);
    EXPECT_FALSE(mixer.engine().controls().channels[1].compressorOn.load());
    for (int returnIndex = 0; returnIndex < 2; ++returnIndex)
    {
        EXPECT_EQ(mixer.returnKnob(returnIndex).getvalue(), 0);
        EXPECT_TRUE(mixer.returnPairButton(returnIndex, 0).getStatus());
        EXPECT_FALSE(mixer.returnPairButton(returnIndex, 1).getStatus());
    }
    EXPECT_EQ(mixer.recordKnob().getvalue(), 0);
    EXPECT_FALSE(mixer.recordPairButton(0).getStatus());
    EXPECT_FALSE(mixer.recordPairButton(1).getStatus());
    for (int master = 0; master < 4; ++master)
        EXPECT_EQ(mixer.masterSlider(master).getvalue(), 0);
    EXPECT_EQ(mixer.meterDriver().levelCount(), 11);
    EXPECT_TRUE(mixer.meterDriver().isRunning());

    // The ids, ranges, pictures and steps the rest of the rack relies on.
    EXPECT_EQ(mixer.gainKnob(4).childId(), CMixerRack::ID_GAIN);
    EXPECT_EQ(mixer.preFaderSendKnob(0).childId(), CMixerRack::ID_PRE_SEND_1);
    EXPECT_EQ(mixer.postFaderSendKnob(0).childId(), CMixerRack::ID_POST_SEND_1);
    EXPECT_EQ(mixer.postFaderSendKnob(1).childId(), 0);
    EXPECT_EQ(mixer.panKnob(0).childId(), CMixerRack::ID_PAN_1);
    EXPECT_EQ(mixer.channelFader(0).childId(), CMixerRack::ID_FADER_1);
    EXPECT_EQ(mixer.channelFader(1).childId(), 0);
    EXPECT_EQ(mixer.equaliserKnob(6, 2).childId(), 320);
    EXPECT_EQ(mixer.sourceSelector(6).childId(), 1156);
    EXPECT_EQ(mixer.gainKnob(0).frameCount(), 45);
    EXPECT_EQ(mixer.gainKnob(0).m_nStep, 1);
    EXPECT_EQ(mixer.panKnob(0).m_nStep, 1);
    EXPECT_EQ(mixer.preFaderSendKnob(0).frameCount(), 66);
    EXPECT_EQ(mixer.preFaderSendKnob(0).m_nStep, 2);
    EXPECT_EQ(mixer.channelFader(3).getmaxvalue(), 110);
    EXPECT_EQ(mixer.masterSlider(3).getmaxvalue(), 100);
    EXPECT_EQ(mixer.recordKnob().getmaxvalue(), 110);
    EXPECT_EQ(mixer.recordKnob().frameCount(), 66);
    EXPECT_EQ(mixer.panKnob(0).frameCount(), 66);
    EXPECT_EQ(mixer.gainKnob(0).getminvalue(), -30);
    EXPECT_EQ(mixer.channelMeter(0).getmindb(), -30);
    EXPECT_EQ(mixer.outputMeter(0).getmindb(), -40);

    // Every source playing, every device input loud: silence at the outputs.
    ConstantSource source(0.5f, -0.5f);
    mixer.SetSources(&source, &source, &source, nullptr, nullptr, &source, &source);
    for (int channel = 0; channel < kChannels; ++channel)
        mixer.sourceSelector(channel).setitemindex(channel < 2 ? channel + 1 : channel - 1);
    Block block(256);
    for (auto& input : block.inputs)
        input.assign(256, 0.75f);
    block.run(mixer);
    for (const auto& output : block.outputs)
        for (float sample : output)
            ASSERT_EQ(sample, 0.0f);
}

TEST_F(MixerRackTest, ControlsSitOnThePanelApartAndOnTheirPrintedFootprints)
{
    CMixerRack mixer;
    mixer.CreateControls();
    QCoreApplication::processEvents();
    const QRect panelArea(panel::rackEarWidth, 0, panel::rackWidth - 2 * panel::rackEarWidth,
                          4 * panel::slotHeight);
    const QList<SkinControl*> controls = mixer.findChildren<SkinControl*>();
    // 7 selectors, 7 gains, 2 compressor switches, 14 sends, 21 equaliser
    // knobs, 7 pans, 11 sliders, 20 pair buttons, 11 meters, 3 level knobs.
    ASSERT_EQ(controls.size(), 103);
    for (qsizetype first = 0; first < controls.size(); ++first)
    {
        const QRect area = controls[first]->geometry();
        EXPECT_TRUE(panelArea.contains(area)) << first;
        for (qsizetype second = first + 1; second < controls.size(); ++second)
            EXPECT_FALSE(area.intersects(controls[second]->geometry())) << first << " " << second;
    }
    // The windows, recesses and scales printed on the background are where
    // the controls are.
    auto footprintRect = [](const panel::PanelFootprint& footprint)
    { return QRect(footprint.x, footprint.y, footprint.width, footprint.height); };
    QList<QRect> meterWindows, selectorRecesses, knobScales;
    for (const panel::PanelFootprint& footprint : mixer_layout::footprints)
    {
        if (footprint.kind == panel::FootprintKind::Meter)
            meterWindows.append(footprintRect(footprint));
        else if (footprint.kind == panel::FootprintKind::Selector)
            selectorRecesses.append(footprintRect(footprint));
        else if (footprint.kind == panel::FootprintKind::Knob)
            knobScales.append(footprintRect(footprint));
    }
    for (int channel = 0; channel < kChannels; ++channel)
    {
        EXPECT_TRUE(meterWindows.contains(mixer.channelMeter(channel).geometry())) << channel;
        EXPECT_TRUE(selectorRecesses.contains(mixer.sourceSelector(channel).geometry())) << channel;
    }
    for (int output = 0; output < 4; ++output)
        EXPECT_TRUE(meterWindows.contains(mixer.outputMeter(output).geometry())) << output;
    EXPECT_TRUE(knobScales.contains(mixer.returnKnob(0).geometry()));
    EXPECT_TRUE(knobScales.contains(mixer.returnKnob(1).geometry()));
    EXPECT_TRUE(knobScales.contains(mixer.recordKnob().geometry()));
}

// Sets every saved control of a panel to a non-default value, through the
// controls, and returns nothing: the caller compares two panels.
void setEveryControl(CMixerRack& mixer)
{
    for (int channel = 0; channel < kChannels; ++channel)
    {
        mixer.sourceSelector(channel).setitemindex(channel < 2 ? 4 - channel : channel - 1);
        mixer.channelFader(channel).setvalue(11 + 13 * channel);
        // Odd values that the knobs show as the nearest frame.
        mixer.gainKnob(channel).setvalue(-27 + 9 * channel);
        mixer.panKnob(channel).setvalue(7 + 14 * channel);
        mixer.preFaderSendKnob(channel).setvalue(3 + 13 * channel);
        mixer.postFaderSendKnob(channel).setvalue(97 - 11 * channel);
        mixer.pairOneButton(channel).SetStatus(channel % 2 == 0);
        mixer.pairTwoButton(channel).SetStatus(channel % 3 == 0);
    }
    mixer.returnKnob(0).setvalue(37);
    mixer.returnKnob(1).setvalue(71);
    mixer.returnPairButton(0, 0).SetStatus(false);
    mixer.returnPairButton(0, 1).SetStatus(true);
    mixer.returnPairButton(1, 1).SetStatus(true);
    mixer.recordKnob().setvalue(107);
    mixer.recordPairButton(0).SetStatus(true);
    mixer.recordPairButton(1).SetStatus(true);
    for (int master = 0; master < 4; ++master)
        mixer.masterSlider(master).setvalue(23 + 21 * master);
}

// Everything a panel shows that is saved.
std::vector<int> shownValues(CMixerRack& mixer)
{
    std::vector<int> values;
    for (int channel = 0; channel < kChannels; ++channel)
        values.insert(
            values.end(),
            {mixer.sourceSelector(channel).getitemindex(), mixer.channelFader(channel).getvalue(),
             mixer.gainKnob(channel).getvalue(), mixer.panKnob(channel).getvalue(),
             mixer.preFaderSendKnob(channel).getvalue(),
             mixer.postFaderSendKnob(channel).getvalue(), mixer.pairOneButton(channel).getStatus(),
             mixer.pairTwoButton(channel).getStatus()});
    for (int returnIndex = 0; returnIndex < 2; ++returnIndex)
        values.insert(values.end(), {mixer.returnKnob(returnIndex).getvalue(),
                                     mixer.returnPairButton(returnIndex, 0).getStatus(),
                                     mixer.returnPairButton(returnIndex, 1).getStatus()});
    values.insert(values.end(),
                  {mixer.recordKnob().getvalue(), mixer.recordPairButton(0).getStatus(),
                   mixer.recordPairButton(1).getStatus()});
    for (int master = 0; master < 4; ++master)
        values.push_back(mixer.masterSlider(master).getvalue());
    return values;
}

TEST_F(MixerRackTest, SectionMixerKeepsEveryControlAcrossRestartsInKeyOrder)
{
    std::vector<int> shownAtExit;
    {
        CMixerRack mixer;
        mixer.CreateControls();
        setEveryControl(mixer);
        shownAtExit = shownValues(mixer);
    }
    EXPECT_EQ(mixerKeysInFileOrder(settingsPath()), designKeyOrder());
    CIni settings(settingsPath());
    EXPECT_EQ(settings.GetInt("Mixer", "fader3", -1), 37);
    EXPECT_EQ(settings.GetInt("Mixer", "source1", -1), 4);
    EXPECT_FALSE(settings.GetBool("Mixer", "auxbus11", true));

    // Three restarts: the panel comes back exactly as it was each time (a
    // knob's frame does not creep between save and restore).
    for (int restart = 1; restart <= 3; ++restart)
    {
        SCOPED_TRACE(restart);
        CMixerRack mixer;
        mixer.CreateControls();
        EXPECT_EQ(shownValues(mixer), shownAtExit);
        // ... and the signal path runs on the restored values.
        const MixerControlState& state = mixer.engine().controls();
        EXPECT_EQ(state.channels[2].fader.load(), mixer.channelFader(2).getvalue());
        EXPECT_EQ(state.channels[6].pan.load(), mixer.panKnob(6).getvalue());
        EXPECT_EQ(state.masterLevel[3].load(), mixer.masterSlider(3).getvalue());
        EXPECT_TRUE(state.recordFromOutputPairTwo.load());
    }
}

TEST_F(MixerRackTest, SavedValuesOutsideARangeFollowTheControlsRules)
{
    {
        CIni settings(settingsPath());
        settings.WriteInt("Mixer", "pan2", 150);   // a knob ignores it
        settings.WriteInt("Mixer", "fader2", 500); // a slider clamps it
        settings.WriteInt("Mixer", "bus3", -20);   // to its range
        settings.WriteInt("Mixer", "source3", 9);  // a selector ignores it
        settings.WriteInt("Mixer", "source1", 5);  // mono items stop at "In 4"
    }
    CMixerRack mixer;
    mixer.CreateControls();
    EXPECT_EQ(mixer.panKnob(1).getvalue(), 50);
    EXPECT_EQ(mixer.channelFader(1).getvalue(), 110);
    EXPECT_EQ(mixer.masterSlider(2).getvalue(), 0);
    EXPECT_EQ(mixer.sourceSelector(2).getitemindex(), 0);
    EXPECT_EQ(mixer.sourceSelector(0).getitemindex(), 0);
    EXPECT_EQ(mixer.engine().controls().channels[1].fader.load(), 110);
}

TEST_F(MixerRackTest, AnUnbuiltPanelLeavesTheSavedMixerAlone)
{
    {
        CMixerRack mixer;
        mixer.CreateControls();
        mixer.channelFader(0).setvalue(80);
    }
    {
        CMixerRack neverShown;
    }
    CMixerRack mixer;
    mixer.CreateControls();
    EXPECT_EQ(mixer.channelFader(0).getvalue(), 80);
}

TEST_F(MixerRackTest, RemoteValuesMoveEachFamilyOfControls)
{
    CMixerRack mixer;
    mixer.CreateControls();
    struct Expected
    {
        int midi, fader, master, pan, gain, send, record;
    };
    // Faders and masters scale to 110 (a master clamps to 100); gains span
    // -30..+30; pans, sends, returns and the record level 0..100.
    for (const Expected& expected :
         {Expected{127, 110, 100, 100, 30, 100, 100}, Expected{64, 55, 55, 50, 0, 50, 50},
          Expected{0, 0, 0, 0, -30, 0, 0}})
    {
        SCOPED_TRACE(expected.midi);
        // Only the low 8 bits count.
        const int midi = expected.midi + 0x100;
        mixer.SetChannelFaderRemote(6, midi);
        mixer.SetMasterLevelRemote(2, midi);
        mixer.SetPanRemote(3, midi);
        mixer.SetGainRemote(1, midi);
        mixer.SetSendRemote(0, midi);
        mixer.SetSendRemote(13, midi);
        mixer.SetReturnLevelRemote(1, midi);
        mixer.SetRecordLevelRemote(midi);
        EXPECT_EQ(mixer.channelFader(6).getvalue(), expected.fader);
        EXPECT_EQ(mixer.masterSlider(2).getvalue(), expected.master);
        EXPECT_EQ(mixer.panKnob(3).getvalue(), expected.pan);
        EXPECT_EQ(mixer.gainKnob(1).getvalue(), expected.gain);
        EXPECT_EQ(mixer.preFaderSendKnob(0).getvalue(), expected.send);
        EXPECT_EQ(mixer.postFaderSendKnob(6).getvalue(), expected.send);
        EXPECT_EQ(mixer.returnKnob(1).getvalue(), expected.send);
        EXPECT_EQ(mixer.recordKnob().getvalue(), expected.record);

        // The signal path follows the controls.
        const MixerControlState& state = mixer.engine().controls();
        EXPECT_EQ(state.channels[1].gainDb.load(), expected.gain);
        EXPECT_EQ(state.recordLevel.load(), expected.record);
    }
    // Out-of-range indexes are ignored.
    mixer.SetChannelFaderRemote(7, 127);
    mixer.SetSendRemote(14, 127);
    mixer.SetMasterLevelRemote(-1, 127);
}

TEST_F(MixerRackTest, RemoteValueFromTheMidiThreadIsAppliedOnTheGuiThread)
{
    CMixerRack mixer;
    mixer.CreateControls();
    std::thread midiThread([&] { mixer.SetChannelFaderRemote(0, 127); });
    midiThread.join();
    // Posted, not yet applied: nothing but the GUI thread moves a control.
    EXPECT_EQ(mixer.channelFader(0).getvalue(), 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(mixer.channelFader(0).getvalue(), 110);
    EXPECT_EQ(mixer.engine().controls().channels[0].fader.load(), 110);
}

TEST_F(MixerRackTest, KeyboardStepsMoveFiveAndStopAtTheEnds)
{
    CMixerRack mixer;
    mixer.CreateControls();
    mixer.channelFader(4).setvalue(110);
    mixer.StepChannelFader(4, true);
    EXPECT_EQ(mixer.channelFader(4).getvalue(), 110);
    mixer.StepChannelFader(4, false);
    EXPECT_EQ(mixer.channelFader(4).getvalue(), 105);
    EXPECT_EQ(mixer.engine().controls().channels[4].fader.load(), 105);
    mixer.channelFader(4).setvalue(0);
    mixer.StepChannelFader(4, false);
    EXPECT_EQ(mixer.channelFader(4).getvalue(), 0);

    mixer.masterSlider(1).setvalue(100);
    mixer.StepMasterLevel(1, true);
    EXPECT_EQ(mixer.masterSlider(1).getvalue(), 100);
    mixer.StepMasterLevel(1, false);
    EXPECT_EQ(mixer.masterSlider(1).getvalue(), 95);
    mixer.masterSlider(1).setvalue(0);
    mixer.StepMasterLevel(1, false);
    EXPECT_EQ(mixer.masterSlider(1).getvalue(), 0);
    EXPECT_EQ(mixer.engine().controls().masterLevel[1].load(), 0);
}

TEST_F(MixerRackTest, FaderPanAndMasterOnThePanelSetTheLevelOfASource)
{
    CMixerRack mixer;
    mixer.CreateControls();
    ConstantSource mp3(0.5f, -0.25f);
    ConstantSource cd(0.0f, 0.0f);
    mixer.SetSources(&mp3, &cd, nullptr, nullptr, nullptr, nullptr, nullptr);
    EXPECT_FALSE(mp3.m_bRouted);

    mixer.sourceSelector(2).setitemindex(1); // channel 3: "MP3 Player"
    EXPECT_TRUE(mp3.m_bRouted);
    mixer.channelFader(2).setvalue(100);
    mixer.masterSlider(0).setvalue(100);
    mixer.masterSlider(1).setvalue(100);

    // Unity: trim 0 dB, fader 100, centre pan, master 100, flat equaliser.
    Block unity(512);
    unity.run(mixer);
    EXPECT_NEAR(unity.outputs[0][511], 0.5f, 1e-5f);
    EXPECT_NEAR(unity.outputs[1][511], -0.25f, 1e-5f);
    EXPECT_EQ(unity.outputs[2][511], 0.0f);
    EXPECT_TRUE(mixer.channelMeter(2).barPosition() < mixer.channelMeter(2).extent());
    EXPECT_EQ(mixer.channelMeter(3).barPosition(), mixer.channelMeter(3).extent());

    // Remote 64 puts the fader at 55: (55 - 100) / 3 dB = -15 dB. Pan 0
    // silences the right side; pair 2 copies the channel onto outputs 3-4,
    // whose masters stay at 0.
    mixer.SetChannelFaderRemote(2, 64);
    mixer.panKnob(2).setvalue(0);
    mixer.pairTwoButton(2).SetStatus(true);
    QTest::mouseClick(&mixer.pairTwoButton(2), Qt::LeftButton); // the user's click: off
    QTest::mouseClick(&mixer.pairTwoButton(2), Qt::LeftButton); // and on again
    EXPECT_TRUE(mixer.engine().controls().channels[2].toOutputPairTwo.load());
    Block faded(512);
    faded.run(mixer);
    const float minus15Db = std::pow(10.0f, -15.0f / 20.0f);
    EXPECT_NEAR(faded.outputs[0][511], 0.5f * minus15Db, 1e-5f);
    EXPECT_EQ(faded.outputs[1][511], 0.0f);
    EXPECT_EQ(faded.outputs[2][511], 0.0f);

    mixer.masterSlider(2).setvalue(100);
    Block pairTwo(512);
    pairTwo.run(mixer);
    EXPECT_NEAR(pairTwo.outputs[2][511], 0.5f * minus15Db, 1e-5f);

    // Back to "None": the player is no longer routed and the channel stops.
    mixer.sourceSelector(2).setitemindex(0);
    EXPECT_FALSE(mp3.m_bRouted);
    Block stopped(512);
    stopped.run(mixer);
    EXPECT_EQ(stopped.outputs[0][511], 0.0f);
}

// Peak of a steady sine after the filters settled (the block's second half).
float settledPeak(const std::vector<float>& samples)
{
    float peak = 0.0f;
    for (size_t index = samples.size() / 2; index < samples.size(); ++index)
        peak = std::max(peak, std::abs(samples[index]));
    return peak;
}

TEST_F(MixerRackTest, EqualiserKnobRecomputesOnlyItsOwnBand)
{
    constexpr double kRate = 48000.0;
    constexpr double kHighBandHz = 6000.0;
    constexpr long kFrames = 2048;
    constexpr float kAmplitude = 0.1f;

    CMixerRack mixer;
    mixer.CreateControls();
    mixer.SetSampleRate(static_cast<float>(kRate));
    // Channel 1 on input 1 to pair 1, channel 2 on input 2 to pair 2.
    mixer.sourceSelector(0).setitemindex(1);
    mixer.sourceSelector(1).setitemindex(2);
    mixer.channelFader(0).setvalue(100);
    mixer.channelFader(1).setvalue(100);
    mixer.pairOneButton(1).SetStatus(false);
    QTest::mouseClick(&mixer.pairTwoButton(1), Qt::LeftButton);
    for (int master = 0; master < 4; ++master)
        mixer.masterSlider(master).setvalue(100);

    // Channel 1's high band (knob 300) at +15 dB: a peaking filter lifts its
    // own centre frequency by exactly its gain. Channel 2 stays flat.
    mixer.equaliserKnob(0, 0).setvalue(15);
    EXPECT_EQ(mixer.engine().controls().channels[0].equaliserGainDb[0].load(), 15);
    EXPECT_EQ(mixer.engine().controls().channels[1].equaliserGainDb[0].load(), 0);
    Block block(kFrames);
    for (long frame = 0; frame < kFrames; ++frame)
    {
        const float sample =
            kAmplitude *
            static_cast<float>(std::sin(2.0 * std::numbers::pi * kHighBandHz * frame / kRate));
        block.inputs[0][static_cast<size_t>(frame)] = sample;
        block.inputs[1][static_cast<size_t>(frame)] = sample;
    }
    block.run(mixer);
    const float plus15Db = std::pow(10.0f, 15.0f / 20.0f);
    EXPECT_NEAR(settledPeak(block.outputs[0]), kAmplitude * plus15Db, 0.01f * kAmplitude);
    EXPECT_NEAR(settledPeak(block.outputs[2]), kAmplitude, 0.001f * kAmplitude);

    // Back to 0 dB: flat again.
    mixer.equaliserKnob(0, 0).setvalue(0);
    Block flat(kFrames);
    flat.inputs[0] = block.inputs[0];
    flat.run(mixer);
    EXPECT_NEAR(settledPeak(flat.outputs[0]), kAmplitude, 0.001f * kAmplitude);
}

TEST_F(MixerRackTest, ProcessWithMetersNeitherAllocatesNorLocks)
{
    CMixerRack mixer;
    mixer.CreateControls();
    ConstantSource mp3(0.5f, 0.5f);
    mixer.SetSources(&mp3, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    for (int channel = 2; channel < kChannels; ++channel)
    {
        mixer.sourceSelector(channel).setitemindex(1);
        mixer.channelFader(channel).setvalue(90);
    }
    mixer.sourceSelector(0).setitemindex(1);
    mixer.masterSlider(0).setvalue(100);
    Block block(256);
    block.inputs[0].assign(256, 0.25f);
    realtime_trap::resetCounts();
    {
        realtime_trap::ScopedArm armed;
        for (int repeat = 0; repeat < 4; ++repeat)
            block.run(mixer);
    }
    EXPECT_EQ(realtime_trap::allocations(), 0u);
    EXPECT_EQ(realtime_trap::blockingLocks(), 0u);
    EXPECT_LT(mixer.channelMeter(0).barPosition(), mixer.channelMeter(0).extent());
    EXPECT_LT(mixer.outputMeter(0).barPosition(), mixer.outputMeter(0).extent());
}

} // namespace
