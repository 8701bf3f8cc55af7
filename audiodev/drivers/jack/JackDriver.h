#pragma once

// The JACK driver: Corvane as a JACK client named "Corvane". Its ports are
// the device's channels (at least two stereo pairs each way, more when the
// system has more physical ports), samples are 32-bit float, and the rate and
// block size are the server's: a rate the server does not run at is refused.
// Blocks are processed at once on JACK's process thread. On start, outputs
// nobody connected are connected to the system playback ports.
//
// A server that goes away (or changes its block size) stops the stream: a
// watcher thread closes the client and asks the host for a reset; a later
// load opens a new client.
//
// Threads: control thread for the operations; JACK's process thread for
// blocks; JACK's notification thread for shutdown and buffer-size news; the
// watcher thread for acting on them.

#include "../common/DriverBase.h"
#include "platform/Event.h"

#include <jack/jack.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

namespace audiodev
{

class JackDriver : public DriverBase
{
public:
    JackDriver();
    ~JackDriver() override;

    bool init(void* systemHandle) override;
    long start() override;
    long stop() override;
    long getLatencies(long* inputLatency, long* outputLatency) override;
    long canSampleRate(double sampleRate) override;
    long getSampleRate(double* sampleRate) override;
    long setSampleRate(double sampleRate) override;

protected:
    bool isRunning() const override { return m_active.load(); }

private:
    // What JACK's callbacks are registered with. The driver's destructor
    // clears `driver` and waits until no process call is inside a block; a
    // client that is abandoned (dead server) keeps its callbacks, so the
    // context is leaked with it and a late callback finds no driver.
    struct CallbackContext
    {
        std::atomic<JackDriver*> driver;
        std::atomic<int> inCallback{0};
    };

    // Control thread: no callback is inside the driver once this returns
    // (with the stream stopped or the driver detached, none enters again).
    void waitForBlockEnd() const;
    // Control thread: JACK's callbacks no longer reach this driver.
    void detachCallbacks();
    template <typename Call> static int withDriver(void* context, Call call);

    static int processCallback(jack_nframes_t frames, void* self);
    static int bufferSizeCallback(jack_nframes_t frames, void* self);
    static void shutdownCallback(jack_status_t code, const char* reason, void* self);
    int process(jack_nframes_t frames) noexcept;
    void watch();
    long maximumLatency(unsigned long portFlags, jack_latency_callback_mode_t mode);
    std::vector<std::string> physicalPorts(unsigned long portFlags);

    // Guards the client's life between the control and watcher threads.
    std::mutex m_clientMutex;
    jack_client_t* m_client = nullptr;
    double m_serverRate = 0.0;
    std::vector<jack_port_t*> m_inputPorts;
    std::vector<jack_port_t*> m_outputPorts;
    std::atomic<bool> m_active{false};
    long m_halfIndex = 0;

    platform::Event m_watcherWake;
    std::atomic<bool> m_serverGone{false};
    std::atomic<bool> m_blockSizeChanged{false};
    std::atomic<bool> m_quitWatcher{false};
    std::thread m_watcher;
    CallbackContext* m_pContext = nullptr;
};

} // namespace audiodev
