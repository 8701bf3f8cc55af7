#pragma once

// The interface between Corvane's device host (CMASIO) and a driver module.
//
// A driver is a C++ object created by a module (.so) that the host finds in
// its driver folder. The operations keep the order and meaning of the
// published low-latency driver interface that sound cards provide: the host
// initialises the driver, asks for buffer sizes, channels and rate, hands it
// four callbacks while creating the double buffers, then starts it. For every
// block the driver fills the input half-buffer `index`, calls bufferSwitch
// (or bufferSwitchTimeInfo) and plays the output half-buffer `index` once the
// host has written it (the host calls outputReady when it has).
//
// Threads: every operation except outputReady and getSamplePosition runs on
// the host's control (GUI) thread. The callbacks run on the driver's own audio
// thread; they never allocate, lock or do I/O beyond the host's block lock.

#include <cstddef>
#include <cstdint>

namespace audiodev
{

// Results of driver operations. Ok and Success mean the driver did it;
// negative numbers are failures.
enum DriverError : long
{
    DriverOk = 0,
    // Answer of `future` for a query the driver supports.
    DriverSuccess = 0x3f4847a0,
    DriverNotPresent = -1000,
    DriverHardwareMalfunction = -999,
    DriverInvalidParameter = -998,
    DriverInvalidMode = -997,
    DriverNoClock = -995,
    DriverNoMemory = -994,
};

// Sample formats of a driver's channel buffers, by their fixed numbers.
// LSB is little-endian, MSB big-endian. The Int32xxxNN types hold NN valid
// bits aligned to the least significant bit of a 32-bit container.
enum SampleType : long
{
    SampleInt16MSB = 0,
    SampleInt24MSB = 1,
    SampleInt32MSB = 2,
    SampleFloat32MSB = 3,
    SampleFloat64MSB = 4,
    SampleInt32MSB16 = 8,
    SampleInt32MSB18 = 9,
    SampleInt32MSB20 = 10,
    SampleInt32MSB24 = 11,
    SampleInt16LSB = 16,
    SampleInt24LSB = 17,
    SampleInt32LSB = 18,
    SampleFloat32LSB = 19,
    SampleFloat64LSB = 20,
    SampleInt32LSB16 = 24,
    SampleInt32LSB18 = 25,
    SampleInt32LSB20 = 26,
    SampleInt32LSB24 = 27,
};

// Length of the fixed name fields (channel and clock names, driver name).
inline constexpr size_t kDriverNameLength = 32;
// Length of the driver's error text buffer.
inline constexpr size_t kDriverErrorLength = 124;

struct ClockSource
{
    long index = 0;
    long associatedChannel = -1;
    long associatedGroup = -1;
    bool isCurrentSource = false;
    char name[kDriverNameLength] = {};
};

struct ChannelInfo
{
    // In: which channel is asked for, and whether it is an input.
    long channel = 0;
    bool isInput = false;
    // Out: filled by the driver.
    bool isActive = false;
    long channelGroup = 0;
    SampleType type = SampleFloat32LSB;
    char name[kDriverNameLength] = {};
};

struct BufferInfo
{
    bool isInput = false;
    long channelNum = 0;
    // The two halves, filled in by createBuffers.
    void* buffers[2] = {nullptr, nullptr};
};

// Time of a block, handed to bufferSwitchTimeInfo.
struct TimeInfo
{
    enum Flags : unsigned long
    {
        SystemTimeValid = 1,
        SamplePositionValid = 2,
        SampleRateValid = 4,
    };
    double sampleRate = 0.0;
    int64_t samplePosition = 0;
    // Nanoseconds of the monotonic clock when the block's first sample was
    // captured (or is to be played).
    int64_t systemTime = 0;
    unsigned long flags = 0;
};

// Host message selectors (the `selector` of hostMessage).
enum HostMessage : long
{
    MessageSelectorSupported = 1,
    MessageEngineVersion = 2,
    MessageResetRequest = 3,
    MessageBufferSizeChange = 4,
    MessageResyncRequest = 5,
    MessageLatenciesChanged = 6,
    MessageSupportsTimeInfo = 7,
};

// The four host callbacks, handed to the driver with createBuffers.
struct DriverCallbacks
{
    // A block is ready in half `index`. processNow: the caller is a real-time
    // thread on which the host may process the block at once.
    void (*bufferSwitch)(long index, bool processNow);
    void (*sampleRateDidChange)(double sampleRate);
    // A reset request makes the host stop the driver, which may wait for the
    // driver's audio thread: send it from another thread.
    long (*hostMessage)(long selector, long value, void* message, double* opt);
    TimeInfo* (*bufferSwitchTimeInfo)(TimeInfo* timeInfo, long index, bool processNow);
};

// One sound device as the host sees it. Objects are created by the module's
// entry point and destroyed by the host with delete.
class AudioDriver
{
public:
    virtual ~AudioDriver() = default;

    virtual bool init(void* systemHandle) = 0;
    virtual void getDriverName(char* name) = 0; // kDriverNameLength bytes
    virtual long getDriverVersion() = 0;
    virtual void getErrorMessage(char* text) = 0; // kDriverErrorLength bytes
    virtual long start() = 0;
    virtual long stop() = 0;
    virtual long getChannels(long* numInputChannels, long* numOutputChannels) = 0;
    virtual long getLatencies(long* inputLatency, long* outputLatency) = 0;
    virtual long getBufferSize(long* minSize, long* maxSize, long* preferredSize,
                               long* granularity) = 0;
    virtual long canSampleRate(double sampleRate) = 0;
    virtual long getSampleRate(double* sampleRate) = 0;
    virtual long setSampleRate(double sampleRate) = 0;
    virtual long getClockSources(ClockSource* clocks, long* numSources) = 0;
    virtual long setClockSource(long reference) = 0;
    virtual long getSamplePosition(int64_t* samplePosition, int64_t* systemTime) = 0;
    virtual long getChannelInfo(ChannelInfo* info) = 0;
    virtual long createBuffers(BufferInfo* bufferInfos, long numChannels, long bufferSize,
                               const DriverCallbacks* callbacks) = 0;
    virtual long disposeBuffers() = 0;
    virtual long controlPanel() = 0;
    virtual long future(long selector, void* options) = 0;
    virtual long outputReady() = 0;
};

// What a driver module exports: one C function, named by kDriverEntryName,
// that returns this table. A module may offer several drivers (one per
// device); the host lists them by index and creates the one the user picks.
struct DriverModuleEntry
{
    // kDriverInterfaceVersion of the module's build; the host skips others.
    unsigned interfaceVersion;
    unsigned (*driverCount)();
    // Writes the name the driver is listed under (NUL-terminated, cut to
    // capacity); false past the last driver.
    bool (*driverName)(unsigned index, char* name, size_t capacity);
    AudioDriver* (*createDriver)(unsigned index);
};

inline constexpr unsigned kDriverInterfaceVersion = 1;
inline constexpr const char* kDriverEntryName = "corvaneAudioDriverEntry";
using DriverEntryFunction = const DriverModuleEntry* (*)();

} // namespace audiodev

// Every driver module defines this with C linkage.
#define CORVANE_DRIVER_ENTRY extern "C" __attribute__((visibility("default")))
