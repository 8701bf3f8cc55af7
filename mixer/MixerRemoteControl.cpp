#include "mixer/MixerRemoteControl.h"

namespace mixer_remote
{

namespace
{

// MIDI controller values run 0..127.
constexpr double kMidiFullScale = 127.0;
// One key press moves a slider this far.
constexpr int kKeyboardStep = 5;

// Truncation toward zero is the int conversion.
int scaled(int midiValue, double span, double offset = 0.0)
{
    return static_cast<int>((midiValue & 0xFF) / kMidiFullScale * span + offset);
}

bool validChannel(int channelIndex)
{
    return channelIndex >= 0 && channelIndex < MixerControlState::kChannelCount;
}

} // namespace

// The channel faders' maximum (110) is also the masters' scale; a master
// then clamps to its own 100.
int ChannelFaderValue(int midiValue)
{
    return scaled(midiValue, 110.0);
}
int MasterLevelValue(int midiValue)
{
    return scaled(midiValue, 110.0);
}
int PanValue(int midiValue)
{
    return scaled(midiValue, 100.0);
}
// The gain knob spans 60 dB from -30.
int GainValue(int midiValue)
{
    return scaled(midiValue, 60.0, -30.0);
}
int SendValue(int midiValue)
{
    return scaled(midiValue, 100.0);
}
int ReturnLevelValue(int midiValue)
{
    return scaled(midiValue, 100.0);
}
// Scaled to 100, so the record knob's top 101..110 is out of remote reach.
int RecordLevelValue(int midiValue)
{
    return scaled(midiValue, 100.0);
}

void SetChannelFaderRemote(MixerControlState& state, int channelIndex, int midiValue)
{
    if (validChannel(channelIndex))
        SetSliderValue(state.channels[channelIndex].fader, ChannelFaderValue(midiValue),
                       mixer_ranges::kChannelFader);
}

void SetMasterLevelRemote(MixerControlState& state, int masterIndex, int midiValue)
{
    if (masterIndex >= 0 && masterIndex < MixerControlState::kMasterCount)
        SetSliderValue(state.masterLevel[masterIndex], MasterLevelValue(midiValue),
                       mixer_ranges::kMasterLevel);
}

void SetPanRemote(MixerControlState& state, int channelIndex, int midiValue)
{
    if (validChannel(channelIndex))
        SetKnobValue(state.channels[channelIndex].pan, PanValue(midiValue), mixer_ranges::kPan);
}

void SetGainRemote(MixerControlState& state, int channelIndex, int midiValue)
{
    if (validChannel(channelIndex))
        SetKnobValue(state.channels[channelIndex].gainDb, GainValue(midiValue),
                     mixer_ranges::kGain);
}

void SetSendRemote(MixerControlState& state, int sendIndex, int midiValue)
{
    const int channelIndex = sendIndex / 2;
    if (sendIndex < 0 || !validChannel(channelIndex))
        return;
    MixerChannelControls& controls = state.channels[channelIndex];
    SetKnobValue(sendIndex % 2 == 0 ? controls.preFaderSend : controls.postFaderSend,
                 SendValue(midiValue), mixer_ranges::kSend);
}

void SetReturnLevelRemote(MixerControlState& state, int returnIndex, int midiValue)
{
    if (returnIndex >= 0 && returnIndex < MixerControlState::kReturnCount)
        SetKnobValue(state.returnLevel[returnIndex], ReturnLevelValue(midiValue),
                     mixer_ranges::kReturnLevel);
}

void SetRecordLevelRemote(MixerControlState& state, int midiValue)
{
    SetKnobValue(state.recordLevel, RecordLevelValue(midiValue), mixer_ranges::kRecordLevel);
}

void StepChannelFader(MixerControlState& state, int channelIndex, bool up)
{
    if (!validChannel(channelIndex))
        return;
    std::atomic<int>& fader = state.channels[channelIndex].fader;
    SetSliderValue(fader, fader.load() + (up ? kKeyboardStep : -kKeyboardStep),
                   mixer_ranges::kChannelFader);
}

void StepMasterLevel(MixerControlState& state, int masterIndex, bool up)
{
    if (masterIndex < 0 || masterIndex >= MixerControlState::kMasterCount)
        return;
    std::atomic<int>& master = state.masterLevel[masterIndex];
    SetSliderValue(master, master.load() + (up ? kKeyboardStep : -kKeyboardStep),
                   mixer_ranges::kMasterLevel);
}

} // namespace mixer_remote
