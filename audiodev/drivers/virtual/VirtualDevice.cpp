#include "VirtualDevice.h"

#include "platform/ThreadPriority.h"

#include <cstdlib>
#include <cstring>
#include <string_view>

namespace audiodev
{

namespace
{
// The rates Corvane's engine runs at.
constexpr double kRates[] = {44100.0, 48000.0, 96000.0};
// The engine's mixer takes at most 2048 frames; below 16 the block overhead
// dominates.
constexpr long kSmallestBlock = 16;
constexpr long kLargestBlock = 2048;
constexpr long kDefaultBlock = 256;
// Two stereo pairs: the engine's inputs 1-4 and outputs 1-4.
constexpr long kDefaultChannels = 4;
constexpr long kMostChannels = 64;

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

long environmentNumber(const char* name, long fallback)
{
    const std::string text = environment(name);
    if (text.empty())
        return fallback;
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    return (end != nullptr && *end == '\0') ? value : -1;
}
} // namespace

VirtualDevice::VirtualDevice() : DriverBase("Virtual Device") {}

VirtualDevice::~VirtualDevice()
{
    stop();
}

bool VirtualDevice::init(void*)
{
    m_blockSize = environmentNumber("CORVANE_VIRTUAL_BLOCK_SIZE", kDefaultBlock);
    if (m_blockSize < kSmallestBlock || m_blockSize > kLargestBlock)
    {
        setErrorText("CORVANE_VIRTUAL_BLOCK_SIZE must be 16 to 2048 frames");
        return false;
    }
    m_numInputs = environmentNumber("CORVANE_VIRTUAL_INPUTS", kDefaultChannels);
    m_numOutputs = environmentNumber("CORVANE_VIRTUAL_OUTPUTS", kDefaultChannels);
    if (m_numInputs < 0 || m_numInputs > kMostChannels || m_numOutputs < 0 ||
        m_numOutputs > kMostChannels)
    {
        setErrorText("CORVANE_VIRTUAL_INPUTS/OUTPUTS must be 0 to 64 channels");
        return false;
    }
    const std::string type = environment("CORVANE_VIRTUAL_SAMPLE_TYPE");
    if (type.empty() || type == "Float32LSB")
        m_sampleType = SampleFloat32LSB;
    else if (type == "Int16LSB")
        m_sampleType = SampleInt16LSB;
    else if (type == "Int24LSB")
        m_sampleType = SampleInt24LSB;
    else if (type == "Int32LSB")
        m_sampleType = SampleInt32LSB;
    else
    {
        setErrorText("CORVANE_VIRTUAL_SAMPLE_TYPE must be Int16LSB, Int24LSB, Int32LSB or "
                     "Float32LSB");
        return false;
    }
    m_inputPath = environment("CORVANE_VIRTUAL_INPUT_FILE");
    m_outputPath = environment("CORVANE_VIRTUAL_OUTPUT_FILE");
    m_fastMode = environment("CORVANE_VIRTUAL_FAST") == "1";
    return true;
}

long VirtualDevice::getLatencies(long* inputLatency, long* outputLatency)
{
    // One block is captured before it is handed over, one is played after.
    *inputLatency = *outputLatency = m_blockSize;
    return DriverOk;
}

long VirtualDevice::canSampleRate(double sampleRate)
{
    for (double rate : kRates)
        if (sampleRate == rate)
            return DriverOk;
    return DriverNoClock;
}

long VirtualDevice::getSampleRate(double* sampleRate)
{
    *sampleRate = m_sampleRate;
    return DriverOk;
}

long VirtualDevice::setSampleRate(double sampleRate)
{
    if (canSampleRate(sampleRate) != DriverOk)
        return DriverNoClock;
    if (isRunning())
        return DriverInvalidMode;
    m_sampleRate = sampleRate;
    return DriverOk;
}

bool VirtualDevice::buffersCreated()
{
    const size_t frames = size_t(m_blockSize);
    m_outputInts.assign(frames * size_t(m_numOutputs), 0);
    m_outputShorts.assign(frames * size_t(m_numOutputs), 0);
    m_outputFloats.assign(frames * size_t(m_numOutputs), 0.0f);
    return true;
}

bool VirtualDevice::openFiles()
{
    if (!m_outputPath.empty() && m_numOutputs > 0)
    {
        SF_INFO info{};
        info.samplerate = static_cast<int>(m_sampleRate);
        info.channels = static_cast<int>(m_numOutputs);
        int subtype = SF_FORMAT_FLOAT;
        if (m_sampleType == SampleInt16LSB)
            subtype = SF_FORMAT_PCM_16;
        else if (m_sampleType == SampleInt24LSB)
            subtype = SF_FORMAT_PCM_24;
        else if (m_sampleType == SampleInt32LSB)
            subtype = SF_FORMAT_PCM_32;
        info.format = SF_FORMAT_WAV | subtype;
        m_outputFile = sf_open(m_outputPath.c_str(), SFM_WRITE, &info);
        if (m_outputFile == nullptr)
        {
            setErrorText("Cannot write " + m_outputPath);
            return false;
        }
    }
    if (!m_inputPath.empty())
    {
        SF_INFO info{};
        m_inputFile = sf_open(m_inputPath.c_str(), SFM_READ, &info);
        if (m_inputFile == nullptr)
        {
            setErrorText("Cannot read " + m_inputPath);
            closeFiles();
            return false;
        }
        m_inputFileChannels = info.channels;
        m_inputInts.assign(size_t(m_blockSize) * size_t(info.channels), 0);
        m_inputFloats.assign(size_t(m_blockSize) * size_t(info.channels), 0.0f);
    }
    return true;
}

void VirtualDevice::closeFiles()
{
    if (m_outputFile != nullptr)
        sf_close(m_outputFile);
    if (m_inputFile != nullptr)
        sf_close(m_inputFile);
    m_outputFile = m_inputFile = nullptr;
}

long VirtualDevice::start()
{
    if (isRunning())
        return DriverOk;
    if (m_callbacks == nullptr)
        return DriverInvalidMode;
    if (!openFiles())
        return DriverHardwareMalfunction;
    resetPosition();
    m_running.store(true);
    m_thread = std::thread([this] { run(); });
    return DriverOk;
}

long VirtualDevice::stop()
{
    if (!isRunning())
        return DriverOk;
    m_running.store(false);
    m_thread.join();
    closeFiles();
    return DriverOk;
}

// Device thread.
void VirtualDevice::run()
{
    platform::setCurrentThreadName("corvane-virtual");
    // A clocked device is an audio thread; the fast mode never waits, and at
    // real-time priority it would starve the rest of the machine.
    if (!m_fastMode)
        platform::setCurrentThreadPriority(platform::ThreadPriority::Highest);
    m_clock.start(m_sampleRate, m_blockSize);
    long index = 0;
    while (m_running.load(std::memory_order_acquire))
    {
        readInputs(index);
        runBlock(index);
        writeOutputs(index);
        index ^= 1;
        if (!m_fastMode)
            m_clock.waitForNextBlock();
    }
}

// Device thread: the input file's next block into the input halves, in the
// device's sample type; silence once the file has ended.
void VirtualDevice::readInputs(long index) noexcept
{
    const long frames = m_blockSize;
    sf_count_t framesRead = 0;
    if (m_inputFile != nullptr)
    {
        framesRead = m_sampleType == SampleFloat32LSB
                         ? sf_readf_float(m_inputFile, m_inputFloats.data(), frames)
                         : sf_readf_int(m_inputFile, m_inputInts.data(), frames);
    }
    for (long channel = 0; channel < m_numInputs; ++channel)
    {
        unsigned char* destination = inputBuffer(channel, index);
        if (destination == nullptr)
            continue;
        std::memset(destination, 0, bytesPerBlock());
        if (channel >= m_inputFileChannels)
            continue;
        const size_t stride = size_t(m_inputFileChannels);
        for (sf_count_t frame = 0; frame < framesRead; ++frame)
        {
            const size_t at = size_t(frame) * stride + size_t(channel);
            // libsndfile hands integers left-justified in 32 bits.
            const auto word = static_cast<uint32_t>(m_inputInts[at]);
            switch (m_sampleType)
            {
            case SampleInt16LSB:
            {
                const auto sample = static_cast<uint16_t>(word >> 16);
                std::memcpy(destination + 2 * frame, &sample, 2);
                break;
            }
            case SampleInt24LSB:
                destination[3 * frame] = static_cast<unsigned char>(word >> 8);
                destination[3 * frame + 1] = static_cast<unsigned char>(word >> 16);
                destination[3 * frame + 2] = static_cast<unsigned char>(word >> 24);
                break;
            case SampleInt32LSB:
                std::memcpy(destination + 4 * frame, &word, 4);
                break;
            default:
                std::memcpy(destination + 4 * frame, &m_inputFloats[at], 4);
                break;
            }
        }
    }
}

// Device thread: the output halves into the output file, as they stand.
void VirtualDevice::writeOutputs(long index) noexcept
{
    if (m_outputFile == nullptr)
        return;
    const long frames = m_blockSize;
    const size_t stride = size_t(m_numOutputs);
    for (long channel = 0; channel < m_numOutputs; ++channel)
    {
        const unsigned char* source = outputBuffer(channel, index);
        for (long frame = 0; frame < frames; ++frame)
        {
            const size_t at = size_t(frame) * stride + size_t(channel);
            switch (m_sampleType)
            {
            case SampleInt16LSB:
            {
                int16_t sample = 0;
                if (source != nullptr)
                    std::memcpy(&sample, source + 2 * frame, 2);
                m_outputShorts[at] = sample;
                break;
            }
            case SampleInt24LSB:
            {
                uint32_t word = 0;
                if (source != nullptr)
                    word = (uint32_t(source[3 * frame]) << 8) |
                           (uint32_t(source[3 * frame + 1]) << 16) |
                           (uint32_t(source[3 * frame + 2]) << 24);
                m_outputInts[at] = static_cast<int>(word);
                break;
            }
            case SampleInt32LSB:
            {
                int32_t sample = 0;
                if (source != nullptr)
                    std::memcpy(&sample, source + 4 * frame, 4);
                m_outputInts[at] = sample;
                break;
            }
            default:
            {
                float sample = 0.0f;
                if (source != nullptr)
                    std::memcpy(&sample, source + 4 * frame, 4);
                m_outputFloats[at] = sample;
                break;
            }
            }
        }
    }
    if (m_sampleType == SampleInt16LSB)
        sf_writef_short(m_outputFile, m_outputShorts.data(), frames);
    else if (m_sampleType == SampleFloat32LSB)
        sf_writef_float(m_outputFile, m_outputFloats.data(), frames);
    else
        sf_writef_int(m_outputFile, m_outputInts.data(), frames);
}

} // namespace audiodev
