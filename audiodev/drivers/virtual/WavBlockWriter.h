#pragma once

// Writes the Virtual Device's output blocks to a WAV file from a thread of
// its own, so the device's audio thread never touches the disk. The audio
// thread stores each block (in the device's sample type) in a ring; the
// writer thread empties the ring into the file. close() writes what is left.
//
// Threads: open and close on the control thread; push on the device's audio
// thread; the writer thread inside.

#include "BlockRing.h"
#include "audiodev/AudioDriver.h"
#include "platform/WakeSignal.h"

#include <sndfile.h>

#include <atomic>
#include <string>
#include <thread>

namespace audiodev
{

class WavBlockWriter
{
public:
    ~WavBlockWriter() { close(); }

    bool open(const std::string& path, double sampleRate, long channels, SampleType sampleType,
              long framesPerBlock);
    void close();
    bool isOpen() const { return m_file != nullptr; }

    // Audio thread: one block, one half-buffer per channel (null: silence).
    // When the ring is full the block is dropped (false), unless waitForRoom
    // (the fast mode, which does not run in real time) lets it wait.
    bool push(const unsigned char* const* channelHalves, bool waitForRoom) noexcept;

    // Blocks dropped because the disk fell behind.
    long droppedBlocks() const { return m_dropped.load(); }

private:
    void run();

    SNDFILE* m_file = nullptr;
    SampleType m_sampleType = SampleFloat32LSB;
    long m_channels = 0;
    long m_frames = 0;
    BlockRing m_ring;
    platform::WakeSignal m_dataReady;
    platform::WakeSignal m_roomReady;
    // Set while push waits for room, so the writer signals only then.
    std::atomic<bool> m_pushWaiting{false};
    std::atomic<bool> m_stop{false};
    std::atomic<long> m_dropped{0};
    std::thread m_thread;
};

} // namespace audiodev
