#include "utilkit/midi/MIDIInDevice.h"
#include "utilkit/midi/ShortMsg.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace
{

TEST(ShortMessage, DecodesStatusChannelAndDataBytes)
{
    // Note on, channel 4 (index 3), middle C, velocity 100.
    const midi::CShortMsg noteOn(0x00643C93, 1234);
    EXPECT_EQ(noteOn.GetCommand(), 0x90);
    EXPECT_EQ(noteOn.GetChannel(), 3);
    EXPECT_EQ(noteOn.GetData1(), 60);
    EXPECT_EQ(noteOn.GetData2(), 100);
    EXPECT_EQ(noteOn.GetTimeStamp(), 1234u);

    const midi::CShortMsg controlChange(midi::CShortMsg::Pack(0xBF, 7, 127), 0);
    EXPECT_EQ(controlChange.GetCommand(), 0xB0);
    EXPECT_EQ(controlChange.GetChannel(), 15);
    EXPECT_EQ(controlChange.GetData1(), 7);
    EXPECT_EQ(controlChange.GetData2(), 127);

    // Program change carries one data byte; the second reads as 0.
    const midi::CShortMsg programChange(midi::CShortMsg::Pack(0xC0, 42, 0), 0);
    EXPECT_EQ(programChange.GetCommand(), 0xC0);
    EXPECT_EQ(programChange.GetData1(), 42);
    EXPECT_EQ(programChange.GetData2(), 0);

    // Data bytes are 7-bit whatever a device sends.
    const midi::CShortMsg sloppy(midi::CShortMsg::Pack(0xB0, 0xFF, 0x80), 0);
    EXPECT_EQ(sloppy.GetData1(), 0x7F);
    EXPECT_EQ(sloppy.GetData2(), 0x00);
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
