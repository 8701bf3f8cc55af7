#include "utilkit/midi/MIDIInDevice.h"
#include "utilkit/midi/ShortMsg.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace
{

// Status in the low byte, then the data bytes; data are 7-bit whatever a
// device sends.
TEST(ShortMessage, DecodesStatusChannelAndDataBytes)
{
    struct Case
    {
        std::uint32_t packed;
        int command, channel, data1, data2;
    };
    for (const Case& message : {Case{0x00643C93, 0x90, 3, 60, 100}, // note on, middle C
                                Case{midi::CShortMsg::Pack(0xBF, 7, 127), 0xB0, 15, 7, 127},
                                Case{midi::CShortMsg::Pack(0xC0, 42, 0), 0xC0, 0, 42, 0},
                                Case{midi::CShortMsg::Pack(0xB0, 0xFF, 0x80), 0xB0, 0, 0x7F, 0}})
    {
        const midi::CShortMsg decoded(message.packed, 1234);
        EXPECT_EQ(decoded.GetCommand(), message.command) << message.packed;
        EXPECT_EQ(decoded.GetChannel(), message.channel) << message.packed;
        EXPECT_EQ(decoded.GetData1(), message.data1) << message.packed;
        EXPECT_EQ(decoded.GetData2(), message.data2) << message.packed;
        EXPECT_EQ(decoded.GetTimeStamp(), 1234u);
    }
}

TEST(MidiInput, MissingDevicesAreCleanFailuresNotCrashes)
{
    // No JACK server of this name runs; this machine may have no ALSA
    // sequencer either. Whatever is there, the listing is consistent.
    setenv("JACK_DEFAULT_SERVER", "corvane-no-such-server", 1);
    const unsigned count = midi::CMIDIInDevice::GetNumDevs();
    EXPECT_EQ(midi::CMIDIInDevice::DeviceNames().size(), count);

    midi::MIDIInCaps capabilities;
    EXPECT_FALSE(midi::CMIDIInDevice::GetDevCaps(count, capabilities));

    midi::CMIDIInDevice device;
    EXPECT_THROW(device.Open(count), midi::CMIDIInException);
    EXPECT_THROW(device.Open(1000), midi::CMIDIInException);
    EXPECT_FALSE(device.IsOpen());
    EXPECT_THROW(device.StartRecording(), midi::CMIDIInException);
    device.StopRecording();
    device.Close();
    unsigned char buffer[16];
    device.AddSysExBuffer(buffer, sizeof(buffer));
}

} // namespace
