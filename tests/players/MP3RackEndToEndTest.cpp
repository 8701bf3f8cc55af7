// MP3 playback end to end: the player's panel on mixer channel 3, the mixer
// at the root of the amplifier's chain, the amplifier's device the Virtual
// Device at 48000 Hz writing its outputs to a WAV file. The recording is
// measured: pitch and level of both sides from the first half to the last, no
// seam between halves, and in play-all mode the next entry following and the
// list wrapping to the first.

#include "MP3ChainFixtures.h"
#include "MP3TestFixtures.h"
#include "engine/AmpRack.h"
#include "players/MP3Rack.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <sndfile.h>

#include <atomic>
#include <memory>

namespace
{

int argumentCount = 1;
char argumentZero[] = "mp3-end-to-end-test";
char* arguments[] = {argumentZero, nullptr};

constexpr double kDeviceRate = 48000.0;
constexpr int kRate48000Index = 1;
// Bounds for waits on the GUI thread; the paced device gets through a track
// in well under a second.
constexpr int kWaitMs = 60000;
// A tone's level after LAME: 0.95 of the 0.5 encoded.
constexpr double kDecodedAmplitude = 0.5 * mp3test::lameLevelFactor;
// Where the tone sounds: above this level, with silences of at least 10 ms
// between stretches (a 440 Hz sine is below it for well under 1 ms).
constexpr float kSoundThreshold = 0.05f;
constexpr size_t kMinimumSilence = 480;
// Measurements skip the first and last 50 ms of a stretch, where the codec's
// edges are.
constexpr size_t kEdge = 2400;

struct Recording
{
    std::vector<float> left;
    std::vector<float> right;
};

Recording readOutputPairOne(const std::string& path)
{
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    Recording recording;
    if (file == nullptr || info.channels < 2)
        return recording;
    std::vector<float> interleaved(static_cast<size_t>(info.frames * info.channels));
    sf_readf_float(file, interleaved.data(), info.frames);
    sf_close(file);
    for (sf_count_t frame = 0; frame < info.frames; ++frame)
    {
        recording.left.push_back(interleaved[static_cast<size_t>(frame * info.channels)]);
        recording.right.push_back(interleaved[static_cast<size_t>(frame * info.channels + 1)]);
    }
    return recording;
}

class MP3RackEndToEndTest : public ::testing::Test
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
        m_wavPath = m_files.path("device-output.wav");
        setenv("CORVANE_VIRTUAL_FAST", "1", 1);
        setenv("CORVANE_VIRTUAL_BLOCK_SIZE", "256", 1);
        setenv("CORVANE_VIRTUAL_OUTPUT_FILE", m_wavPath.c_str(), 1);
        unsetenv("CORVANE_VIRTUAL_OUTPUTS");

        m_player = std::make_unique<CMP3Rack>();
        m_player->CreateControls();
        m_chain = std::make_unique<mp3test::MixerChain>(*m_player);
        m_chain->m_bPaceToWorkers = true;
        m_amp = std::make_unique<CAmpRack>();
        m_amp->CreateControls();
        m_amp->SetChain(m_chain.get(), nullptr);
    }

    void TearDown() override
    {
        m_amp.reset();
        unsetenv("CORVANE_VIRTUAL_OUTPUT_FILE");
    }

    std::string encodeTone(const std::string& name, int rate, double seconds, double leftHz,
                           double rightHz)
    {
        mp3test::EncodeOptions options;
        options.sampleRate = rate;
        const auto encoded =
            mp3test::encodeMp3(mp3test::makeStereoTone(rate, static_cast<size_t>(rate * seconds),
                                                       leftHz, rightHz, 0.5),
                               options);
        const std::string path = m_files.path(name);
        mp3test::writeFile(path, encoded.bytes);
        return path;
    }

    void openFiles(const std::vector<std::string>& paths)
    {
        QStringList chosen;
        for (const std::string& path : paths)
            chosen << QString::fromStdString(path);
        m_player->setFileChooser([chosen](QWidget*, const QString&, const QString&)
                                 { return chosen; });
        QTest::mouseClick(&m_player->openButton(), Qt::LeftButton);
        m_player->engine().waitUntilIdle();
        QCoreApplication::processEvents();
    }

    bool powerOnVirtualDevice()
    {
        CMCombo& devices = m_amp->deviceSelector();
        for (int item = 0; item < devices.getcount(); ++item)
            if (devices.itemText(item) == "Virtual Device")
                devices.setitemindex(item);
        m_amp->rateSelector().setitemindex(kRate48000Index);
        m_amp->powerSwitch().SetStatus(true);
        m_amp->PowerOn();
        return m_amp->powerSwitch().getStatus();
    }

    // Powers off (the WAV file is complete afterwards) and reads it.
    Recording powerOffAndRead()
    {
        m_amp->powerSwitch().SetStatus(false);
        m_amp->PowerOff();
        return readOutputPairOne(m_wavPath);
    }

    void expectTone(const std::vector<float>& samples, size_t from, size_t to, double frequency,
                    double amplitude)
    {
        SCOPED_TRACE(testing::Message() << "samples " << from << " to " << to);
        ASSERT_LT(from, to);
        const size_t count = to - from;
        EXPECT_NEAR(mp3test::measureFrequency(samples.data() + from, count, 1, kDeviceRate),
                    frequency, 0.05);
        EXPECT_NEAR(mp3test::measureSineAmplitude(samples.data() + from, count, 1), amplitude,
                    0.01);
        // A gap, a repeat or a dropped stretch breaks the sine's recurrence by
        // a sizeable fraction of its amplitude; coding noise stays far below.
        EXPECT_LT(mp3test::largestSinePredictionError(samples.data() + from, count, 1, frequency,
                                                      kDeviceRate),
                  0.01);
    }

    QTemporaryDir m_config;
    mp3test::TemporaryFolder m_files;
    std::string m_wavPath;
    std::unique_ptr<CMP3Rack> m_player;
    std::unique_ptr<mp3test::MixerChain> m_chain;
    std::unique_ptr<CAmpRack> m_amp;
};

TEST_F(MP3RackEndToEndTest, ConvertedTrackKeepsPitchAndLevelFromTheFirstHalfToTheLast)
{
    // Seven seconds at 44100 Hz span three halves of the store at 48000 Hz.
    openFiles({encodeTone("tone.mp3", 44100, 7.0, 440.0, 660.0)});
    EXPECT_TRUE(m_player->m_bRouted) << "channel 3 selects the MP3 player";
    ASSERT_TRUE(powerOnVirtualDevice());
    EXPECT_EQ(m_player->GetSampleRate(), 48000.0f);
    EXPECT_TRUE(m_player->m_bRunning);

    realtime_trap::resetCounts();
    QTest::mouseClick(&m_player->playButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_player->playingLamp().getlightened(); }, kWaitMs));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !m_player->playingLamp().getlightened(); }, kWaitMs))
        << "the track ends by itself";
    const Recording recording = powerOffAndRead();
    EXPECT_EQ(realtime_trap::allocations(), 0u);
    EXPECT_EQ(realtime_trap::blockingLocks(), 0u);
    EXPECT_EQ(m_player->engine().lateRefillCount(), 0u);

    const double amplitude = kDecodedAmplitude * m_chain->unityPathGain();
    for (const auto& [side, frequency] :
         {std::pair{&recording.left, 440.0}, std::pair{&recording.right, 660.0}})
    {
        SCOPED_TRACE(testing::Message() << frequency << " Hz side");
        const auto stretches =
            mp3test::findSoundingStretches(*side, kSoundThreshold, kMinimumSilence);
        ASSERT_EQ(stretches.size(), 1u);
        const mp3test::SoundingStretch tone = stretches.front();
        // Seven seconds, neither cut nor stretched: within the decoder's
        // 64-frame tolerance at the file rate, scaled to the device's.
        EXPECT_NEAR(static_cast<double>(tone.length()), 7.0 * kDeviceRate, 100.0);
        // The first half, the whole track across both seams, the last half.
        expectTone(*side, tone.begin + kEdge, tone.begin + 2 * static_cast<size_t>(kDeviceRate),
                   frequency, amplitude);
        expectTone(*side, tone.begin + kEdge, tone.end - kEdge, frequency, amplitude);
        expectTone(*side, tone.end - 2 * static_cast<size_t>(kDeviceRate), tone.end - kEdge,
                   frequency, amplitude);
    }
}

TEST_F(MP3RackEndToEndTest, PlayAllFollowsWithTheNextEntryAndWrapsToTheFirst)
{
    openFiles({encodeTone("first.mp3", 44100, 1.5, 440.0, 440.0),
               encodeTone("second.mp3", 44100, 1.5, 880.0, 880.0)});
    // Once the list has wrapped to entry 1, that entry sounds for 100
    // blocks and is then stopped as a remote Stop would (from another thread).
    MP3PlayerEngine& engine = m_player->engine();
    bool reachedSecond = false;
    long blocksSinceWrap = -1;
    std::atomic<bool> stopped{false};
    m_chain->m_afterBlock = [&]
    {
        if (stopped.load())
            return;
        if (engine.currentIndex() == 2)
            reachedSecond = true;
        if (reachedSecond && engine.currentIndex() == 1 && engine.playingLampLit())
            ++blocksSinceWrap;
        if (blocksSinceWrap == 100)
        {
            m_player->Stop();
            stopped.store(true);
        }
    };
    ASSERT_TRUE(powerOnVirtualDevice());
    // "All", then Play: entry 1, then 2, then 1 again.
    m_player->playlistSelector().setitemindex(0);
    QTest::mouseClick(&m_player->playButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return stopped.load(); }, kWaitMs))
        << "after the last entry the list wraps";
    const Recording recording = powerOffAndRead();
    m_chain->m_afterBlock = nullptr;
    QCoreApplication::processEvents();
    EXPECT_TRUE(m_player->playAllSwitch().getStatus());
    EXPECT_EQ(m_player->playlistSelector().getitemindex(), 1);
    EXPECT_EQ(engine.lateRefillCount(), 0u);

    const double amplitude = kDecodedAmplitude * m_chain->unityPathGain();
    const auto stretches =
        mp3test::findSoundingStretches(recording.left, kSoundThreshold, kMinimumSilence);
    ASSERT_EQ(stretches.size(), 3u);
    const double expectedFrequencies[] = {440.0, 880.0, 440.0};
    for (size_t track = 0; track < stretches.size(); ++track)
    {
        SCOPED_TRACE(testing::Message() << "track " << track + 1);
        const mp3test::SoundingStretch tone = stretches[track];
        if (track < 2)
        {
            EXPECT_NEAR(static_cast<double>(tone.length()), 1.5 * kDeviceRate, 100.0);
        }
        expectTone(recording.left, tone.begin + kEdge, tone.end - kEdge, expectedFrequencies[track],
                   amplitude);
    }
}

} // namespace
