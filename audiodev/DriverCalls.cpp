#include "audiodev/DriverCalls.h"

#include <cstring>

namespace audiodev
{

namespace
{
// The text the info record holds once a driver initialised without fault.
constexpr const char* kNoErrorText = "No ASIO Driver Error";
} // namespace

long DriverCalls::init(DriverInfo* info)
{
    AudioDriver* const current = driver();
    if (current == nullptr)
        return DriverNotPresent;
    if (!current->init(info->systemReference))
    {
        char text[kDriverErrorLength] = {};
        current->getErrorMessage(text);
        text[kDriverErrorLength - 1] = '\0';
        std::memcpy(info->errorMessage, text, kDriverErrorLength);
        detach();
        return DriverNotPresent;
    }
    info->driverVersion = current->getDriverVersion();
    char name[kDriverNameLength] = {};
    current->getDriverName(name);
    name[kDriverNameLength - 1] = '\0';
    std::memcpy(info->name, name, kDriverNameLength);
    std::strncpy(info->errorMessage, kNoErrorText, kDriverErrorLength - 1);
    info->errorMessage[kDriverErrorLength - 1] = '\0';
    return DriverOk;
}

long DriverCalls::start()
{
    return driver() != nullptr ? driver()->start() : DriverNotPresent;
}

long DriverCalls::stop()
{
    return driver() != nullptr ? driver()->stop() : DriverNotPresent;
}

long DriverCalls::getChannels(long* numInputChannels, long* numOutputChannels)
{
    AudioDriver* const current = driver();
    if (current == nullptr)
    {
        *numInputChannels = *numOutputChannels = 0;
        return DriverNotPresent;
    }
    return current->getChannels(numInputChannels, numOutputChannels);
}

long DriverCalls::getLatencies(long* inputLatency, long* outputLatency)
{
    AudioDriver* const current = driver();
    if (current == nullptr)
    {
        *inputLatency = *outputLatency = 0;
        return DriverNotPresent;
    }
    return current->getLatencies(inputLatency, outputLatency);
}

long DriverCalls::getBufferSize(long* minSize, long* maxSize, long* preferredSize,
                                long* granularity)
{
    AudioDriver* const current = driver();
    if (current == nullptr)
    {
        *minSize = *maxSize = *preferredSize = *granularity = 0;
        return DriverNotPresent;
    }
    return current->getBufferSize(minSize, maxSize, preferredSize, granularity);
}

long DriverCalls::canSampleRate(double sampleRate)
{
    return driver() != nullptr ? driver()->canSampleRate(sampleRate) : DriverNotPresent;
}

long DriverCalls::getSampleRate(double* sampleRate)
{
    return driver() != nullptr ? driver()->getSampleRate(sampleRate) : DriverNotPresent;
}

long DriverCalls::setSampleRate(double sampleRate)
{
    return driver() != nullptr ? driver()->setSampleRate(sampleRate) : DriverNotPresent;
}

long DriverCalls::getClockSources(ClockSource* clocks, long* numSources)
{
    AudioDriver* const current = driver();
    if (current == nullptr)
    {
        *numSources = 0;
        return DriverNotPresent;
    }
    return current->getClockSources(clocks, numSources);
}

long DriverCalls::setClockSource(long reference)
{
    return driver() != nullptr ? driver()->setClockSource(reference) : DriverNotPresent;
}

long DriverCalls::getSamplePosition(int64_t* samplePosition, int64_t* systemTime)
{
    return driver() != nullptr ? driver()->getSamplePosition(samplePosition, systemTime)
                               : DriverNotPresent;
}

long DriverCalls::getChannelInfo(ChannelInfo* info)
{
    return driver() != nullptr ? driver()->getChannelInfo(info) : DriverNotPresent;
}

long DriverCalls::createBuffers(BufferInfo* bufferInfos, long numChannels, long bufferSize,
                                const DriverCallbacks* callbacks)
{
    return driver() != nullptr
               ? driver()->createBuffers(bufferInfos, numChannels, bufferSize, callbacks)
               : DriverNotPresent;
}

long DriverCalls::disposeBuffers()
{
    return driver() != nullptr ? driver()->disposeBuffers() : DriverNotPresent;
}

long DriverCalls::controlPanel()
{
    return driver() != nullptr ? driver()->controlPanel() : DriverNotPresent;
}

long DriverCalls::future(long selector, void* options)
{
    return driver() != nullptr ? driver()->future(selector, options) : DriverNotPresent;
}

long DriverCalls::outputReady()
{
    return driver() != nullptr ? driver()->outputReady() : DriverNotPresent;
}

} // namespace audiodev
