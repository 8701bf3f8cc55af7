#include "JackDriver.h"

#include <algorithm>
#include <cstring>

namespace audiodev
{

namespace
{
// Two stereo pairs each way, the engine's inputs and outputs 1-4.
constexpr long kLeastChannels = 4;
// The host's channel tables hold this many.
constexpr long kMostChannels = 32;
constexpr const char* kClientName = "Corvane";
} // namespace

JackDriver::JackDriver() : DriverBase("JACK") {}

JackDriver::~JackDriver()
{
    stop();
    m_quitWatcher.store(true);
    m_watcherWake.set();
    if (m_watcher.joinable())
        m_watcher.join();
    std::lock_guard lock(m_clientMutex);
    detachCallbacks();
    // A dead server's client is abandoned (see watch()), and its callbacks'
    // context with it; a closed client calls nothing any more.
    if (m_client != nullptr && !m_serverGone.load())
    {
        jack_client_close(m_client);
        delete m_pContext;
    }
    m_pContext = nullptr;
    m_client = nullptr;
}

void JackDriver::waitForBlockEnd() const
{
    if (m_pContext == nullptr)
        return;
    while (m_pContext->inCallback.load() != 0)
        std::this_thread::yield();
}

void JackDriver::detachCallbacks()
{
    if (m_pContext == nullptr)
        return;
    m_pContext->driver.store(nullptr);
    waitForBlockEnd();
}

std::vector<std::string> JackDriver::physicalPorts(unsigned long portFlags)
{
    std::vector<std::string> names;
    const char** ports =
        jack_get_ports(m_client, nullptr, JACK_DEFAULT_AUDIO_TYPE, JackPortIsPhysical | portFlags);
    if (ports == nullptr)
        return names;
    for (const char** port = ports; *port != nullptr; ++port)
        names.emplace_back(*port);
    jack_free(ports);
    return names;
}

bool JackDriver::init(void*)
{
    if (m_client != nullptr)
        return true;
    // Never start a server: if none runs, the user picks another driver.
    jack_status_t status{};
    m_client = jack_client_open(kClientName, JackNoStartServer, &status);
    if (m_client == nullptr)
    {
        setErrorText("No JACK server is running");
        return false;
    }
    m_serverRate = jack_get_sample_rate(m_client);
    m_blockSize = static_cast<long>(jack_get_buffer_size(m_client));
    m_sampleType = SampleFloat32LSB;
    // Capture ports are outputs of the system client, playback ports inputs.
    m_numInputs = std::clamp(static_cast<long>(physicalPorts(JackPortIsOutput).size()),
                             kLeastChannels, kMostChannels);
    m_numOutputs = std::clamp(static_cast<long>(physicalPorts(JackPortIsInput).size()),
                              kLeastChannels, kMostChannels);
    for (long channel = 0; channel < m_numInputs; ++channel)
    {
        const std::string name = "in_" + std::to_string(channel + 1);
        m_inputPorts.push_back(jack_port_register(m_client, name.c_str(), JACK_DEFAULT_AUDIO_TYPE,
                                                  JackPortIsInput, 0));
    }
    for (long channel = 0; channel < m_numOutputs; ++channel)
    {
        const std::string name = "out_" + std::to_string(channel + 1);
        m_outputPorts.push_back(jack_port_register(m_client, name.c_str(), JACK_DEFAULT_AUDIO_TYPE,
                                                   JackPortIsOutput, 0));
    }
    if (std::count(m_inputPorts.begin(), m_inputPorts.end(), nullptr) > 0 ||
        std::count(m_outputPorts.begin(), m_outputPorts.end(), nullptr) > 0)
    {
        setErrorText("JACK refused Corvane's ports");
        jack_client_close(m_client);
        m_client = nullptr;
        return false;
    }
    // A client abandoned with a dead server keeps its old context, which
    // must no longer lead here.
    detachCallbacks();
    m_pContext = new CallbackContext{this};
    jack_set_process_callback(m_client, &JackDriver::processCallback, m_pContext);
    jack_set_buffer_size_callback(m_client, &JackDriver::bufferSizeCallback, m_pContext);
    jack_on_info_shutdown(m_client, &JackDriver::shutdownCallback, m_pContext);
    m_watcher = std::thread([this] { watch(); });
    return true;
}

long JackDriver::maximumLatency(unsigned long portFlags, jack_latency_callback_mode_t mode)
{
    jack_nframes_t latency = 0;
    for (const auto& name : physicalPorts(portFlags))
    {
        if (jack_port_t* port = jack_port_by_name(m_client, name.c_str()))
        {
            jack_latency_range_t range{};
            jack_port_get_latency_range(port, mode, &range);
            latency = std::max(latency, range.max);
        }
    }
    return static_cast<long>(latency);
}

long JackDriver::getLatencies(long* inputLatency, long* outputLatency)
{
    std::lock_guard lock(m_clientMutex);
    if (m_client == nullptr)
        return DriverNotPresent;
    // The system ports' ranges cover the hardware and the server's periods;
    // Corvane adds the block it is working on.
    *inputLatency = maximumLatency(JackPortIsOutput, JackCaptureLatency) + m_blockSize;
    *outputLatency = maximumLatency(JackPortIsInput, JackPlaybackLatency) + m_blockSize;
    return DriverOk;
}

long JackDriver::canSampleRate(double sampleRate)
{
    return m_client != nullptr && sampleRate == m_serverRate ? DriverOk : DriverNoClock;
}

long JackDriver::getSampleRate(double* sampleRate)
{
    if (m_client == nullptr)
        return DriverNotPresent;
    *sampleRate = m_serverRate;
    return DriverOk;
}

long JackDriver::setSampleRate(double sampleRate)
{
    return canSampleRate(sampleRate);
}

long JackDriver::start()
{
    std::lock_guard lock(m_clientMutex);
    if (m_active.load())
        return DriverOk;
    if (m_client == nullptr || m_serverGone.load())
        return DriverHardwareMalfunction;
    if (m_callbacks == nullptr)
        return DriverInvalidMode;
    resetPosition();
    m_halfIndex = 0;
    if (jack_activate(m_client) != 0)
        return DriverHardwareMalfunction;
    m_active.store(true);
    // Outputs the user has not routed go to the speakers, in order.
    const auto playback = physicalPorts(JackPortIsInput);
    for (size_t channel = 0; channel < m_outputPorts.size() && channel < playback.size(); ++channel)
    {
        if (jack_port_connected(m_outputPorts[channel]) == 0)
            jack_connect(m_client, jack_port_name(m_outputPorts[channel]),
                         playback[channel].c_str());
    }
    return DriverOk;
}

long JackDriver::stop()
{
    std::lock_guard lock(m_clientMutex);
    if (!m_active.load())
        return DriverOk;
    m_active.store(false);
    if (m_client != nullptr && !m_serverGone.load())
        jack_deactivate(m_client);
    // A dead server's process thread may still be inside a block; the host
    // frees the buffers after stop.
    waitForBlockEnd();
    return DriverOk;
}

// Runs a callback with the driver, unless it was detached. Counted in before
// the driver is read: detaching clears the driver first and then waits for
// the count to drop, so no callback uses a driver that is going away.
template <typename Call> int JackDriver::withDriver(void* context, Call call)
{
    auto* callbacks = static_cast<CallbackContext*>(context);
    callbacks->inCallback.fetch_add(1);
    int result = 0;
    if (JackDriver* driver = callbacks->driver.load())
        result = call(*driver);
    callbacks->inCallback.fetch_sub(1);
    return result;
}

int JackDriver::processCallback(jack_nframes_t frames, void* context)
{
    return withDriver(context, [frames](JackDriver& driver) { return driver.process(frames); });
}

// JACK's process thread.
int JackDriver::process(jack_nframes_t frames) noexcept
{
    const long blockFrames = static_cast<long>(frames);
    const bool usable = blockFrames == m_blockSize && m_active.load(std::memory_order_acquire);
    if (usable)
    {
        for (size_t channel = 0; channel < m_inputPorts.size(); ++channel)
        {
            if (unsigned char* half = inputBuffer(long(channel), m_halfIndex))
                std::memcpy(half, jack_port_get_buffer(m_inputPorts[channel], frames),
                            sizeof(float) * frames);
        }
        runBlock(m_halfIndex);
    }
    for (size_t channel = 0; channel < m_outputPorts.size(); ++channel)
    {
        auto* port = static_cast<float*>(jack_port_get_buffer(m_outputPorts[channel], frames));
        const unsigned char* half = usable ? outputBuffer(long(channel), m_halfIndex) : nullptr;
        if (half != nullptr)
            std::memcpy(port, half, sizeof(float) * frames);
        else
            std::fill_n(port, frames, 0.0f);
    }
    if (usable)
        m_halfIndex ^= 1;
    return 0;
}

// JACK's notification thread.
int JackDriver::bufferSizeCallback(jack_nframes_t frames, void* context)
{
    return withDriver(context,
                      [frames](JackDriver& driver)
                      {
                          if (static_cast<long>(frames) != driver.m_blockSize)
                          {
                              driver.m_blockSizeChanged.store(true);
                              driver.m_watcherWake.set();
                          }
                          return 0;
                      });
}

// A JACK thread, when the server goes away.
void JackDriver::shutdownCallback(jack_status_t, const char*, void* context)
{
    withDriver(context,
               [](JackDriver& driver)
               {
                   driver.m_serverGone.store(true);
                   driver.m_active.store(false);
                   driver.m_watcherWake.set();
                   return 0;
               });
}

// Watcher thread: lets go of the client of a dead server and asks the host
// to stop the stream (JACK forbids doing either from its own threads).
void JackDriver::watch()
{
    for (;;)
    {
        m_watcherWake.wait();
        if (m_quitWatcher.load())
            return;
        const DriverCallbacks* callbacks = nullptr;
        {
            std::lock_guard lock(m_clientMutex);
            // The client of a dead server is abandoned, not closed: libjack
            // can deadlock in jack_client_close once its server is gone,
            // which would freeze the power switch. It costs a few kilobytes.
            if (m_serverGone.load() && m_client != nullptr)
                m_client = nullptr;
            callbacks = m_callbacks;
        }
        if (callbacks != nullptr && callbacks->hostMessage != nullptr)
            callbacks->hostMessage(MessageResetRequest, 0, nullptr, nullptr);
    }
}

} // namespace audiodev
