// The mixer's panel: built from its layout rows, first-start defaults and its
// settings section kept across restarts in its key order, the remote
// functions (also from the MIDI thread) and keyboard steps, and the controls
// reaching the signal path in real time.

#include "mixer/MixerRack.h"
#include "mixer/MixerRemote.h"
#include "mixer/MixerSettings.h"
#include "mixer/MixerTestUnits.h"
#include "skinkit/CCheckBox.h"
#include "skinkit/CLED.h"
#include "skinkit/CLEDLight.h"
#include "skinkit/CVUMeter.h"
#include "support/PanelChecks.h"
#include "support/RackTest.h"
#include "support/RealtimeTrap.h"
#include "utilkit/Ini.h"

#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace
{

using MixerRackTest = testkit::RackTest;

constexpr int kChannels = CMixerRack::kChannelCount;

TEST_F(MixerRackTest, PanelIsBuiltFromItsLayoutRows)
{
    CMixerRack mixer;
    mixer.CreateControls();
    const auto refs = mixer.controlRefs();
    testkit::expectControlsOnTheirRows(mixer_layout::controls, refs);
    // What is printed under a control (selector recess, meter window, knob
    // scale) is exactly where the control is; no two controls overlap, and
    // all sit between the rack ears.
    const QRect panelArea(panel::rackEarWidth, 0, panel::rackWidth - 2 * panel::rackEarWidth,
                          4 * panel::slotHeight);
    std::vector<QRect> taken;
    for (size_t row = 0; row < refs.size(); ++row)
    {
        const QRect area = std::visit([](auto* control) { return control->geometry(); }, refs[row]);
        const panel::PanelFootprint& printed = mixer_layout::controls[row].footprint;
        if (printed.kind != panel::FootprintKind::Bare)
        {
            EXPECT_EQ((std::array{area.x(), area.y(), area.width(), area.height()}),
                      (std::array{printed.x, printed.y, printed.width, printed.height}))
                << row;
        }
        EXPECT_TRUE(panelArea.contains(area)) << row;
        for (const QRect& other : taken)
            EXPECT_FALSE(area.intersects(other)) << row;
        taken.push_back(area);
    }

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
}

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
        for (int number = 1; number <= count; ++number)
            keys.push_back(name + std::to_string(number) + suffix);
    keys.insert(keys.end(), {"auxreturn1", "auxreturn2", "auxbus11", "auxbus21", "auxbus12",
                             "auxbus22", "recout", "recbus1", "recbus2"});
    return keys;
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

        // The sliders keep every value given by code, not their pixel rows'.
        for (int value = 0; value <= 110; ++value)
        {
            mixer.channelFader(value % kChannels).setvalue(value);
            ASSERT_EQ(mixer.channelFader(value % kChannels).getvalue(), value);
            mixer.masterSlider(value % 4).setvalue(std::min(value, 100));
            ASSERT_EQ(mixer.masterSlider(value % 4).getvalue(), std::min(value, 100));
        }
        setEveryControl(mixer);
        shownAtExit = shownValues(mixer);
        // Knobs keep the values given, not their frames' values.
        EXPECT_EQ(mixer.gainKnob(2).getvalue(), -9);
        EXPECT_EQ(mixer.panKnob(0).getvalue(), 7);
        EXPECT_EQ(mixer.preFaderSendKnob(2).getvalue(), 29);
        EXPECT_EQ(mixer.recordKnob().getvalue(), 107);
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

// Each row of the remote table, as MIDI remote control numbers and names
// them, moves its own control: from the MIDI thread through the GUI thread,
// on the GUI thread at once, with only the low 8 bits of the value counted.
TEST_F(MixerRackTest, RemoteRowsAreFunctionsZeroToFortyOneAndEachMovesItsControl)
{
    CMixerRack mixer;
    mixer.CreateControls();
    struct Family
    {
        const char* name;
        int count;
        std::function<int(int index)> shown;
        int at127;
        int at64;
    };
    auto knobValue = [&](CKnob& (CMixerRack::*knob)(int))
    { return [&mixer, knob](int index) { return (mixer.*knob)(index).getvalue(); }; };
    const std::vector<Family> families{
        {"Channel %d Level", 7, [&](int index) { return mixer.channelFader(index).getvalue(); },
         110, 55},
        {"Channel %d Gain", 7, knobValue(&CMixerRack::gainKnob), 30, 0},
        {"Channel %d Pan", 7, knobValue(&CMixerRack::panKnob), 100, 50},
        {"Channel %d Pre AUX Level", 7, knobValue(&CMixerRack::preFaderSendKnob), 100, 50},
        {"Channel %d Post AUX Level", 7, knobValue(&CMixerRack::postFaderSendKnob), 100, 50},
        // 127 gives 110, which the master clamps to its 100.
        {"Bus %d Master Level", 4, [&](int index) { return mixer.masterSlider(index).getvalue(); },
         100, 55},
        {"Pre AUX Return Level", 1, [&](int) { return mixer.returnKnob(0).getvalue(); }, 100, 50},
        {"Post AUX Return Level", 1, [&](int) { return mixer.returnKnob(1).getvalue(); }, 100, 50},
        // The record knob's 101..110 is out of remote reach.
        {"Rec Out Level", 1, [&](int) { return mixer.recordKnob().getvalue(); }, 100, 50},
    };
    const RackRemoteTable<CMixerRack> rows = mixer_remote::operations();
    ASSERT_EQ(rows.size(), families.size());
    int functions = 0;
    for (size_t row = 0; row < rows.size(); ++row)
    {
        const Family& family = families[row];
        SCOPED_TRACE(family.name);
        EXPECT_STREQ(rows[row].name, family.name);
        EXPECT_EQ(rows[row].count, family.count);
        functions += rows[row].count;
        const int last = family.count - 1;
        const int neighbour = last > 0 ? family.shown(last - 1) : 0;
        std::thread([&] { rows[row].apply(mixer, last, 127); }).join();
        EXPECT_NE(family.shown(last), family.at127) << "a widget moved off the GUI thread";
        QCoreApplication::processEvents();
        EXPECT_EQ(family.shown(last), family.at127);
        rows[row].apply(mixer, last, 256 + 64);
        EXPECT_EQ(family.shown(last), family.at64);
        if (last > 0)
        {
            EXPECT_EQ(family.shown(last - 1), neighbour) << "another control moved";
        }
    }
    EXPECT_EQ(functions, 42);
    // The signal path follows the moved controls.
    EXPECT_EQ(mixer.engine().controls().channels[6].fader.load(), 55);
    EXPECT_EQ(mixer.engine().controls().channels[6].postFaderSend.load(), 50);

    // Truncation toward zero: 63 and 64 both give a gain of 0.
    EXPECT_EQ(mixer_remote::gainValue(63), 0);
    EXPECT_EQ(mixer_remote::gainValue(1), -29);
    EXPECT_EQ(mixer_remote::faderValue(115), 99);
    // Unknown targets change nothing.
    mixer.SetSendRemote(14, 127);
    mixer.SetChannelFaderRemote(7, 127);
    mixer.SetMasterLevelRemote(-1, 127);

    // Keyboard steps move a slider by exactly 5 and stop at its ends.
    mixer.channelFader(2).setvalue(0);
    mixer.masterSlider(1).setvalue(0);
    for (int press = 0; press < 20; ++press)
    {
        mixer.StepChannelFader(2, true);
        mixer.StepMasterLevel(1, true);
    }
    EXPECT_EQ(mixer.channelFader(2).getvalue(), 100);
    EXPECT_EQ(mixer.engine().controls().channels[2].fader.load(), 100);
    mixer.StepChannelFader(2, true);
    mixer.StepChannelFader(2, true);
    mixer.StepChannelFader(2, true);
    mixer.StepMasterLevel(1, true);
    EXPECT_EQ(mixer.channelFader(2).getvalue(), 110);
    EXPECT_EQ(mixer.masterSlider(1).getvalue(), 100);
    for (int press = 0; press < 23; ++press)
        mixer.StepChannelFader(2, false);
    EXPECT_EQ(mixer.channelFader(2).getvalue(), 0);
}

// One block through the panel: device inputs 1-4 (silent) and outputs 1-4.
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
    // with the meters listening, Process neither allocates nor locks.
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
    EXPECT_LT(mixer.channelMeter(2).barPosition(), mixer.channelMeter(2).extent());
    EXPECT_EQ(mixer.channelMeter(3).barPosition(), mixer.channelMeter(3).extent());

    // Fader 55: (55 - 100) / 3 dB = -15 dB. Pan 0 silences the right side;
    // pair 2 (switched by the user's clicks) copies the channel onto
    // outputs 3-4, whose masters are at 0 until raised.
    mixer.channelFader(2).setvalue(55);
    mixer.panKnob(2).setvalue(0);
    QTest::mouseClick(&mixer.pairTwoButton(2), Qt::LeftButton);
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
    EXPECT_EQ(mixer.engine().controls().channels[2].equaliserGainDb[1].load(), 0);

    // Back to "None": the player is no longer routed and the channel stops.
    mixer.sourceSelector(2).setitemindex(0);
    EXPECT_FALSE(mp3.m_bRouted);
    block.run(mixer);
    EXPECT_EQ(block.outputs[0][511], 0.0f);
}

} // namespace
