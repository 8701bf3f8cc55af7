#pragma once

// midi::CMIDIReceiver: what a MIDI input device delivers to. Implemented by
// the rack view (remote control) and the instrument rack.
//
// Threads: every operation runs on the input device's own delivery thread,
// never on the GUI or audio thread.

#include <cstddef>
#include <cstdint>

namespace midi
{

class CMIDIReceiver
{
public:
    virtual ~CMIDIReceiver() = default;

    // A channel or system message packed as midi::CShortMsg reads it; the
    // time stamp is in milliseconds since StartRecording.
    virtual void ReceiveMsg(std::uint32_t packedMessage, std::uint32_t timeStamp) = 0;
    // System exclusive bytes written into a buffer given with AddSysExBuffer;
    // the receiver hands the buffer back with AddSysExBuffer to get more.
    virtual void ReceiveMsg(unsigned char* buffer, std::size_t bytesRecorded,
                            std::uint32_t timeStamp) = 0;
    // A malformed short message, or system exclusive data dropped because no
    // buffer was free.
    virtual void OnError(std::uint32_t /*packedMessage*/, std::uint32_t /*timeStamp*/) {}
    virtual void OnError(unsigned char* /*buffer*/, std::size_t /*bytesRecorded*/,
                         std::uint32_t /*timeStamp*/)
    {
    }
};

} // namespace midi
