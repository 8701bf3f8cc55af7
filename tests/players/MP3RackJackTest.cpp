// A playlist through the JACK driver in real time (the test server's dummy
// backend at 48000 Hz), output 1 captured by a second JACK client.

#include "MP3ChainFixtures.h"

#include <jack/jack.h>

#include <atomic>

namespace
{

// Entry 1 (3.5 s) plays across the seam between the store's first and second
// half (2.6 s) and ends at its last frame; the 1.5 s of entry 2 follow as soon
// as it is loaded. Each starts with 100 ms of silence, which parts them in the
// capture. 6.5 s hold both with room for the load.
constexpr double kFirstSeconds = 3.5;
constexpr double kSecondSeconds = 1.5;
constexpr double kLeadIn = 0.1;
constexpr size_t kCaptureFrames = 6 * 48000 + 24000;

// A second JACK client recording one input port from its first non-zero
// sample into a buffer sized up front; its process callback only copies.
class CaptureClient
{
public:
    explicit CaptureClient(size_t frames) : m_samples(frames)
    {
        m_client = jack_client_open("corvane-mp3-capture", JackNoStartServer, nullptr);
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
    bool connectFromPortMatching(const char* pattern)
    {
        if (m_port == nullptr)
            return false;
        const char** ports = jack_get_ports(m_client, pattern, JACK_DEFAULT_AUDIO_TYPE, 0);
        const bool connected = ports != nullptr && ports[0] != nullptr &&
                               jack_connect(m_client, ports[0], jack_port_name(m_port)) == 0;
        jack_free(ports);
        return connected;
    }
    bool full() const { return m_written.load() >= m_samples.size(); }
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

using MP3RackJackTest = mp3test::PanelTest;

TEST_F(MP3RackJackTest, PlaylistPlaysThroughJackAtItsPitch)
{
    CMP3Rack player;
    player.CreateControls();
    openFiles(player, {encodeFile("first.mp3", kFirstSeconds, 440.0, 440.0, {}, kLeadIn),
                       encodeFile("second.mp3", kSecondSeconds, 880.0, 880.0, {}, kLeadIn)});
    mp3test::MixerChain chain(player, false);
    CAmpRack amp;
    ASSERT_TRUE(chain.powerOn(amp, "JACK")) << amp.device().getErrorMessage();
    CaptureClient capture(kCaptureFrames);
    ASSERT_TRUE(capture.connectFromPortMatching("^Corvane[^:]*:out_1$"));

    realtime_trap::resetCounts();
    player.playlistSelector().setitemindex(0); // "All": the whole list in order
    QTest::mouseClick(&player.playButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return capture.full(); }, 60000));
    amp.powerSwitch().SetStatus(false);
    amp.PowerOff();
    EXPECT_EQ(realtime_trap::allocations() + realtime_trap::blockingLocks(), 0u);
    EXPECT_EQ(player.engine().lateRefillCount(), 0u);
    mp3test::expectTracks(capture.samples(), {{440.0, kFirstSeconds}, {880.0, kSecondSeconds}},
                          chain.outputLevel(), true);
}

} // namespace
