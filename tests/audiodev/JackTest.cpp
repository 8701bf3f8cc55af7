// The JACK driver against real JACK servers on the dummy backend: a 1 kHz
// tone from the user callback captured by a second client and measured; the
// server's rate and block size; outputs routed to the system playback ports;
// no server; and a server that goes away and comes back.

#include "audiodev/MASIO.h"
#include "support/RealtimeTrap.h"

#include <gtest/gtest.h>
#include <jack/jack.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace
{

constexpr double kPi = 3.14159265358979323846;
constexpr double kToneHz = 1000.0;
constexpr float kToneAmplitude = 0.5f;
// The fixture's server runs at this rate and block size.
constexpr double kServerRate = 48000.0;
constexpr long kServerBlock = 256;

struct ToneState
{
    std::atomic<long> blocks{0};
    double phase = 0.0;
    double rate = kServerRate;
};

long toneCallback(float**, float** out, long, long numOut, long frames, long,
                  unsigned long userData)
{
    auto* state = reinterpret_cast<ToneState*>(userData);
    const double step = 2.0 * kPi * kToneHz / state->rate;
    for (long frame = 0; frame < frames; ++frame)
    {
        const float sample = kToneAmplitude * float(std::sin(state->phase));
        state->phase = std::fmod(state->phase + step, 2.0 * kPi);
        for (long channel = 0; channel < numOut; ++channel)
            out[channel][frame] = channel < 2 ? sample : 0.0f;
    }
    state->blocks.fetch_add(1);
    return 0;
}

int jackIndex(CMASIO& host)
{
    for (unsigned index = 0; index < host.getDriverNum(); ++index)
        if (std::string(host.getDriverName(index)) == "JACK")
            return int(index);
    return -1;
}

bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition())
    {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// A second JACK client that records one input port into a buffer sized up
// front; the process callback only copies.
class CaptureClient
{
public:
    explicit CaptureClient(size_t frames) : m_samples(frames)
    {
        jack_status_t status{};
        m_client = jack_client_open("corvane-capture", JackNoStartServer, &status);
        if (m_client == nullptr)
            return;
        m_port = jack_port_register(m_client, "in", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
        jack_set_process_callback(m_client, &CaptureClient::process, this);
        jack_activate(m_client);
    }
    ~CaptureClient()
    {
        if (m_client != nullptr)
            jack_client_close(m_client);
    }
    bool ok() const { return m_client != nullptr && m_port != nullptr; }
    bool connectFrom(const std::string& source)
    {
        return jack_connect(m_client, source.c_str(), jack_port_name(m_port)) == 0;
    }
    jack_client_t* client() const { return m_client; }
    size_t captured() const { return m_written.load(); }
    const std::vector<float>& samples() const { return m_samples; }

private:
    static int process(jack_nframes_t frames, void* self)
    {
        auto* capture = static_cast<CaptureClient*>(self);
        const auto* input =
            static_cast<const float*>(jack_port_get_buffer(capture->m_port, frames));
        size_t written = capture->m_written.load(std::memory_order_relaxed);
        for (jack_nframes_t frame = 0; frame < frames && written < capture->m_samples.size();
             ++frame)
        {
            // Start at the first sound, so the tone fills the buffer.
            if (written == 0 && input[frame] == 0.0f)
                continue;
            capture->m_samples[written++] = input[frame];
        }
        capture->m_written.store(written, std::memory_order_release);
        return 0;
    }

    jack_client_t* m_client = nullptr;
    jack_port_t* m_port = nullptr;
    std::vector<float> m_samples;
    std::atomic<size_t> m_written{0};
};

std::string portOf(jack_client_t* client, const char* pattern)
{
    const char** ports = jack_get_ports(client, pattern, JACK_DEFAULT_AUDIO_TYPE, 0);
    std::string name = ports != nullptr && ports[0] != nullptr ? ports[0] : "";
    if (ports != nullptr)
        jack_free(ports);
    return name;
}

// A JACK server of our own (dummy backend), for the tests that stop it.
class OwnServer
{
public:
    explicit OwnServer(std::string name) : m_name(std::move(name)) {}
    ~OwnServer() { stop(); }

    bool start()
    {
        m_pid = fork();
        if (m_pid == 0)
        {
            setsid();
            execlp("jackd", "jackd", "-n", m_name.c_str(), "-d", "dummy", "-r", "48000", "-p",
                   "256", static_cast<char*>(nullptr));
            _exit(127);
        }
        return waitFor(
            [this]
            {
                jack_status_t status{};
                jack_client_t* probe = jack_client_open(
                    "corvane-probe", jack_options_t(JackNoStartServer | JackServerName), &status,
                    m_name.c_str());
                if (probe == nullptr)
                    return false;
                jack_client_close(probe);
                return true;
            },
            std::chrono::seconds(10));
    }
    void stop()
    {
        if (m_pid <= 0)
            return;
        kill(m_pid, SIGTERM);
        int status = 0;
        waitpid(m_pid, &status, 0);
        m_pid = -1;
    }

private:
    std::string m_name;
    pid_t m_pid = -1;
};

} // namespace

TEST(JackDriver, PlaysAToneAnotherClientHears)
{
    ToneState state;
    CMASIO host;
    const int index = jackIndex(host);
    ASSERT_GE(index, 0);
    ASSERT_EQ(
        host.loaddriver(unsigned(index), &toneCallback, reinterpret_cast<unsigned long>(&state)), 1)
        << host.getErrorMessage();
    // The server's rate and block size; other rates are refused.
    EXPECT_EQ(host.getSampleRate(), float(kServerRate));
    EXPECT_EQ(host.getPreferBuffersize(), kServerBlock);
    EXPECT_TRUE(host.setSampleRate(float(kServerRate)));
    EXPECT_FALSE(host.setSampleRate(44100.0f));
    EXPECT_EQ(host.getSampleRate(), float(kServerRate));
    EXPECT_GE(host.getOutputChannels(), 4);
    EXPECT_GE(host.getInputChannels(), 4);
    EXPECT_EQ(host.getSampleType(false, 0), audiodev::SampleFloat32LSB);
    // At least the block Corvane works on, plus what the ports report.
    EXPECT_GE(host.getOutputLatency(), kServerBlock);
    EXPECT_GE(host.getInputLatency(), kServerBlock);

    constexpr size_t kCaptureFrames = 48000;
    CaptureClient capture(kCaptureFrames);
    ASSERT_TRUE(capture.ok());
    ASSERT_TRUE(host.startaudio());
    const std::string corvaneOut = portOf(capture.client(), "^Corvane[^:]*:out_1$");
    ASSERT_FALSE(corvaneOut.empty());
    ASSERT_TRUE(capture.connectFrom(corvaneOut));
    // Unrouted outputs went to the system playback ports.
    jack_port_t* out1 = jack_port_by_name(capture.client(), corvaneOut.c_str());
    ASSERT_NE(out1, nullptr);
    EXPECT_TRUE(jack_port_connected_to(out1, "system:playback_1"));

    ASSERT_TRUE(
        waitFor([&] { return capture.captured() >= kCaptureFrames; }, std::chrono::seconds(20)));
    ASSERT_TRUE(host.stopaudio());
    EXPECT_TRUE(host.unloaddriver());

    // Level: the RMS of a sine of amplitude A is A / sqrt(2).
    const auto& samples = capture.samples();
    double sumSquares = 0.0;
    for (float sample : samples)
        sumSquares += double(sample) * sample;
    const double rms = std::sqrt(sumSquares / double(samples.size()));
    EXPECT_NEAR(rms, kToneAmplitude / std::sqrt(2.0), 0.002);

    // Frequency: rising zero crossings, interpolated, over the whole capture.
    std::vector<double> crossings;
    for (size_t i = 1; i < samples.size(); ++i)
        if (samples[i - 1] < 0.0f && samples[i] >= 0.0f)
            crossings.push_back(double(i - 1) + samples[i - 1] / (samples[i - 1] - samples[i]));
    ASSERT_GE(crossings.size(), 100u);
    const double period = (crossings.back() - crossings.front()) / double(crossings.size() - 1);
    EXPECT_NEAR(kServerRate / period, kToneHz, 0.5);
}

TEST(JackDriver, WithoutAServerTheLoadFailsAndSaysWhy)
{
    const char* previous = std::getenv("JACK_DEFAULT_SERVER");
    const std::string saved = previous != nullptr ? previous : "";
    setenv("JACK_DEFAULT_SERVER", "corvane-nobody-runs-this", 1);
    {
        CMASIO host;
        EXPECT_EQ(host.loaddriver(unsigned(jackIndex(host)), &toneCallback, 0), 0);
        EXPECT_STREQ(host.getErrorMessage(), "No JACK server is running");
        EXPECT_FALSE(host.startaudio());
        host.unloaddriver();
    }
    setenv("JACK_DEFAULT_SERVER", saved.c_str(), 1);
}

TEST(JackDriver, AServerThatGoesAwayStopsTheStreamAndALaterPowerOnStartsAgain)
{
    const char* previous = std::getenv("JACK_DEFAULT_SERVER");
    const std::string saved = previous != nullptr ? previous : "";
    const std::string serverName = "corvanegone" + std::to_string(getpid());
    setenv("JACK_DEFAULT_SERVER", serverName.c_str(), 1);
    {
        OwnServer server(serverName);
        ASSERT_TRUE(server.start());
        ToneState state;
        CMASIO host;
        const unsigned index = unsigned(jackIndex(host));
        ASSERT_EQ(host.loaddriver(index, &toneCallback, reinterpret_cast<unsigned long>(&state)),
                  1);
        ASSERT_TRUE(host.startaudio());
        ASSERT_TRUE(waitFor([&] { return state.blocks.load() > 10; }, std::chrono::seconds(10)));

        server.stop();
        // Blocks stop; nothing crashes; power-off works.
        const long afterStop = state.blocks.load();
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        EXPECT_LE(state.blocks.load(), afterStop + 1);
        host.stopaudio();
        host.unloaddriver();

        // The server is back: a new power-on streams again.
        ASSERT_TRUE(server.start());
        ASSERT_EQ(host.loaddriver(index, &toneCallback, reinterpret_cast<unsigned long>(&state)), 1)
            << host.getErrorMessage();
        const long before = state.blocks.load();
        ASSERT_TRUE(host.startaudio());
        EXPECT_TRUE(
            waitFor([&] { return state.blocks.load() > before + 10; }, std::chrono::seconds(10)));
        EXPECT_TRUE(host.stopaudio());
        EXPECT_TRUE(host.unloaddriver());
    }
    setenv("JACK_DEFAULT_SERVER", saved.c_str(), 1);
}

TEST(JackDriver, ABlockSizeChangeStopsTheStreamUntilTheNextPowerOn)
{
    const char* previous = std::getenv("JACK_DEFAULT_SERVER");
    const std::string saved = previous != nullptr ? previous : "";
    const std::string serverName = "corvaneresize" + std::to_string(getpid());
    setenv("JACK_DEFAULT_SERVER", serverName.c_str(), 1);
    {
        OwnServer server(serverName);
        ASSERT_TRUE(server.start());
        ToneState state;
        CMASIO host;
        const unsigned index = unsigned(jackIndex(host));
        ASSERT_EQ(host.loaddriver(index, &toneCallback, reinterpret_cast<unsigned long>(&state)),
                  1);
        ASSERT_TRUE(host.startaudio());
        ASSERT_TRUE(waitFor([&] { return state.blocks.load() > 10; }, std::chrono::seconds(10)));

        // Another client doubles the server's block size: Corvane's buffers
        // no longer fit, so the stream stops rather than play garbage.
        jack_status_t status{};
        jack_client_t* other = jack_client_open("corvane-resizer", JackNoStartServer, &status);
        ASSERT_NE(other, nullptr);
        ASSERT_EQ(jack_set_buffer_size(other, 2 * kServerBlock), 0);
        jack_client_close(other);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        const long stalled = state.blocks.load();
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        EXPECT_EQ(state.blocks.load(), stalled);

        // Power off and on: the new block size is used.
        host.stopaudio();
        host.unloaddriver();
        ASSERT_EQ(host.loaddriver(index, &toneCallback, reinterpret_cast<unsigned long>(&state)),
                  1);
        EXPECT_EQ(host.getPreferBuffersize(), 2 * kServerBlock);
        ASSERT_TRUE(host.startaudio());
        EXPECT_TRUE(
            waitFor([&] { return state.blocks.load() > stalled + 10; }, std::chrono::seconds(10)));
        EXPECT_TRUE(host.stopaudio());
        EXPECT_TRUE(host.unloaddriver());
    }
    setenv("JACK_DEFAULT_SERVER", saved.c_str(), 1);
}

namespace
{
// Arms the JACK process thread from its first block on, so the trap sees
// every later cycle: JACK's own wait between cycles, the driver's copies,
// the host's conversions and the user callback.
long armingCallback(float** in, float** out, long numIn, long numOut, long frames, long position,
                    unsigned long userData)
{
    realtime_trap::armCurrentThread();
    return toneCallback(in, out, numIn, numOut, frames, position, userData);
}
} // namespace

TEST(JackDriver, ProcessCycleNeitherAllocatesNorTakesOtherLocks)
{
    ToneState state;
    CMASIO host;
    ASSERT_EQ(host.loaddriver(unsigned(jackIndex(host)), &armingCallback,
                              reinterpret_cast<unsigned long>(&state)),
              1);
    ASSERT_TRUE(host.startaudio());
    ASSERT_TRUE(waitFor([&] { return state.blocks.load() >= 2; }, std::chrono::seconds(10)));
    realtime_trap::resetCounts();
    const long first = state.blocks.load();
    ASSERT_TRUE(
        waitFor([&] { return state.blocks.load() >= first + 100; }, std::chrono::seconds(20)));
    ASSERT_TRUE(host.stopaudio());
    const long blocks = state.blocks.load() - first;
    EXPECT_EQ(realtime_trap::allocations(), 0u);
    EXPECT_EQ(realtime_trap::deallocations(), 0u);
    // The per-block lock, once per block (give or take the block running
    // while the counts were reset or read).
    EXPECT_GE(realtime_trap::blockingLocks(), size_t(blocks - 1));
    EXPECT_LE(realtime_trap::blockingLocks(), size_t(blocks + 1));
    EXPECT_TRUE(host.unloaddriver());
}
