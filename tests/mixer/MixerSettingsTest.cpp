#include "mixer/MixerSettings.h"
#include "mixer/MixerRemoteControl.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace
{

class MixerSettingsTest : public ::testing::Test
{
protected:
    MixerSettingsTest()
    {
        const auto folder = std::filesystem::temp_directory_path() /
                            ("corvane-mixer-settings-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder);
        path = (folder / "rackdata5.ini").string();
        std::filesystem::remove(path);
    }
    ~MixerSettingsTest() override
    {
        std::filesystem::remove_all(std::filesystem::path(path).parent_path());
    }

    std::vector<std::string> keysInFileOrder() const
    {
        std::vector<std::string> keys;
        std::ifstream file(path);
        std::string line;
        while (std::getline(file, line))
        {
            const auto equals = line.find('=');
            if (equals != std::string::npos)
                keys.push_back(line.substr(0, equals));
        }
        return keys;
    }

    std::string path;
};

// A value for every control that differs from its default.
void setEveryControl(MixerControlState& state)
{
    for (int channel = 0; channel < MixerControlState::kChannelCount; ++channel)
    {
        MixerChannelControls& controls = state.channels[channel];
        controls.source = MixerControlState::isMonoChannel(channel) ? 4 - channel : channel - 1;
        controls.fader = 101 + channel;
        controls.gainDb = -20 + channel;
        controls.pan = 10 + channel;
        controls.toOutputPairOne = channel % 2 == 0;
        controls.toOutputPairTwo = true;
        controls.preFaderSend = 30 + channel;
        controls.postFaderSend = 60 + channel;
    }
    for (int master = 0; master < MixerControlState::kMasterCount; ++master)
        state.masterLevel[master] = 70 + master;
    state.returnLevel[0] = 44;
    state.returnLevel[1] = 55;
    state.returnToOutputPairOne[0] = false;
    state.returnToOutputPairOne[1] = true;
    state.returnToOutputPairTwo[0] = true;
    state.returnToOutputPairTwo[1] = false;
    state.recordLevel = 107;
    state.recordFromOutputPairOne = true;
    state.recordFromOutputPairTwo = true;
}

// Every saved value of a state, in one list, for comparing two states.
std::vector<int> savedValues(const MixerControlState& state)
{
    std::vector<int> values;
    for (const MixerChannelControls& controls : state.channels)
    {
        for (int value : {controls.source.load(), controls.fader.load(), controls.gainDb.load(),
                          controls.pan.load(), int(controls.toOutputPairOne.load()),
                          int(controls.toOutputPairTwo.load()), controls.preFaderSend.load(),
                          controls.postFaderSend.load()})
            values.push_back(value);
    }
    for (const auto& master : state.masterLevel)
        values.push_back(master.load());
    for (int index = 0; index < MixerControlState::kReturnCount; ++index)
    {
        values.push_back(state.returnLevel[index].load());
        values.push_back(state.returnToOutputPairOne[index].load());
        values.push_back(state.returnToOutputPairTwo[index].load());
    }
    values.push_back(state.recordLevel.load());
    values.push_back(state.recordFromOutputPairOne.load());
    values.push_back(state.recordFromOutputPairTwo.load());
    return values;
}

} // namespace

TEST_F(MixerSettingsTest, FirstStartWithoutAFileGivesTheDefaults)
{
    const CIni settings(path);
    MixerControlState restored;
    mixer_settings::RestoreMixerSettings(settings, restored);
    const MixerControlState defaults;
    EXPECT_EQ(savedValues(restored), savedValues(defaults));
    // The defaults themselves: silence, centred, pair 1 only, record off.
    EXPECT_EQ(restored.channels[4].pan.load(), 50);
    EXPECT_TRUE(restored.channels[4].toOutputPairOne.load());
    EXPECT_FALSE(restored.channels[4].toOutputPairTwo.load());
    EXPECT_TRUE(restored.returnToOutputPairOne[1].load());
    EXPECT_FALSE(restored.recordFromOutputPairOne.load());
    EXPECT_EQ(restored.masterLevel[3].load(), 0);
}

TEST_F(MixerSettingsTest, SaveAndRestoreTheWholeSectionThroughARestart)
{
    {
        MixerControlState before;
        setEveryControl(before);
        CIni settings(path);
        ASSERT_TRUE(mixer_settings::SaveMixerSettings(settings, before));
    }
    const CIni settings(path);
    MixerControlState after;
    mixer_settings::RestoreMixerSettings(settings, after);
    MixerControlState expected;
    setEveryControl(expected);
    EXPECT_EQ(savedValues(after), savedValues(expected));
    EXPECT_NE(savedValues(after), savedValues(MixerControlState{}));

    // Every key, in the order the mixer writes them.
    std::vector<std::string> order;
    auto perChannel = [&](const std::string& name, const std::string& suffix = "")
    {
        for (int channel = 1; channel <= 7; ++channel)
            order.push_back(name + std::to_string(channel) + suffix);
    };
    perChannel("source");
    perChannel("fader");
    perChannel("gain");
    perChannel("pan");
    for (int master = 1; master <= 4; ++master)
        order.push_back("bus" + std::to_string(master));
    perChannel("bus", "1");
    perChannel("bus", "2");
    perChannel("aux", "1");
    perChannel("aux", "2");
    for (const char* key : {"auxreturn1", "auxreturn2", "auxbus11", "auxbus21", "auxbus12",
                            "auxbus22", "recout", "recbus1", "recbus2"})
        order.push_back(key);
    EXPECT_EQ(keysInFileOrder(), order);
}

TEST_F(MixerSettingsTest, RestoreFollowsTheControlsRangeRules)
{
    CIni settings(path);
    settings.WriteInt("Mixer", "pan2", 200);   // knob: ignored
    settings.WriteInt("Mixer", "gain1", -31);  // knob: ignored
    settings.WriteInt("Mixer", "fader3", 150); // slider: clamped
    settings.WriteInt("Mixer", "bus2", 130);   // master slider: clamped to 100
    settings.WriteInt("Mixer", "bus1", -5);
    settings.WriteInt("Mixer", "source4", 6); // no such selector item
    settings.WriteInt("Mixer", "source1", 5);
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

TEST(MixerRemoteTest, RemoteValuesOnEveryFamily)
{
    using namespace mixer_remote;
    struct Family
    {
        const char* name;
        int (*convert)(int);
        int at127, at64, at0;
    };
    for (const Family& family :
         {Family{"fader", ChannelFaderValue, 110, 55, 0},
          Family{"master", MasterLevelValue, 110, 55, 0}, Family{"pan", PanValue, 100, 50, 0},
          Family{"gain", GainValue, 30, 0, -30}, Family{"send", SendValue, 100, 50, 0},
          Family{"return", ReturnLevelValue, 100, 50, 0},
          Family{"record", RecordLevelValue, 100, 50, 0}})
    {
        EXPECT_EQ(family.convert(127), family.at127) << family.name;
        EXPECT_EQ(family.convert(64), family.at64) << family.name;
        EXPECT_EQ(family.convert(0), family.at0) << family.name;
        // Only the low 8 bits of the data value count.
        EXPECT_EQ(family.convert(256 + 127), family.at127) << family.name;
    }
    // Truncation toward zero: 63 and 64 both give a gain of 0.
    EXPECT_EQ(GainValue(63), 0);
    EXPECT_EQ(GainValue(1), -29);
    EXPECT_EQ(MasterLevelValue(115), 99);
}

TEST(MixerRemoteTest, RemoteSettersApplyTheControlsRules)
{
    using namespace mixer_remote;
    MixerControlState state;
    SetMasterLevelRemote(state, 2, 127);
    EXPECT_EQ(state.masterLevel[2].load(), 100);
    SetMasterLevelRemote(state, 2, 116);
    EXPECT_EQ(state.masterLevel[2].load(), 100);
    SetRecordLevelRemote(state, 127);
    EXPECT_EQ(state.recordLevel.load(), 100);
    SetGainRemote(state, 6, 127);
    EXPECT_EQ(state.channels[6].gainDb.load(), 30);
    SetChannelFaderRemote(state, 0, 200); // 173, clamped by the slider
    EXPECT_EQ(state.channels[0].fader.load(), 110);
    SetPanRemote(state, 1, 200); // 157: the knob ignores it
    EXPECT_EQ(state.channels[1].pan.load(), 50);
    SetSendRemote(state, 5, 127); // channel 3 post
    EXPECT_EQ(state.channels[2].postFaderSend.load(), 100);
    EXPECT_EQ(state.channels[2].preFaderSend.load(), 0);
    SetSendRemote(state, 4, 64); // channel 3 pre
    EXPECT_EQ(state.channels[2].preFaderSend.load(), 50);
    SetReturnLevelRemote(state, 1, 64);
    EXPECT_EQ(state.returnLevel[1].load(), 50);
    // Unknown targets change nothing.
    SetSendRemote(state, 14, 127);
    SetChannelFaderRemote(state, 7, 127);
    SetMasterLevelRemote(state, -1, 127);
}

TEST(MixerRemoteTest, KeyboardStepsStopAtTheSliderEnds)
{
    using namespace mixer_remote;
    MixerControlState state;
    StepChannelFader(state, 3, true);
    EXPECT_EQ(state.channels[3].fader.load(), 5);
    StepChannelFader(state, 3, false);
    StepChannelFader(state, 3, false);
    EXPECT_EQ(state.channels[3].fader.load(), 0);
    state.channels[3].fader = 108;
    StepChannelFader(state, 3, true);
    EXPECT_EQ(state.channels[3].fader.load(), 110);
    state.masterLevel[1] = 97;
    StepMasterLevel(state, 1, true);
    EXPECT_EQ(state.masterLevel[1].load(), 100);
    StepMasterLevel(state, 1, false);
    EXPECT_EQ(state.masterLevel[1].load(), 95);
}
