// The mixer's panel: layout and source lists, first-start defaults and
// section "Mixer" kept across restarts in its key order, and the controls
// (also moved from the MIDI thread) reaching the signal path.

#include "mixer/MixerRack.h"
#include "MixerTestUnits.h"
#include "mixer/MixerLayout.h"
#include "mixer/MixerSettings.h"
#include "support/RealtimeTrap.h"
#include "utilkit/Ini.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace
{

int argumentCount = 1;
char argumentZero[] = "mixer-rack-test";
char* arguments[] = {argumentZero, nullptr};

constexpr int kChannels = CMixerRack::kChannelCount;

// One block through the panel: device inputs 1-4 (silent unless set) and
// outputs 1-4.
struct Block
{
    explicit Block(size_t frames)
    {
        for (size_t index = 0; index < 4; ++index)
        {
            inputs[index].assign(frames, 0.0f);
            outputs[index].assign(frames, 1.0f);
        }
    }
    void run(CMixerRack& mixer)
    {
        float* in[4] = {inputs[0].data(), inputs[1].data(), inputs[2].data(), inputs[3].data()};
        float* out[4] = {outputs[0].data(), outputs[1].data(), outputs[2].data(),
                         outputs[3].data()};
        mixer.Process(in, out, 4, 4, static_cast<long>(inputs[0].size()));
    }
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
    std::ifstream file(path);
    std::vector<std::string> keys;
    bool inMixer = false;
    for (std::string line; std::getline(file, line);)
    {
        if (line.starts_with('['))
            inMixer = line.starts_with("[Mixer]");
        else if (inMixer && line.find('=') != std::string::npos)
            keys.push_back(line.substr(0, line.find('=')));
    }
    return keys;
}

// Every key of section "Mixer", in the order the mixer writes them.
std::vector<std::string> expectedKeyOrder()
{
    std::vector<std::string> keys;
    for (const auto& [name, count, suffix] : {std::tuple{"source", 7, ""},
                                              {"fader", 7, ""},
                                              {"gain", 7, ""},
                                              {"pan", 7, ""},
                                              {"bus", 4, ""},
                                              {"bus", 7, "1"},
                                              {"bus", 7, "2"},
                                              {"aux", 7, "1"},
                                              {"aux", 7, "2"}})
    {
        for (int number = 1; number <= count; ++number)
            keys.push_back(name + std::to_string(number) + suffix);
    }
    keys.insert(keys.end(), {"auxreturn1", "auxreturn2", "auxbus11", "auxbus21", "auxbus12",
                             "auxbus22", "recout", "recbus1", "recbus2"});
    return keys;
}

TEST_F(MixerRackTest, ControlsSitOnThePanelApartOnTheirFootprintsAndWork)
{
    CMixerRack mixer;
    mixer.CreateControls();
    EXPECT_EQ(mixer.sourceSelector(0).getcount(), 5);
    EXPECT_EQ(mixer.sourceSelector(1).itemText(4), "In 4");
    EXPECT_EQ(mixer.sourceSelector(2).getcount(), 6);
    EXPECT_EQ(mixer.sourceSelector(6).itemText(1), "MP3 Player");
    EXPECT_EQ(mixer.sourceSelector(6).itemText(5), "SoundFX");
    EXPECT_EQ(mixer.meterDriver().levelCount(), 11);
    EXPECT_TRUE(mixer.meterDriver().isRunning());
    // A click on a switch without an id of its own still reaches the
    // signal path.
    QTest::mouseClick(&mixer.compressorSwitch(1), Qt::LeftButton);
    EXPECT_TRUE(mixer.engine().controls().channels[1].compressorOn.load());
    QCoreApplication::processEvents();
    const QRect panelArea(panel::rackEarWidth, 0, panel::rackWidth - 2 * panel::rackEarWidth,
                          4 * panel::slotHeight);
    const QList<SkinControl*> controls = mixer.findChildren<SkinControl*>();
    for (qsizetype first = 0; first < controls.size(); ++first)
    {
        const QRect area = controls[first]->geometry();
        EXPECT_TRUE(panelArea.contains(area)) << first;
        for (qsizetype second = first + 1; second < controls.size(); ++second)
            EXPECT_FALSE(area.intersects(controls[second]->geometry())) << first << " " << second;
    }
    // The windows, recesses and scales printed on the background are where
    // the controls are.
    auto printed = [](panel::FootprintKind kind, const SkinControl& control)
    {
        return std::ranges::any_of(mixer_layout::footprints,
                                   [&](const panel::PanelFootprint& footprint)
                                   {
                                       return footprint.kind == kind &&
                                              QRect(footprint.x, footprint.y, footprint.width,
                                                    footprint.height) == control.geometry();
                                   });
    };
    using enum panel::FootprintKind;
    for (int channel = 0; channel < kChannels; ++channel)
    {
        EXPECT_TRUE(printed(Meter, mixer.channelMeter(channel))) << channel;
        EXPECT_TRUE(printed(Selector, mixer.sourceSelector(channel))) << channel;
    }
    for (int output = 0; output < 4; ++output)
        EXPECT_TRUE(printed(Meter, mixer.outputMeter(output))) << output;
    EXPECT_TRUE(printed(Knob, mixer.returnKnob(0)));
    EXPECT_TRUE(printed(Knob, mixer.returnKnob(1)));
    EXPECT_TRUE(printed(Knob, mixer.recordKnob()));
}

// Sets every saved control of a panel to a non-default value.
void setEveryControl(CMixerRack& mixer)
{
    for (int channel = 0; channel < kChannels; ++channel)
    {
        mixer.sourceSelector(channel).setitemindex(channel < 2 ? 4 - channel : channel - 1);
        mixer.channelFader(channel).setvalue(11 + 13 * channel);
        // Odd values that fall between the knobs' frames.
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

TEST_F(MixerRackTest, SectionMixerStartsAtTheDefaultsAndKeepsEveryControlAcrossRestarts)
{
    std::vector<int> shownAtExit;
    {
        CMixerRack mixer;
        mixer.CreateControls();
        // First start: silent, centred, on pair 1, no sources, record off.
        std::vector<int> defaults;
        for (int channel = 0; channel < kChannels; ++channel)
            defaults.insert(defaults.end(), {0, 0, 0, 50, 0, 0, 1, 0});
        defaults.insert(defaults.end(), {0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0});
        EXPECT_EQ(shownValues(mixer), defaults);
        EXPECT_EQ(mixer.engine().controls().channels[4].pan.load(), 50);
        setEveryControl(mixer);
        shownAtExit = shownValues(mixer);
        // The controls keep the values given, not their frames' or pixel
        // rows' values.
        EXPECT_EQ(mixer.channelFader(1).getvalue(), 24);
        EXPECT_EQ(mixer.gainKnob(2).getvalue(), -9);
        EXPECT_EQ(mixer.panKnob(0).getvalue(), 7);
        EXPECT_EQ(mixer.preFaderSendKnob(2).getvalue(), 29);
        EXPECT_EQ(mixer.postFaderSendKnob(0).getvalue(), 97);
        EXPECT_EQ(mixer.returnKnob(0).getvalue(), 37);
        EXPECT_EQ(mixer.recordKnob().getvalue(), 107);
        EXPECT_EQ(mixer.masterSlider(2).getvalue(), 65);
    }
    {
        CMixerRack neverShown; // an unbuilt panel leaves the saved mixer alone
    }
    EXPECT_EQ(mixerKeysInFileOrder(settingsPath()), expectedKeyOrder());
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

TEST_F(MixerRackTest, FadersKeepTheValuesGivenByCodeKeysRemoteAndRestore)
{
    {
        CMixerRack mixer;
        mixer.CreateControls();
        for (int channel = 0; channel < kChannels; ++channel)
            for (int value = 0; value <= 110; ++value)
            {
                mixer.channelFader(channel).setvalue(value);
                ASSERT_EQ(mixer.channelFader(channel).getvalue(), value) << channel;
            }
        for (int master = 0; master < 4; ++master)
            for (int value = 0; value <= 100; ++value)
            {
                mixer.masterSlider(master).setvalue(value);
                ASSERT_EQ(mixer.masterSlider(master).getvalue(), value) << master;
            }

        // Key presses move by exactly 5 and stop at the ends.
        mixer.channelFader(2).setvalue(0);
        mixer.masterSlider(1).setvalue(0);
        for (int press = 0; press < 20; ++press)
        {
            mixer.StepChannelFader(2, true);
            mixer.StepMasterLevel(1, true);
        }
        EXPECT_EQ(mixer.channelFader(2).getvalue(), 100);
        EXPECT_EQ(mixer.engine().controls().channels[2].fader.load(), 100);
        EXPECT_EQ(mixer.masterSlider(1).getvalue(), 100);
        for (int press = 0; press < 3; ++press)
        {
            mixer.StepChannelFader(2, true);
            mixer.StepMasterLevel(1, true);
        }
        EXPECT_EQ(mixer.channelFader(2).getvalue(), 110);
        EXPECT_EQ(mixer.masterSlider(1).getvalue(), 100);
        for (int press = 0; press < 23; ++press)
            mixer.StepChannelFader(2, false);
        EXPECT_EQ(mixer.channelFader(2).getvalue(), 0);

        // Every remote value lands on trunc(v / 127 x 110).
        for (int midiValue = 0; midiValue <= 127; ++midiValue)
        {
            mixer.SetChannelFaderRemote(5, midiValue);
            ASSERT_EQ(mixer.channelFader(5).getvalue(), midiValue * 110 / 127) << midiValue;
        }

        mixer.channelFader(3).setvalue(73);
        mixer.masterSlider(0).setvalue(73);
    }
    CMixerRack mixer;
    mixer.CreateControls();
    EXPECT_EQ(mixer.channelFader(3).getvalue(), 73);
    EXPECT_EQ(mixer.masterSlider(0).getvalue(), 73);
    EXPECT_EQ(mixer.engine().controls().channels[3].fader.load(), 73);
}

TEST_F(MixerRackTest, RestoreFollowsTheControlsRangeRules)
{
    CIni settings(settingsPath());
    settings.WriteInt("Mixer", "pan2", 200);   // knob: ignored
    settings.WriteInt("Mixer", "gain1", -31);  // knob: ignored
    settings.WriteInt("Mixer", "fader3", 150); // slider: clamped
    settings.WriteInt("Mixer", "bus2", 130);   // master slider: clamped to 100
    settings.WriteInt("Mixer", "bus1", -5);
    settings.WriteInt("Mixer", "source4", 6);  // no such selector item
    settings.WriteInt("Mixer", "source1", 5);  // mono items stop at "In 4"
    settings.WriteInt("Mixer", "recout", 110); // the record knob reaches 110
    MixerControlState state;
    mixer_settings::RestoreMixerSettings(settings, state);
    EXPECT_EQ(state.channels[1].pan.load(), 50);
    EXPECT_EQ(state.channels[0].gainDb.load(), 0);
    EXPECT_EQ(state.channels[2].fader.load(), 110);
    EXPECT_EQ(state.masterLevel[1].load(), 100);
    EXPECT_EQ(state.masterLevel[0].load(), 0);
    EXPECT_EQ(state.channels[3].source.load(), 0);
    EXPECT_EQ(state.channels[0].source.load(), 0);
    EXPECT_EQ(state.recordLevel.load(), 110);
}

TEST_F(MixerRackTest, PanelControlsSetTheLevelOfASourceInRealTime)
{
    CMixerRack mixer;
    mixer.CreateControls();
    ConstantSource mp3(0.5f, -0.25f);
    mixer.SetSources(&mp3, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    EXPECT_FALSE(mp3.m_bRouted);

    mixer.sourceSelector(2).setitemindex(1); // channel 3: "MP3 Player"
    EXPECT_TRUE(mp3.m_bRouted);
    mixer.channelFader(2).setvalue(100);
    mixer.masterSlider(0).setvalue(100);
    mixer.masterSlider(1).setvalue(100);

    // Unity: trim 0 dB, fader 100, centre pan, master 100, flat equaliser;
    // with the meters running, Process neither allocates nor locks.
    Block block(512);
    realtime_trap::resetCounts();
    {
        realtime_trap::ScopedArm armed;
        for (int repeat = 0; repeat < 4; ++repeat)
            block.run(mixer);
    }
    EXPECT_EQ(realtime_trap::allocations(), 0u);
    EXPECT_EQ(realtime_trap::blockingLocks(), 0u);
    EXPECT_NEAR(block.outputs[0][511], 0.5f, 1e-5f);
    EXPECT_NEAR(block.outputs[1][511], -0.25f, 1e-5f);
    EXPECT_EQ(block.outputs[2][511], 0.0f);
    EXPECT_TRUE(mixer.channelMeter(2).barPosition() < mixer.channelMeter(2).extent());
    EXPECT_EQ(mixer.channelMeter(3).barPosition(), mixer.channelMeter(3).extent());

    // Remote 64 from the MIDI thread is posted and applied on the GUI thread:
    // fader 55, (55 - 100) / 3 dB = -15 dB. Pan 0 silences the right side;
    // pair 2 copies the channel onto outputs 3-4, whose masters stay at 0.
    std::thread([&] { mixer.SetChannelFaderRemote(2, 64); }).join();
    EXPECT_EQ(mixer.channelFader(2).getvalue(), 100);
    QCoreApplication::processEvents();
    EXPECT_EQ(mixer.engine().controls().channels[2].fader.load(), 55);
    mixer.panKnob(2).setvalue(0);
    mixer.pairTwoButton(2).SetStatus(true);
    QTest::mouseClick(&mixer.pairTwoButton(2), Qt::LeftButton); // the user's click: off
    QTest::mouseClick(&mixer.pairTwoButton(2), Qt::LeftButton); // and on again
    EXPECT_TRUE(mixer.engine().controls().channels[2].toOutputPairTwo.load());
    block.run(mixer);
    const float minus15Db = std::pow(10.0f, -15.0f / 20.0f);
    EXPECT_NEAR(block.outputs[0][511], 0.5f * minus15Db, 1e-5f);
    EXPECT_EQ(block.outputs[1][511], 0.0f);
    EXPECT_EQ(block.outputs[2][511], 0.0f);

    mixer.masterSlider(2).setvalue(100);
    block.run(mixer);
    EXPECT_NEAR(block.outputs[2][511], 0.5f * minus15Db, 1e-5f);

    // An equaliser knob on the panel reaches its own band only.
    mixer.equaliserKnob(2, 0).setvalue(15);
    EXPECT_EQ(mixer.engine().controls().channels[2].equaliserGainDb[0].load(), 15);
    EXPECT_EQ(mixer.engine().controls().channels[3].equaliserGainDb[0].load(), 0);

    // Back to "None": the player is no longer routed and the channel stops.
    mixer.sourceSelector(2).setitemindex(0);
    EXPECT_FALSE(mp3.m_bRouted);
    block.run(mixer);
    EXPECT_EQ(block.outputs[0][511], 0.0f);
}

} // namespace
