#pragma once

// midi::CShortMsg: one channel or system message of up to three bytes, packed
// as the MIDI input delivers it: status in the low byte, then data 1, data 2.

#include <cstdint>

namespace midi
{

class CShortMsg
{
public:
    CShortMsg(std::uint32_t packedMessage, std::uint32_t timeStamp)
        : m_nMessage(packedMessage), m_nTimeStamp(timeStamp)
    {
    }

    static std::uint32_t Pack(unsigned char status, unsigned char data1, unsigned char data2)
    {
        return static_cast<std::uint32_t>(status) | (static_cast<std::uint32_t>(data1) << 8) |
               (static_cast<std::uint32_t>(data2) << 16);
    }

    unsigned char GetStatus() const { return static_cast<unsigned char>(m_nMessage & 0xFF); }
    // Status high nibble: 0x80 note off … 0xB0 control change, 0xC0 program change.
    unsigned char GetCommand() const { return GetStatus() & 0xF0; }
    // 0-15.
    unsigned char GetChannel() const { return GetStatus() & 0x0F; }
    unsigned char GetData1() const { return static_cast<unsigned char>((m_nMessage >> 8) & 0x7F); }
    unsigned char GetData2() const { return static_cast<unsigned char>((m_nMessage >> 16) & 0x7F); }
    std::uint32_t GetMessage() const { return m_nMessage; }
    std::uint32_t GetTimeStamp() const { return m_nTimeStamp; }

private:
    std::uint32_t m_nMessage;
    std::uint32_t m_nTimeStamp;
};

} // namespace midi
