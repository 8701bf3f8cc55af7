// A real MIDI round trip: a JACK client of the test sends note, controller,
// program and system exclusive messages from a MIDI output port; the input
// device opens that port and its receiver gets them decoded.

#include "support/JackMidiSender.h"
#include "utilkit/midi/MIDIInDevice.h"

#include <gtest/gtest.h>
#include <jack/jack.h>
#include <jack/midiport.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace
{

constexpr const char* kSenderName = "corvane-midi-sender";

struct Collected : midi::CMIDIReceiver
{
    void ReceiveMsg(std::uint32_t packedMessage, std::uint32_t) override
    {
        std::lock_guard lock(mutex);
        shortMessages.push_back(packedMessage);
        changed.notify_all();
    }
    void ReceiveMsg(unsigned char* buffer, std::size_t bytesRecorded, std::uint32_t) override
    {
        std::lock_guard lock(mutex);
        sysEx.insert(sysEx.end(), buffer, buffer + bytesRecorded);
        sysExDeliveries.push_back(bytesRecorded);
        changed.notify_all();
        // Hand the buffer back, as a receiver does to get the rest.
        device->AddSysExBuffer(buffer, 100);
    }

    template <typename Predicate> bool waitFor(Predicate predicate)
    {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(5), predicate);
    }

    midi::CMIDIInDevice* device = nullptr;
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::uint32_t> shortMessages;
    std::vector<unsigned char> sysEx;
    std::vector<size_t> sysExDeliveries;
};

using Sender = testkit::JackMidiSender;

TEST(MidiJackRoundTrip, ReceiverGetsEveryMessageDecoded)
{
    Sender sender(kSenderName);
    ASSERT_NE(sender.client, nullptr) << "the test JACK server is not running";

    const int senderIndex = sender.deviceIndex();
    ASSERT_GE(senderIndex, 0) << "the sender's port is not listed";
    midi::MIDIInCaps capabilities;
    ASSERT_TRUE(midi::CMIDIInDevice::GetDevCaps(senderIndex, capabilities));
    EXPECT_EQ(capabilities.name, sender.portName());

    Collected receiver;
    midi::CMIDIInDevice device;
    receiver.device = &device;
    device.SetReceiver(receiver);
    device.Open(static_cast<unsigned>(senderIndex));
    device.StartRecording();
    unsigned char sysExBuffer[100];
    device.AddSysExBuffer(sysExBuffer, sizeof(sysExBuffer));
    // Give the input port time to be connected before sending.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));

    // 250 bytes of system exclusive: more than one 100-byte buffer.
    std::vector<unsigned char> longSysEx(250, 0x11);
    longSysEx.front() = 0xF0;
    longSysEx.back() = 0xF7;
    sender.send({{0x93, 60, 100}, {0xB0, 7, 127}, {0xC2, 5}, longSysEx, {0x80, 60, 0}});

    ASSERT_TRUE(receiver.waitFor(
        [&] { return receiver.shortMessages.size() >= 4 && receiver.sysEx.size() >= 250; }))
        << "received " << receiver.shortMessages.size() << " short messages and "
        << receiver.sysEx.size() << " system exclusive bytes";
    device.StopRecording();

    // Each short message packed as the device delivers it (status in the low
    // byte), in the order sent; the system exclusive bytes in 100-byte buffers.
    std::lock_guard lock(receiver.mutex);
    EXPECT_EQ(receiver.shortMessages,
              (std::vector<std::uint32_t>{0x643C93, 0x7F07B0, 0x05C2, 0x003C80}));
    EXPECT_EQ(receiver.sysEx, longSysEx);
    EXPECT_EQ(receiver.sysExDeliveries, (std::vector<size_t>{100, 100, 50}));
}

} // namespace
