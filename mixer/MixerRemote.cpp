#include "mixer/MixerRemote.h"

#include "mixer/MixerRack.h"

#include <array>

namespace mixer_remote
{

namespace
{

// MIDI controller values run 0..127.
constexpr double kMidiFullScale = 127.0;

// Truncation toward zero is the int conversion.
int scaled(int midiValue, double span, double offset = 0.0)
{
    return static_cast<int>((midiValue & 0xFF) / kMidiFullScale * span + offset);
}

using Operation = RackRemoteOperation<CMixerRack>;

const std::array<Operation, 9> kOperations{{
    {"Channel %d Level", 7,
     [](CMixerRack& mixer, int channel, int value)
     { mixer.SetChannelFaderRemote(channel, value); }},
    {"Channel %d Gain", 7,
     [](CMixerRack& mixer, int channel, int value) { mixer.SetGainRemote(channel, value); }},
    {"Channel %d Pan", 7,
     [](CMixerRack& mixer, int channel, int value) { mixer.SetPanRemote(channel, value); }},
    {"Channel %d Pre AUX Level", 7,
     [](CMixerRack& mixer, int channel, int value) { mixer.SetSendRemote(2 * channel, value); }},
    {"Channel %d Post AUX Level", 7,
     [](CMixerRack& mixer, int channel, int value)
     { mixer.SetSendRemote(2 * channel + 1, value); }},
    {"Bus %d Master Level", 4,
     [](CMixerRack& mixer, int master, int value) { mixer.SetMasterLevelRemote(master, value); }},
    {"Pre AUX Return Level", 1,
     [](CMixerRack& mixer, int, int value) { mixer.SetReturnLevelRemote(0, value); }},
    {"Post AUX Return Level", 1,
     [](CMixerRack& mixer, int, int value) { mixer.SetReturnLevelRemote(1, value); }},
    {"Rec Out Level", 1,
     [](CMixerRack& mixer, int, int value) { mixer.SetRecordLevelRemote(value); }},
}};

} // namespace

// The channel faders' maximum (110) is also the masters' scale.
int faderValue(int midiValue)
{
    return scaled(midiValue, 110.0);
}

int levelValue(int midiValue)
{
    return scaled(midiValue, 100.0);
}

// The gain knob spans 60 dB from -30.
int gainValue(int midiValue)
{
    return scaled(midiValue, 60.0, -30.0);
}

RackRemoteTable<CMixerRack> operations()
{
    return kOperations;
}

} // namespace mixer_remote
