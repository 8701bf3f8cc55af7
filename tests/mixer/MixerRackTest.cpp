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
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace
{

using MixerRackTest = testkit::RackTest;

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

// Section "Mixer" as the file holds it: keys in order, with their values.
std::vector<std::pair<std::string, int>> mixerSection(const std::string& path)
{
    std::ifstream file(path);
    std::vector<std::pair<std::string, int>> keys;
    bool inMixer = false;
    for (std::string line; std::getline(file, line);)
    {
        if (line.starts_with('['))
            inMixer = line.starts_with("[Mixer]");
        else if (const size_t equals = line.find('='); inMixer && equals != std::string::npos)
            keys.emplace_back(line.substr(0, equals), std::stoi(line.substr(equals + 1)));
    }
    return keys;
}

// Every key of the section in the order the mixer writes them, with its
// first-start value (offDefault false) or a value off it that the control
// can show (odd values fall between the knobs' frames).
std::vector<std::pair<std::string, int>> mixerKeys(bool offDefault)
{
    std::vector<std::pair<std::string, int>> keys;
    auto add = [&](const std::string& name, int count, const std::string& suffix, int byDefault,
                   const std::function<int(int number)>& off)
    {
        for (int number = 1; number <= count; ++number)
            keys.emplace_back(name + std::to_string(number) + suffix,
                              offDefault ? off(number) : byDefault);
    };
    add("source", 7, "", 0, [](int n) { return n <= 2 ? 5 - n : n - 2; });
    add("fader", 7, "", 0, [](int n) { return 13 * n - 2; });
    add("gain", 7, "", 0, [](int n) { return 9 * n - 35; });
    add("pan", 7, "", 50, [](int n) { return 14 * n - 7; });
    add("bus", 4, "", 0, [](int n) { return 21 * n + 2; });
    add("bus", 7, "1", 1, [](int n) { return n % 2; });
    add("bus", 7, "2", 0, [](int n) { return n % 3 == 1; });
    add("aux", 7, "1", 0, [](int n) { return 13 * n - 10; });
    add("aux", 7, "2", 0, [](int n) { return 108 - 11 * n; });
    add("auxreturn", 2, "", 0, [](int n) { return 34 * n + 3; });
    add("auxbus", 2, "1", 1, [](int n) { return n - 1; });
    add("auxbus", 2, "2", 0, [](int) { return 1; });
    keys.emplace_back("recout", offDefault ? 107 : 0);
    add("recbus", 2, "", 0, [](int) { return 1; });
    return keys;
}

TEST_F(MixerRackTest, SectionMixerStartsAtTheDefaultsAndKeepsEveryControlAcrossRestarts)
{
    {
        CMixerRack mixer;
        mixer.CreateControls();
        EXPECT_EQ(mixer.engine().controls().channels[4].pan.load(), 50);
    }
    // First start: silent, centred, on pair 1, no sources, record off.
    EXPECT_EQ(mixerSection(settingsPath()), mixerKeys(false));

    CIni settings(settingsPath());
    for (const auto& [key, value] : mixerKeys(true))
        settings.WriteInt("Mixer", key, value);
    {
        CMixerRack neverShown; // an unbuilt panel leaves the saved mixer alone
    }
    // Three restarts: every control comes back exactly as saved each time (a
    // knob's frame does not creep between restore and save) ...
    for (int restart = 1; restart <= 3; ++restart)
    {
        SCOPED_TRACE(restart);
        {
            CMixerRack mixer;
            mixer.CreateControls();
            // ... and the signal path runs on the restored values.
            const MixerControlState& state = mixer.engine().controls();
            EXPECT_EQ(state.channels[2].fader.load(), 37);
            EXPECT_EQ(state.channels[6].pan.load(), 91);
            EXPECT_EQ(state.masterLevel[3].load(), 86);
            EXPECT_TRUE(state.recordFromOutputPairTwo.load());
        }
        EXPECT_EQ(mixerSection(settingsPath()), mixerKeys(true));
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

// The panel's controls and its meters on the path the audio thread runs.
TEST_F(MixerRackTest, PanelControlsReachTheSignalPathAndItsMetersInRealTime)
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
    // The user's click on a pair 2 button, the panel's own band knob.
    QTest::mouseClick(&mixer.pairTwoButton(2), Qt::LeftButton);
    mixer.equaliserKnob(2, 0).setvalue(15);
    const MixerChannelControls& channelThree = mixer.engine().controls().channels[2];
    EXPECT_TRUE(channelThree.toOutputPairTwo.load());
    EXPECT_EQ(channelThree.equaliserGainDb[0].load(), 15);
    EXPECT_EQ(channelThree.equaliserGainDb[1].load(), 0);
    EXPECT_EQ(mixer.engine().controls().channels[3].equaliserGainDb[0].load(), 0);

    // The panel's Process, with the meters listening, neither allocates nor
    // locks; the meter of the channel that ran rises, the others do not.
    std::vector<std::vector<float>> buffers(8, std::vector<float>(512, 1.0f));
    std::array<float*, 4> in{buffers[0].data(), buffers[1].data(), buffers[2].data(),
                             buffers[3].data()};
    std::array<float*, 4> out{buffers[4].data(), buffers[5].data(), buffers[6].data(),
                              buffers[7].data()};
    realtime_trap::resetCounts();
    {
        realtime_trap::ScopedArm armed;
        for (int repeat = 0; repeat < 4; ++repeat)
            mixer.Process(in.data(), out.data(), 4, 4, 512);
    }
    EXPECT_EQ(realtime_trap::violations(), 0u);
    EXPECT_NEAR(out[1][511], -0.25f, 1e-5f) << "trim 0 dB, fader 100, centre pan, master 100";
    EXPECT_EQ(out[2][511], 0.0f) << "pair 2's master is at 0";
    EXPECT_LT(mixer.channelMeter(2).barPosition(), mixer.channelMeter(2).extent());
    EXPECT_EQ(mixer.channelMeter(3).barPosition(), mixer.channelMeter(3).extent());

    // Back to "None": the player is no longer routed and the channel stops.
    mixer.sourceSelector(2).setitemindex(0);
    EXPECT_FALSE(mp3.m_bRouted);
    mixer.Process(in.data(), out.data(), 4, 4, 512);
    EXPECT_EQ(out[1][511], 0.0f);
}

} // namespace
