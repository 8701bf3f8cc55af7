// Remote values and keyboard steps on the mixer's controls.

#include "mixer/MixerControlState.h"
#include "mixer/MixerRemoteControl.h"

#include <gtest/gtest.h>

#include <tuple>

TEST(MixerRemoteTest, RemoteValuesOnEveryFamily)
{
    using namespace mixer_remote;
    for (const auto& [name, convert, at127, at64, at0] :
         {std::tuple{"fader", &ChannelFaderValue, 110, 55, 0},
          {"master", MasterLevelValue, 110, 55, 0},
          {"pan", PanValue, 100, 50, 0},
          {"gain", GainValue, 30, 0, -30},
          {"send", SendValue, 100, 50, 0},
          {"return", ReturnLevelValue, 100, 50, 0},
          {"record", RecordLevelValue, 100, 50, 0}})
    {
        EXPECT_EQ(convert(127), at127) << name;
        EXPECT_EQ(convert(64), at64) << name;
        EXPECT_EQ(convert(0), at0) << name;
        // Only the low 8 bits of the data value count.
        EXPECT_EQ(convert(256 + 127), at127) << name;
    }
    // Truncation toward zero: 63 and 64 both give a gain of 0.
    EXPECT_EQ(GainValue(63), 0);
    EXPECT_EQ(GainValue(1), -29);
    EXPECT_EQ(MasterLevelValue(115), 99);
}

TEST(MixerRemoteTest, RemoteSettersAndKeyboardStepsApplyTheControlsRules)
{
    using namespace mixer_remote;
    MixerControlState state;
    SetMasterLevelRemote(state, 2, 116);
    EXPECT_EQ(state.masterLevel[2].load(), 100);
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

    // Keyboard steps of 5 stop at the slider ends.
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
