#pragma once

// Reads the Virtual Device's input from a WAV file on a thread of its own,
// ahead of time, so the device's audio thread never touches the disk. The
// reader fills a ring with blocks already in the device's sample type, one
// half-buffer per input channel; the audio thread takes them. After the end
// of the file (or when the reader falls behind) the inputs are silent.
//
// Threads: open and close on the control thread; pop on the device's audio
// thread; the reader thread inside.

#include "BlockRing.h"
#include "audiodev/AudioDriver.h"
#include "platform/WakeSignal.h"

#include <sndfile.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace audiodev
{

class WavBlockReader
{
public:
    ~WavBlockReader() { close(); }

    bool open(const std::string& path, long channels, SampleType sampleType, long framesPerBlock);
    void close();

    // Audio thread: the next block into the channels' half-buffers (null
    // ones are skipped). waitForData (the fast mode) waits for the reader
    // instead of playing silence while the file has more.
    void pop(unsigned char* const* channelHalves, bool waitForData) noexcept;

private:
    void run();
    void fillRing();
    void convertInto(unsigned char* slot, sf_count_t framesRead);

    SNDFILE* m_file = nullptr;
    int m_fileChannels = 0;
    SampleType m_sampleType = SampleFloat32LSB;
    long m_channels = 0;
    long m_frames = 0;
    std::vector<int> m_fileInts;
    std::vector<float> m_fileFloats;
    BlockRing m_ring;
    platform::WakeSignal m_dataReady;
    platform::WakeSignal m_roomReady;
    std::atomic<bool> m_popWaiting{false};
    std::atomic<bool> m_readerWaiting{false};
    std::atomic<bool> m_finished{false};
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

} // namespace audiodev
