#include "WavBlockReader.h"

#include "audiodev/SampleConverter.h"
#include "platform/ThreadPriority.h"

#include <cstring>

namespace audiodev
{

namespace
{
// Blocks read ahead: about 170 ms at 256 frames and 48000 Hz.
constexpr size_t kRingBlocks = 32;
} // namespace

bool WavBlockReader::open(const std::string& path, long channels, SampleType sampleType,
                          long framesPerBlock)
{
    close();
    SF_INFO info{};
    m_file = sf_open(path.c_str(), SFM_READ, &info);
    if (m_file == nullptr)
        return false;
    m_fileChannels = info.channels;
    m_sampleType = sampleType;
    m_channels = channels;
    m_frames = framesPerBlock;
    m_fileInts.assign(size_t(framesPerBlock) * size_t(info.channels), 0);
    m_fileFloats.assign(size_t(framesPerBlock) * size_t(info.channels), 0.0f);
    m_ring.allocate(kRingBlocks, SampleConverter::bytesPerSample(sampleType) * size_t(channels) *
                                     size_t(framesPerBlock));
    m_dataReady.clear();
    m_roomReady.clear();
    m_finished.store(false);
    m_stop.store(false);
    // The first blocks are there before the device starts.
    fillRing();
    m_thread = std::thread([this] { run(); });
    return true;
}

void WavBlockReader::close()
{
    if (m_thread.joinable())
    {
        m_stop.store(true);
        m_roomReady.signal();
        m_thread.join();
    }
    if (m_file != nullptr)
        sf_close(m_file);
    m_file = nullptr;
}

// Reader thread: one block of the file into a slot, channel after channel,
// in the device's sample type; missing frames and channels are silent.
void WavBlockReader::convertInto(unsigned char* slot, sf_count_t framesRead)
{
    const size_t sampleBytes = SampleConverter::bytesPerSample(m_sampleType);
    const size_t channelBytes = sampleBytes * size_t(m_frames);
    std::memset(slot, 0, channelBytes * size_t(m_channels));
    for (long channel = 0; channel < m_channels && channel < m_fileChannels; ++channel)
    {
        unsigned char* destination = slot + size_t(channel) * channelBytes;
        for (sf_count_t frame = 0; frame < framesRead; ++frame)
        {
            const size_t at = size_t(frame) * size_t(m_fileChannels) + size_t(channel);
            // libsndfile hands integers left-justified in 32 bits.
            const auto word = static_cast<uint32_t>(m_fileInts[at]);
            unsigned char* sample = destination + size_t(frame) * sampleBytes;
            switch (m_sampleType)
            {
            case SampleInt16LSB:
            {
                const auto value = static_cast<uint16_t>(word >> 16);
                std::memcpy(sample, &value, 2);
                break;
            }
            case SampleInt24LSB:
                sample[0] = static_cast<unsigned char>(word >> 8);
                sample[1] = static_cast<unsigned char>(word >> 16);
                sample[2] = static_cast<unsigned char>(word >> 24);
                break;
            case SampleInt32LSB:
                std::memcpy(sample, &word, 4);
                break;
            default:
                std::memcpy(sample, &m_fileFloats[at], 4);
                break;
            }
        }
    }
}

// Control thread (before the reader starts) or reader thread: reads blocks
// while the ring has room and the file has more.
void WavBlockReader::fillRing()
{
    while (!m_finished.load() && !m_stop.load() && m_ring.hasRoom())
    {
        const sf_count_t framesRead = m_sampleType == SampleFloat32LSB
                                          ? sf_readf_float(m_file, m_fileFloats.data(), m_frames)
                                          : sf_readf_int(m_file, m_fileInts.data(), m_frames);
        if (framesRead > 0)
        {
            convertInto(m_ring.slotToWrite(), framesRead);
            m_ring.publish();
        }
        if (framesRead < m_frames)
            m_finished.store(true);
        if (m_popWaiting.exchange(false))
            m_dataReady.signal();
    }
}

// Reader thread.
void WavBlockReader::run()
{
    platform::setCurrentThreadName("corvane-wavin");
    for (;;)
    {
        fillRing();
        if (m_finished.load() || m_stop.load())
            return;
        m_readerWaiting.store(true);
        if (!m_ring.hasRoom() && !m_stop.load())
            m_roomReady.wait();
        m_readerWaiting.store(false);
    }
}

// Audio thread.
void WavBlockReader::pop(unsigned char* const* channelHalves, bool waitForData) noexcept
{
    const size_t channelBytes = SampleConverter::bytesPerSample(m_sampleType) * size_t(m_frames);
    while (!m_ring.hasData() && waitForData && !m_finished.load())
    {
        m_popWaiting.store(true);
        if (!m_ring.hasData() && !m_finished.load())
            m_dataReady.wait();
        m_popWaiting.store(false);
    }
    if (!m_ring.hasData())
    {
        for (long channel = 0; channel < m_channels; ++channel)
            if (channelHalves[channel] != nullptr)
                std::memset(channelHalves[channel], 0, channelBytes);
        return;
    }
    const unsigned char* slot = m_ring.slotToRead();
    for (long channel = 0; channel < m_channels; ++channel)
        if (channelHalves[channel] != nullptr)
            std::memcpy(channelHalves[channel], slot + size_t(channel) * channelBytes,
                        channelBytes);
    m_ring.release();
    if (m_readerWaiting.exchange(false))
        m_roomReady.signal();
}

} // namespace audiodev
