#pragma once

// The host's calls into the current driver: one wrapper per driver
// operation, returning the driver's result or DriverNotPresent (-1000) when
// no driver is attached. A driver whose init fails is detached, so every
// later call reports it is not there.
//
// Threads: control thread, except outputReady and getSamplePosition, which
// the audio thread calls while the driver is attached (attach and detach only
// happen while no block runs).

#include "audiodev/AudioDriver.h"

#include <atomic>

namespace audiodev
{

// What the host knows of the driver after init.
struct DriverInfo
{
    // Version of the host side of the interface.
    long hostVersion = 2;
    long driverVersion = 0;
    char name[kDriverNameLength] = {};
    char errorMessage[kDriverErrorLength] = {};
    // A window or other system object handed to the driver's init; unused.
    void* systemReference = nullptr;
};

class __attribute__((visibility("default"))) DriverCalls
{
public:
    void attach(AudioDriver* driver) { m_driver.store(driver, std::memory_order_release); }
    void detach() { m_driver.store(nullptr, std::memory_order_release); }
    AudioDriver* driver() const { return m_driver.load(std::memory_order_acquire); }

    // Initialises the driver and fills `info`. On failure the driver's own
    // error text goes into info->errorMessage and the driver is detached.
    long init(DriverInfo* info);
    long start();
    long stop();
    long getChannels(long* numInputChannels, long* numOutputChannels);
    long getLatencies(long* inputLatency, long* outputLatency);
    long getBufferSize(long* minSize, long* maxSize, long* preferredSize, long* granularity);
    long canSampleRate(double sampleRate);
    long getSampleRate(double* sampleRate);
    long setSampleRate(double sampleRate);
    long getClockSources(ClockSource* clocks, long* numSources);
    long setClockSource(long reference);
    long getSamplePosition(int64_t* samplePosition, int64_t* systemTime);
    long getChannelInfo(ChannelInfo* info);
    long createBuffers(BufferInfo* bufferInfos, long numChannels, long bufferSize,
                       const DriverCallbacks* callbacks);
    long disposeBuffers();
    long controlPanel();
    long future(long selector, void* options);
    long outputReady();

private:
    // Atomic because a driver thread may send a reset request while the
    // control thread detaches.
    std::atomic<AudioDriver*> m_driver{nullptr};
};

} // namespace audiodev
