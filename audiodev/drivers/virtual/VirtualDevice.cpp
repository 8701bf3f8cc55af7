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
    m_inputPointers.assign(size_t(m_numInputs), nullptr);
    m_outputPointers.assign(size_t(m_numOutputs), nullptr);
    return true;
}

long VirtualDevice::start()
{
    if (isRunning())
        return DriverOk;
    if (m_callbacks == nullptr)
        return DriverInvalidMode;
    if (!m_outputPath.empty() && m_numOutputs > 0 &&
        !m_outputFile.open(m_outputPath, m_sampleRate, m_numOutputs, m_sampleType, m_blockSize))
    {
        setErrorText("Cannot write " + m_outputPath);
        return DriverHardwareMalfunction;
    }
    m_hasInputFile = false;
    if (!m_inputPath.empty())
    {
        if (!m_inputFile.open(m_inputPath, m_numInputs, m_sampleType, m_blockSize))
        {
            setErrorText("Cannot read " + m_inputPath);
            m_outputFile.close();
            return DriverHardwareMalfunction;
        }
        m_hasInputFile = true;
    }
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
    m_inputFile.close();
    m_outputFile.close();
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
        for (long channel = 0; channel < m_numInputs; ++channel)
            m_inputPointers[size_t(channel)] = inputBuffer(channel, index);
        if (m_hasInputFile)
            m_inputFile.pop(m_inputPointers.data(), m_fastMode);
        else
            for (unsigned char* half : m_inputPointers)
                if (half != nullptr)
                    std::memset(half, 0, bytesPerBlock());

        runBlock(index);

        if (m_outputFile.isOpen())
        {
            for (long channel = 0; channel < m_numOutputs; ++channel)
                m_outputPointers[size_t(channel)] = outputBuffer(channel, index);
            m_outputFile.push(m_outputPointers.data(), m_fastMode);
        }
        index ^= 1;
        if (!m_fastMode)
            m_clock.waitForNextBlock();
    }
}

} // namespace audiodev
