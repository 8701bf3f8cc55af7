// The JACK driver against real JACK servers (dummy backend): a 1 kHz tone
// captured by a second client and measured, the process cycle under the
// real-time trap, the server's rate, block size and routing; on a server of
// its own, a block size change, the server going away and coming back.

#include "HostHelpers.h"
#include "support/Tones.h"

#include <gtest/gtest.h>
#include <jack/jack.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <vector>

namespace
{

// Both servers run at this rate and (at first) block size; the tone's
// frequency and its level on the first output.
constexpr double kServerRate = 48000.0;
constexpr long kServerBlock = 256;
constexpr double kToneHz = 1000.0;
constexpr double kToneAmplitude = 0.5;

// What a second JACK client records from one input port: from the first
// sound on, into a buffer sized up front; its process callback only copies.
struct Capture
{
    jack_port_t* port = nullptr;
    std::vector<float> samples = std::vector<float>(48000);
    std::atomic<size_t> written{0};
};

int captureProcess(jack_nframes_t frames, void* self)
{
    auto* capture = static_cast<Capture*>(self);
    const auto* input = static_cast<const float*>(jack_port_get_buffer(capture->port, frames));
    size_t written = capture->written.load(std::memory_order_relaxed);
    for (jack_nframes_t frame = 0; frame < frames && written < capture->samples.size(); ++frame)
        if (written > 0 || input[frame] != 0.0f)
            capture->samples[written++] = input[frame];
    capture->written.store(written, std::memory_order_release);
    return 0;
}

// A JACK server of the test's own (dummy backend), the default server while
// the object lives.
class OwnServer
{
public:
    OwnServer()
    {
        const char* previous = std::getenv("JACK_DEFAULT_SERVER");
        m_previous = previous != nullptr ? previous : "";
        setenv("JACK_DEFAULT_SERVER", m_name.c_str(), 1);
    }
    ~OwnServer()
    {
        stop();
        setenv("JACK_DEFAULT_SERVER", m_previous.c_str(), 1);
    }
    bool start()
    {
        if ((m_pid = fork()) == 0)
        {
            setsid();
            execlp("jackd", "jackd", "-n", m_name.c_str(), "-d", "dummy", "-r", "48000", "-p",
                   "256", static_cast<char*>(nullptr));
            _exit(127);
        }
        jack_status_t status{};
        return waitFor(
            [&]
            {
                jack_client_t* probe =
                    jack_client_open("corvane-probe", JackNoStartServer, &status);
                return probe != nullptr && jack_client_close(probe) == 0;
            });
    }
    void stop()
    {
        if (m_pid > 0 && kill(m_pid, SIGTERM) == 0)
        {
            // A server that does not finish its shutdown within a few
            // seconds is killed, so the test never waits on it for ever.
            const bool ended =
                waitFor([&] { return waitpid(m_pid, nullptr, WNOHANG) == m_pid; }, 5.0);
            if (!ended)
            {
                kill(m_pid, SIGKILL);
                waitpid(m_pid, nullptr, 0);
            }
        }
        m_pid = -1;
    }

private:
    const std::string m_name = "corvaneown" + std::to_string(getpid());
    std::string m_previous;
    pid_t m_pid = -1;
};

} // namespace

TEST(JackDriver, PlaysAToneAnotherClientHearsWithoutAllocatingOrLocking)
{
    ToneState state;
    state.armTrap = true;
    CMASIO host;
    ASSERT_EQ(loadByName(host, "JACK", &toneCallback, &state), 1) << host.getErrorMessage();
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

    // The capture client is closed (and its thread gone) before `capture` is.
    Capture capture;
    jack_status_t status{};
    const std::unique_ptr<jack_client_t, int (*)(jack_client_t*)> owner(
        jack_client_open("corvane-capture", JackNoStartServer, &status), &jack_client_close);
    jack_client_t* client = owner.get();
    ASSERT_NE(client, nullptr);
    capture.port = jack_port_register(client, "in", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    jack_set_process_callback(client, &captureProcess, &capture);
    ASSERT_EQ(jack_activate(client), 0);
    ASSERT_TRUE(host.startaudio());
    const char** ports = jack_get_ports(client, "^Corvane[^:]*:out_1$", JACK_DEFAULT_AUDIO_TYPE, 0);
    ASSERT_TRUE(ports != nullptr && ports[0] != nullptr);
    EXPECT_EQ(jack_connect(client, ports[0], jack_port_name(capture.port)), 0);
    // Unrouted outputs went to the system playback ports.
    EXPECT_TRUE(jack_port_connected_to(jack_port_by_name(client, ports[0]), "system:playback_1"));
    jack_free(ports);

    // Once the graph is settled, each process cycle (JACK's wait between
    // cycles, the driver's copies, the host's conversions, the callback)
    // neither allocates nor takes a lock.
    ASSERT_TRUE(waitFor([&] { return capture.written.load() > 0; }));
    realtime_trap::resetCounts();
    const long first = state.blocks.load();
    ASSERT_TRUE(waitFor([&] { return capture.written.load() == capture.samples.size(); }, 20.0));
    const long blocks = state.blocks.load() - first;
    const size_t locks = realtime_trap::blockingLocks();
    EXPECT_EQ(realtime_trap::allocations() + realtime_trap::deallocations(), 0u);
    EXPECT_GE(blocks, 100);
    EXPECT_EQ(locks, 0u);
    ASSERT_TRUE(host.stopaudio());
    EXPECT_TRUE(host.unloaddriver());

    // The whole capture is one steady sine: its frequency (within 0.5 Hz),
    // its level (within 0.003) and no gap or jump.
    EXPECT_EQ(testkit::toneFaults(capture.samples.data(), capture.samples.size(), 1, kServerRate,
                                  kToneHz, kToneAmplitude, 0.5, 0.003),
              "");
}

TEST(JackDriver, BlockSizeChangeServerGoneAndBackOnAServerOfItsOwn)
{
    OwnServer server;
    ASSERT_TRUE(server.start());
    ToneState state;
    CMASIO host;
    // Loads, starts, and blocks stream.
    const auto powerOn = [&]
    {
        const long before = state.blocks.load();
        return loadByName(host, "JACK", &toneCallback, &state) == 1 && host.startaudio() &&
               waitFor([&] { return state.blocks.load() > before + 10; });
    };
    // Once settled, no blocks run (give or take one in flight).
    const auto stalls = [&]
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        const long before = state.blocks.load();
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        return state.blocks.load() <= before + 1;
    };
    ASSERT_TRUE(powerOn());

    // Another client doubles the server's block size: Corvane's buffers no
    // longer fit, so the stream stops rather than play garbage, until the
    // next power-on, which uses the new size.
    jack_status_t status{};
    jack_client_t* other = jack_client_open("corvane-resizer", JackNoStartServer, &status);
    ASSERT_NE(other, nullptr);
    ASSERT_EQ(jack_set_buffer_size(other, 2 * kServerBlock), 0);
    jack_client_close(other);
    EXPECT_TRUE(stalls());
    ASSERT_TRUE(powerOn());
    EXPECT_EQ(host.getPreferBuffersize(), 2 * kServerBlock);

    // The server goes away: blocks stop, nothing crashes, power-off works;
    // a load then fails and says why (and starts no server).
    server.stop();
    EXPECT_TRUE(stalls());
    host.stopaudio();
    host.unloaddriver();
    EXPECT_EQ(loadByName(host, "JACK", &toneCallback, &state), 0);
    EXPECT_STREQ(host.getErrorMessage(), "No JACK server is running");
    EXPECT_FALSE(host.startaudio());

    // The server is back: a new power-on streams again.
    ASSERT_TRUE(server.start());
    ASSERT_TRUE(powerOn()) << host.getErrorMessage();
    EXPECT_TRUE(host.stopaudio());
    EXPECT_TRUE(host.unloaddriver());
}
