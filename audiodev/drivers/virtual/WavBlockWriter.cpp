#include "WavBlockWriter.h"

#include "audiodev/SampleConverter.h"
#include "platform/ThreadPriority.h"

#include <cstring>

namespace audiodev
{

namespace
{
// Blocks the ring holds: about 170 ms at 256 frames and 48000 Hz, enough
// to ride out a slow disk.
constexpr size_t kRingBlocks = 32;

// libsndfile takes 16-bit samples as shorts and everything else as 32-bit
// words (24-bit samples left-justified) or floats.
size_t fileSampleBytes(SampleType type)
{
    return type == SampleInt16LSB ? 2 : 4;
}
} // namespace

bool WavBlockWriter::open(const std::string& path, double sampleRate, long channels,
                          SampleType sampleType, long framesPerBlock)
{
    close();
    SF_INFO info{};
    info.samplerate = static_cast<int>(sampleRate);
    info.channels = static_cast<int>(channels);
    int subtype = SF_FORMAT_FLOAT;
    if (sampleType == SampleInt16LSB)
        subtype = SF_FORMAT_PCM_16;
    else if (sampleType == SampleInt24LSB)
        subtype = SF_FORMAT_PCM_24;
    else if (sampleType == SampleInt32LSB)
        subtype = SF_FORMAT_PCM_32;
    info.format = SF_FORMAT_WAV | subtype;
    m_file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (m_file == nullptr)
        return false;
    m_sampleType = sampleType;
    m_channels = channels;
    m_frames = framesPerBlock;
    m_ring.allocate(kRingBlocks,
                    fileSampleBytes(sampleType) * size_t(channels) * size_t(framesPerBlock));
    m_dataReady.clear();
    m_roomReady.clear();
    m_stop.store(false);
    m_dropped.store(0);
    m_thread = std::thread([this] { run(); });
    return true;
}

void WavBlockWriter::close()
{
    if (m_thread.joinable())
    {
        m_stop.store(true);
        m_dataReady.signal();
        m_thread.join();
    }
    if (m_file != nullptr)
        sf_close(m_file);
    m_file = nullptr;
}

// Audio thread.
bool WavBlockWriter::push(const unsigned char* const* channelHalves, bool waitForRoom) noexcept
{
    while (!m_ring.hasRoom())
    {
        if (!waitForRoom)
        {
            m_dropped.fetch_add(1, std::memory_order_relaxed);
            return false;
        }
        m_pushWaiting.store(true);
        if (!m_ring.hasRoom())
            m_roomReady.wait();
        m_pushWaiting.store(false);
    }
    unsigned char* slot = m_ring.slotToWrite();
    const size_t deviceBytes = SampleConverter::bytesPerSample(m_sampleType);
    const size_t fileBytes = fileSampleBytes(m_sampleType);
    for (long channel = 0; channel < m_channels; ++channel)
    {
        const unsigned char* source = channelHalves[channel];
        for (long frame = 0; frame < m_frames; ++frame)
        {
            unsigned char* destination =
                slot + (size_t(frame) * size_t(m_channels) + size_t(channel)) * fileBytes;
            if (source == nullptr)
            {
                std::memset(destination, 0, fileBytes);
                continue;
            }
            const unsigned char* sample = source + size_t(frame) * deviceBytes;
            if (m_sampleType == SampleInt24LSB)
            {
                // Left-justified in a 32-bit word, as libsndfile expects.
                const uint32_t word = (uint32_t(sample[0]) << 8) | (uint32_t(sample[1]) << 16) |
                                      (uint32_t(sample[2]) << 24);
                std::memcpy(destination, &word, 4);
            }
            else
            {
                std::memcpy(destination, sample, fileBytes);
            }
        }
    }
    m_ring.publish();
    m_dataReady.signal();
    return true;
}

// Writer thread.
void WavBlockWriter::run()
{
    platform::setCurrentThreadName("corvane-wavout");
    for (;;)
    {
        m_dataReady.wait();
        while (m_ring.hasData())
        {
            const unsigned char* slot = m_ring.slotToRead();
            if (m_sampleType == SampleInt16LSB)
                sf_writef_short(m_file, reinterpret_cast<const short*>(slot), m_frames);
            else if (m_sampleType == SampleFloat32LSB)
                sf_writef_float(m_file, reinterpret_cast<const float*>(slot), m_frames);
            else
                sf_writef_int(m_file, reinterpret_cast<const int*>(slot), m_frames);
            m_ring.release();
            if (m_pushWaiting.exchange(false))
                m_roomReady.signal();
        }
        if (m_stop.load())
            return;
    }
}

} // namespace audiodev
