#include "DriverBase.h"

#include "audiodev/SampleConverter.h"

#include <cstring>
#include <ctime>

namespace audiodev
{

namespace
{
int64_t monotonicNanoseconds() noexcept
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t(now.tv_sec) * 1000000000 + now.tv_nsec;
}

void copyText(char* destination, const std::string& text, size_t capacity)
{
    std::memset(destination, 0, capacity);
    std::memcpy(destination, text.data(), std::min(text.size(), capacity - 1));
}
} // namespace

DriverBase::DriverBase(std::string name) : m_name(std::move(name)) {}

void DriverBase::getDriverName(char* name)
{
    copyText(name, m_name, kDriverNameLength);
}

void DriverBase::getErrorMessage(char* text)
{
    copyText(text, m_errorText, kDriverErrorLength);
}

void DriverBase::setErrorText(const std::string& text)
{
    m_errorText = text;
}

long DriverBase::getChannels(long* numInputChannels, long* numOutputChannels)
{
    *numInputChannels = m_numInputs;
    *numOutputChannels = m_numOutputs;
    return DriverOk;
}

long DriverBase::getBufferSize(long* minSize, long* maxSize, long* preferredSize, long* granularity)
{
    // The block size is fixed by the device (or its configuration).
    *minSize = *maxSize = *preferredSize = m_blockSize;
    *granularity = 0;
    return DriverOk;
}

long DriverBase::getClockSources(ClockSource* clocks, long* numSources)
{
    if (clocks == nullptr || numSources == nullptr || *numSources < 1)
        return DriverInvalidParameter;
    clocks[0] = ClockSource{};
    clocks[0].isCurrentSource = true;
    std::strncpy(clocks[0].name, "Internal", kDriverNameLength - 1);
    *numSources = 1;
    return DriverOk;
}

long DriverBase::setClockSource(long reference)
{
    return reference == 0 ? DriverOk : DriverInvalidParameter;
}

long DriverBase::getSamplePosition(int64_t* samplePosition, int64_t* systemTime)
{
    *samplePosition = m_samplePosition.load(std::memory_order_acquire);
    *systemTime = m_systemTime.load(std::memory_order_acquire);
    return DriverOk;
}

long DriverBase::getChannelInfo(ChannelInfo* info)
{
    const long count = info->isInput ? m_numInputs : m_numOutputs;
    if (info->channel < 0 || info->channel >= count)
        return DriverInvalidParameter;
    info->type = m_sampleType;
    info->channelGroup = 0;
    const auto& halves = info->isInput ? m_inputHalves : m_outputHalves;
    info->isActive = !halves.empty() && halves[size_t(info->channel) * 2] != nullptr;
    const std::string name =
        std::string(info->isInput ? "in " : "out ") + std::to_string(info->channel + 1);
    copyText(info->name, name, kDriverNameLength);
    return DriverOk;
}

long DriverBase::createBuffers(BufferInfo* bufferInfos, long numChannels, long bufferSize,
                               const DriverCallbacks* callbacks)
{
    if (isRunning() || !m_storage.empty())
        return DriverInvalidMode;
    if (bufferInfos == nullptr || callbacks == nullptr || bufferSize != m_blockSize ||
        numChannels < 0)
        return DriverInvalidParameter;
    for (long slot = 0; slot < numChannels; ++slot)
    {
        const BufferInfo& info = bufferInfos[slot];
        if (info.channelNum < 0 || info.channelNum >= (info.isInput ? m_numInputs : m_numOutputs))
            return DriverInvalidParameter;
    }
    const size_t halfBytes = bytesPerBlock();
    m_storage.assign(size_t(numChannels) * 2 * halfBytes, 0);
    m_inputHalves.assign(size_t(m_numInputs) * 2, nullptr);
    m_outputHalves.assign(size_t(m_numOutputs) * 2, nullptr);
    for (long slot = 0; slot < numChannels; ++slot)
    {
        BufferInfo& info = bufferInfos[slot];
        auto& halves = info.isInput ? m_inputHalves : m_outputHalves;
        for (size_t half = 0; half < 2; ++half)
        {
            unsigned char* memory = m_storage.data() + (size_t(slot) * 2 + half) * halfBytes;
            info.buffers[half] = memory;
            halves[size_t(info.channelNum) * 2 + half] = memory;
        }
    }
    m_callbacks = callbacks;
    if (!buffersCreated())
    {
        disposeBuffers();
        return DriverNoMemory;
    }
    return DriverOk;
}

long DriverBase::disposeBuffers()
{
    if (m_storage.empty())
        return DriverInvalidMode;
    if (isRunning())
        stop();
    m_storage.clear();
    m_storage.shrink_to_fit();
    m_inputHalves.clear();
    m_outputHalves.clear();
    m_callbacks = nullptr;
    return DriverOk;
}

long DriverBase::future(long, void*)
{
    return DriverInvalidParameter;
}

void DriverBase::runBlock(long index) noexcept
{
    m_systemTime.store(monotonicNanoseconds(), std::memory_order_release);
    if (const DriverCallbacks* callbacks = m_callbacks.load(std::memory_order_acquire))
        callbacks->bufferSwitch(index, true);
    m_samplePosition.fetch_add(m_blockSize, std::memory_order_acq_rel);
}

unsigned char* DriverBase::inputBuffer(long channel, long index) const noexcept
{
    const size_t slot = size_t(channel) * 2 + size_t(index);
    return slot < m_inputHalves.size() ? m_inputHalves[slot] : nullptr;
}

unsigned char* DriverBase::outputBuffer(long channel, long index) const noexcept
{
    const size_t slot = size_t(channel) * 2 + size_t(index);
    return slot < m_outputHalves.size() ? m_outputHalves[slot] : nullptr;
}

size_t DriverBase::bytesPerBlock() const noexcept
{
    return SampleConverter::bytesPerSample(m_sampleType) * size_t(m_blockSize);
}

void DriverBase::resetPosition() noexcept
{
    m_samplePosition.store(0, std::memory_order_release);
    m_systemTime.store(0, std::memory_order_release);
}

} // namespace audiodev
