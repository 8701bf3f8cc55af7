#pragma once

// CMASIO: the host for one audio device driver at a time. It lists the
// drivers found in Corvane's driver folder, loads one, negotiates buffer
// size, channels and rate, and for every block converts the driver's native
// samples into non-interleaved 32-bit floats, calls the user's block callback
// and converts the result back.
//
// One instance per process: the driver's callbacks reach it through a
// process-wide pointer that the constructor sets.
//
// Threads: the control (GUI) thread calls every public operation. Blocks run
// on the driver's audio thread, or on CMASIO's own worker thread (highest
// priority) when the driver defers them; the user callback runs there, under
// the per-block lock. The block path never allocates, does I/O or takes any
// lock but the per-block one.

#include "audiodev/AudioDriver.h"
#include "audiodev/DriverCalls.h"
#include "platform/WakeSignal.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

namespace audiodev
{
class DriverList;
}

// The user's block callback: input buffers, output buffers, input and output
// channel counts, frames per channel, sample position and the user data given
// to loaddriver. Runs on the audio thread; its result is ignored.
typedef long (*MASIOCallback)(float** in, float** out, long numIn, long numOut, long frames,
                              long samplePosition, unsigned long userData);

class __attribute__((visibility("default"))) CMASIO
{
public:
    // Size of the per-channel tables (inputs, outputs) and of the driver
    // list; channels and drivers beyond it are ignored.
    static constexpr long kMaxChannels = 32;
    static constexpr unsigned kMaxDrivers = 32;
    static constexpr size_t kDriverNameBufferSize = 255;

    // Lists the drivers; no driver is loaded yet.
    CMASIO();
    // Stops and unloads the driver and releases every driver object.
    virtual ~CMASIO();
    CMASIO(const CMASIO&) = delete;
    CMASIO& operator=(const CMASIO&) = delete;

    // Number of listed drivers (at most 32).
    unsigned getDriverNum();
    // Listed name (cut to 28 characters and "..." when 32 or longer);
    // "No ASIO Drivers" for an index at or beyond the count.
    const char* getDriverName(unsigned index);
    // Loads driver `index`, creates its buffers and the worker; 1 on
    // success, 0 on failure (the caller then unloads).
    int loaddriver(unsigned index, MASIOCallback callback, unsigned long userData);
    // Loads driver `index` just to read its buffer sizes, channel counts and
    // latencies into the getters, then unloads it.
    void getInfo(unsigned index);
    // Starts streaming; false if the driver refuses.
    bool startaudio();
    // Stops streaming; false if the driver refuses.
    bool stopaudio();
    // Stops if needed, ends the worker, disposes the driver's buffers and
    // frees the float buffers; true if the driver disposed its buffers.
    bool unloaddriver();
    // Sets the rate if the driver can run at it, then reads it back; false
    // when the driver cannot.
    bool setSampleRate(float sampleRate);
    // The rate last read back from the driver.
    float getSampleRate();
    // Channel counts (at most 32 each).
    long getInputChannels();
    long getOutputChannels();
    // Latencies in sample frames.
    long getInputLatency();
    long getOutputLatency();
    // Buffer sizes in frames; the preferred size is the block size.
    long getMinBuffersize();
    long getMaxBuffersize();
    long getPreferBuffersize();
    // Asks the driver to show its control panel.
    void showControlPannel();

    // Sample type of a loaded channel (SampleType number), -1 if there is no
    // such channel. For the device check tool and support.
    long getSampleType(bool isInput, long channel);
    // "No ASIO Driver" before any init, "No ASIO Driver Error" after a
    // successful one, the driver's own text after a failed one.
    const char* getErrorMessage();

private:
    // The four callbacks handed to the driver. Driver's audio thread (the
    // message callback: any driver thread).
    static void bufferSwitch(long index, bool processNow);
    static audiodev::TimeInfo* bufferSwitchTimeInfo(audiodev::TimeInfo* timeInfo, long index,
                                                    bool processNow);
    static void sampleRateChanged(double sampleRate);
    static long asioMessages(long selector, long value, void* message, double* opt);

    // Audio thread (driver's or worker).
    void BufferProc(long index);
    static void ConvertInBuffer(const void* source, float* destination, long frames,
                                long sampleType);
    static void ConvertOutBuffer(const float* source, void* destination, long frames,
                                 long sampleType);
    void workerLoop();

    // Control thread.
    void listdrivers();
    bool loadDriverObject(unsigned index);
    void stopWorker();
    void freeFloatBuffers();

    std::unique_ptr<audiodev::DriverList> m_driverList;
    audiodev::DriverCalls m_driverCalls;
    audiodev::DriverCallbacks m_callbacks{};
    audiodev::DriverInfo m_driverInfo;
    audiodev::ChannelInfo m_channelInfos[2 * kMaxChannels];
    audiodev::BufferInfo m_bufferInfos[2 * kMaxChannels];
    unsigned m_nDrivers = 0;
    char* m_pDriverNames[kMaxDrivers] = {};
    std::atomic<bool> m_bStarted{false};
    std::mutex m_blockLock;
    long m_nMinSize = 0;
    long m_nMaxSize = 0;
    long m_nPreferredSize = 0;
    long m_nGranularity = 0;
    long m_nInputChannels = 0;
    long m_nOutputChannels = 0;
    long m_nInputLatency = 0;
    long m_nOutputLatency = 0;
    double m_fSampleRate = 0.0;
    float* m_pInputBuffers[kMaxChannels] = {};
    float* m_pOutputBuffers[kMaxChannels] = {};
    long m_nSamplePosition = 0;
    MASIOCallback m_pCallback = nullptr;
    unsigned long m_nUserData = 0;
    // Whether buffers were created (dispose only what exists).
    bool m_bBuffersCreated = false;

    // Deferred buffer switches: the driver's thread stores the half index and
    // wakes the worker, which runs the block.
    platform::WakeSignal m_workerWake;
    std::thread m_workerThread;
    std::atomic<bool> m_bWorkerStop{false};
    std::atomic<long> m_nPendingIndex{0};
};
