// A playlist through the JACK driver in real time: the MP3 player on mixer
// channel 3, the amplifier on JACK (the test server runs the dummy backend at
// 48000 Hz), Corvane's first output captured by a second JACK client. The
// capture holds the first entry, across a seam between halves, then the next
// entry of the list, each at its pitch and level.

#include "MP3ChainFixtures.h"
#include "MP3TestFixtures.h"
#include "engine/AmpRack.h"
#include "players/MP3Rack.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <jack/jack.h>

#include <atomic>
#include <memory>

namespace
{

int argumentCount = 1;
char argumentZero[] = "mp3-jack-test";
char* arguments[] = {argumentZero, nullptr};

// The fixture's server runs at this rate.
constexpr double kServerRate = 48000.0;
constexpr int kRate48000Index = 1;
// Entry 1 (3.5 s) plays across the seam between the store's first and second
// half (2.6 s); the rest of its second half is silence (to 5.2 s); then the
// 1.5 s of entry 2 follow after the load. 7.5 s hold both.
constexpr double kFirstSeconds = 3.5;
constexpr double kSecondSeconds = 1.5;
constexpr size_t kCaptureFrames = static_cast<size_t>(7.5 * kServerRate);
constexpr int kCaptureWaitMs = 60000;
constexpr double kDecodedAmplitude = 0.5 * mp3test::lameLevelFactor;
constexpr float kSoundThreshold = 0.05f;
constexpr size_t kMinimumSilence = 480;
constexpr size_t kEdge = 2400;

// A second JACK client recording one input port from its first non-zero
// sample into a buffer sized up front; its process callback only copies.
class CaptureClient
{
public:
    explicit CaptureClient(size_t frames) : m_samples(frames)
    {
        jack_status_t status{};
        m_client = jack_client_open("corvane-mp3-capture", JackNoStartServer, &status);
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
    bool connectFromPortMatching(const char* pattern)
    {
        const char** ports = jack_get_ports(m_client, pattern, JACK_DEFAULT_AUDIO_TYPE, 0);
        const bool found = ports != nullptr && ports[0] != nullptr;
        const bool connected =
            found && jack_connect(m_client, ports[0], jack_port_name(m_port)) == 0;
        if (ports != nullptr)
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

class MP3RackJackTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        if (!QApplication::instance())
            new QApplication(argumentCount, arguments);
    }

    void SetUp() override
    {
        ASSERT_TRUE(m_config.isValid());
        qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
    }

    std::string encodeTone(const std::string& name, double seconds, double frequency)
    {
        mp3test::EncodeOptions options;
        const auto encoded =
            mp3test::encodeMp3(mp3test::makeStereoTone(44100, static_cast<size_t>(44100 * seconds),
                                                       frequency, frequency, 0.5),
                               options);
        const std::string path = m_files.path(name);
        mp3test::writeFile(path, encoded.bytes);
        return path;
    }

    QTemporaryDir m_config;
    mp3test::TemporaryFolder m_files;
};

TEST_F(MP3RackJackTest, PlaylistPlaysThroughJackAtItsPitch)
{
    CMP3Rack player;
    player.CreateControls();
    const QStringList files{
        QString::fromStdString(encodeTone("first.mp3", kFirstSeconds, 440.0)),
        QString::fromStdString(encodeTone("second.mp3", kSecondSeconds, 880.0))};
    player.setFileChooser([files](QWidget*, const QString&, const QString&) { return files; });
    QTest::mouseClick(&player.openButton(), Qt::LeftButton);
    mp3test::MixerChain chain(player);
    CAmpRack amp;
    amp.CreateControls();
    amp.SetChain(&chain, nullptr);

    CMCombo& devices = amp.deviceSelector();
    for (int item = 0; item < devices.getcount(); ++item)
        if (devices.itemText(item) == "JACK")
            devices.setitemindex(item);
    ASSERT_EQ(devices.itemText(devices.getitemindex()), "JACK");
    amp.rateSelector().setitemindex(kRate48000Index);
    amp.powerSwitch().SetStatus(true);
    amp.PowerOn();
    ASSERT_TRUE(amp.powerSwitch().getStatus()) << amp.device().getErrorMessage();
    EXPECT_EQ(player.GetSampleRate(), static_cast<float>(kServerRate));

    CaptureClient capture(kCaptureFrames);
    ASSERT_TRUE(capture.ok());
    ASSERT_TRUE(capture.connectFromPortMatching("^Corvane[^:]*:out_1$"));

    // "All", then Play: the whole list in order.
    realtime_trap::resetCounts();
    player.playlistSelector().setitemindex(0);
    QTest::mouseClick(&player.playButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return capture.full(); }, kCaptureWaitMs));
    amp.powerSwitch().SetStatus(false);
    amp.PowerOff();
    EXPECT_EQ(realtime_trap::allocations(), 0u);
    EXPECT_EQ(realtime_trap::blockingLocks(), 0u);
    EXPECT_EQ(player.engine().lateRefillCount(), 0u);

    const std::vector<float>& samples = capture.samples();
    const auto stretches =
        mp3test::findSoundingStretches(samples, kSoundThreshold, kMinimumSilence);
    ASSERT_GE(stretches.size(), 2u);
    const double amplitude = kDecodedAmplitude * chain.unityPathGain();
    const double frequencies[] = {440.0, 880.0};
    const double seconds[] = {kFirstSeconds, kSecondSeconds};
    for (size_t entry = 0; entry < 2; ++entry)
    {
        SCOPED_TRACE(testing::Message() << "entry " << entry + 1);
        const mp3test::SoundingStretch tone = stretches[entry];
        EXPECT_NEAR(static_cast<double>(tone.length()), seconds[entry] * kServerRate, 100.0);
        const size_t count = tone.length() - 2 * kEdge;
        const float* from = samples.data() + tone.begin + kEdge;
        EXPECT_NEAR(mp3test::measureFrequency(from, count, 1, kServerRate), frequencies[entry],
                    0.05);
        EXPECT_NEAR(mp3test::measureSineAmplitude(from, count, 1), amplitude, 0.01);
        // No gap or jump, across the seam between halves too.
        EXPECT_LT(
            mp3test::largestSinePredictionError(from, count, 1, frequencies[entry], kServerRate),
            0.01);
    }
}

} // namespace
