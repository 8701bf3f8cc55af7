#pragma once

// midi::CMIDIInDevice: one MIDI input port. The ports are the ALSA sequencer's
// readable ports, followed by JACK MIDI output ports when a JACK server runs;
// a machine with no MIDI system simply has no devices.
//
// Messages arrive on the MIDI system's thread (for JACK, a real-time process
// thread), are queued without locking or allocating, and are delivered to the
// receiver on the device's own delivery thread while recording is started.
// Active sensing and timing clock are filtered out.
//
// Threads: Open/Close/Start/Stop/SetReceiver on one owning thread (GUI);
// AddSysExBuffer also from the receiver (delivery thread).

#include "utilkit/midi/MIDIInException.h"
#include "utilkit/midi/MIDIReceiver.h"

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace midi
{

struct MIDIInCaps
{
    std::string name;
};

class CMIDIInDevice
{
public:
    CMIDIInDevice();
    explicit CMIDIInDevice(CMIDIReceiver& receiver);
    ~CMIDIInDevice();
    CMIDIInDevice(const CMIDIInDevice&) = delete;
    CMIDIInDevice& operator=(const CMIDIInDevice&) = delete;

    // Number of input ports now, and the name of one (false when out of range).
    static unsigned GetNumDevs();
    static bool GetDevCaps(unsigned deviceIndex, MIDIInCaps& capabilities);
    static std::vector<std::string> DeviceNames();

    // Throws CMIDIInException when the index is out of range or the port
    // cannot be opened. Opening an open device closes it first.
    void Open(unsigned deviceIndex);
    void Close();
    bool IsOpen() const;

    void StartRecording();
    void StopRecording();
    bool IsRecording() const;

    void SetReceiver(CMIDIReceiver& receiver);
    // Hands the device a buffer for system exclusive data; each buffer carries
    // one delivery and comes back through the receiver.
    void AddSysExBuffer(unsigned char* buffer, std::size_t size);

private:
    class Port;
    std::unique_ptr<Port> m_port;
    // Read by the delivery thread while the owner may replace it.
    std::atomic<CMIDIReceiver*> m_pReceiver{nullptr};
};

} // namespace midi
