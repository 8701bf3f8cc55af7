// The CD player's engine on generated BIN/CUE images, driven block by block
// as the mixer would with the real-time trap armed around every block: every
// track bit-exact to its last frame, conversion lengths, pitch and seams,
// read failures, the transport's thread rules and the time it shows.

#include "players/CDPlayerEngine.h"
#include "support/CDImages.h"
#include "support/RealtimeTrap.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{

constexpr size_t kBlock = 512;
constexpr double kLevel = 0.5 * 32767.0 / 32768.0;

struct Played
{
    std::vector<float> left, right;
    size_t frames() const { return left.size(); }
    // The frames up to the last one that is not silence.
    size_t soundingFrames() const
    {
        size_t end = left.size();
        while (end > 0 && left[end - 1] == 0.0f && right[end - 1] == 0.0f)
            --end;
        return end;
    }
};

class CDPlayerEngineTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        image = testkit::writeStandardCdImage(folder);
        useImage(image.cuePath);
        realtime_trap::resetCounts();
    }
    void useImage(const std::string& path)
    {
        environment.reset();
        environment = std::make_unique<testkit::ScopedEnvironment>(CD_DEVICE_VARIABLE, path);
    }
    // Every block of every test: no allocation, free or lock on the audio thread.
    void TearDown() override
    {
        EXPECT_EQ(realtime_trap::allocations() + realtime_trap::deallocations() +
                      realtime_trap::blockingLocks(),
                  0u);
    }

    CDPlayerEngine& start(double rate, int track, int pitch = CDPlayerEngine::kNormalPitch,
                          bool pitchOn = false)
    {
        engine = std::make_unique<CDPlayerEngine>(unit);
        engine->prepare(rate);
        unit.m_bRunning = unit.m_bRouted = true;
        engine->selectTrack(track);
        engine->setPitch(pitch);
        engine->setPitchOn(pitchOn);
        engine->play();
        engine->waitUntilIdle();
        return *engine;
    }

    // Blocks until the player stops (and one block more) or `frames` have
    // played; the worker finishes after each block, as a real device's
    // 0.7 s per half would let it.
    Played render(size_t frames = 20 * 96000)
    {
        Played played;
        std::vector<float> left(kBlock), right(kBlock);
        float* outputs[2] = {left.data(), right.data()};
        bool stopped = false;
        while (played.frames() < frames && !stopped)
        {
            stopped = engine->transportState() == CDTransportState::Stopped;
            {
                const realtime_trap::ScopedArm audioThread;
                engine->process(nullptr, outputs, 0, 2, static_cast<long>(kBlock));
            }
            played.left.insert(played.left.end(), left.begin(), left.end());
            played.right.insert(played.right.end(), right.begin(), right.end());
            engine->waitUntilIdle();
        }
        return played;
    }

    // What a track's frames [from, to) play as, unconverted.
    void expectDiscSamples(const Played& played, int track, size_t from, size_t to,
                           size_t discFrom = 0)
    {
        const int16_t* disc = image.trackSamples(track);
        for (size_t frame = from; frame < to; ++frame)
        {
            const size_t index = (discFrom + frame - from) * 2;
            ASSERT_EQ(played.left[frame], disc[index] / 32768.0f) << "frame " << frame;
            ASSERT_EQ(played.right[frame], disc[index + 1] / 32768.0f) << "frame " << frame;
        }
    }

    testkit::TemporaryFolder folder;
    testkit::CdImage image;
    std::unique_ptr<testkit::ScopedEnvironment> environment;
    testkit::StubRackUnit unit;
    std::unique_ptr<CDPlayerEngine> engine;
};

TEST_F(CDPlayerEngineTest, EveryTrackPlaysBitExactToItsLastFrameThenStops)
{
    // 55 blocks: a chunk and one block; 163: three chunks and a short one;
    // 108: two whole chunks; 1: a single block. Each ends in silence and
    // Stopped, never with a restart or an older chunk's tail.
    for (int track = 1; track <= 4; ++track)
    {
        SCOPED_TRACE(testing::Message() << "track " << track);
        start(44100.0, track);
        ASSERT_EQ(engine->transportState(), CDTransportState::Playing);
        EXPECT_EQ(engine->currentTrack(), track);
        const Played played = render();
        const size_t frames = static_cast<size_t>(image.blockCounts[track - 1]) * 588;
        EXPECT_EQ(engine->transportState(), CDTransportState::Stopped);
        EXPECT_EQ(played.soundingFrames(), frames);
        expectDiscSamples(played, track, 0, frames);
        EXPECT_EQ(engine->lateHalfCount(), 0u);
    }
    // The marker frame: byte order and sides as stored.
    start(44100.0, 2);
    const Played played = render(kBlock);
    EXPECT_EQ(played.left[0] * 32768.0f, testkit::kMarkerLeft);
    EXPECT_EQ(played.right[0] * 32768.0f, testkit::kMarkerRight);
}

TEST_F(CDPlayerEngineTest, ConvertedChunksKeepLengthPitchAndSeams)
{
    struct Case
    {
        double rate;
        int pitch;
        bool pitchOn;
    };
    // The speed factor is 2 - p/100: pitch 150 plays twice as fast, 50 at two
    // thirds; 96 kHz at pitch 50 is ratio 3.27, the largest a half must hold.
    const Case cases[] = {
        {48000.0, 100, false}, {44100.0, 100, true}, {44100.0, 150, true},
        {96000.0, 50, true},   {48000.0, 150, true},
    };
    for (const Case& pair : cases)
    {
        SCOPED_TRACE(testing::Message() << pair.rate << " Hz at pitch " << pair.pitch);
        start(pair.rate, 2, pair.pitch, pair.pitchOn);
        const Played played = render();
        const double speed = pair.pitchOn ? 1.0 / (2.0 - pair.pitch / 100.0) : 1.0;
        const double ratio = pair.rate / 44100.0 / speed;
        EXPECT_EQ(engine->transportState(), CDTransportState::Stopped);
        EXPECT_EQ(engine->lateHalfCount(), 0u);
        EXPECT_NEAR(static_cast<double>(played.soundingFrames()), 163 * 588 * ratio, 2.0);
        // Every seam between chunks lies inside; the first frames are the
        // marker and the converter's start.
        const size_t from = 64, to = played.soundingFrames() - 64;
        EXPECT_EQ(testkit::toneFaults(played.left.data() + from, to - from, 1, pair.rate,
                                      1000.0 * speed, kLevel, 0.05, 0.01, 0.02),
                  "");
        EXPECT_EQ(testkit::toneFaults(played.right.data() + from, to - from, 1, pair.rate,
                                      1500.0 * speed, kLevel, 0.05, 0.01, 0.02),
                  "");
    }
}

TEST_F(CDPlayerEngineTest, FailedReadsAreRetriedThreeTimesThenStopCleanly)
{
    // Two failures, then a read that works: the track plays without a gap.
    start(44100.0, 2);
    engine->failNextReads(2);
    Played played = render();
    EXPECT_EQ(played.soundingFrames(), 163u * 588);
    expectDiscSamples(played, 2, 0, 163 * 588);

    // Three in a row at the first refill: playback stops where it is, with
    // nothing but the disc's samples before the silence, and plays again.
    start(44100.0, 2);
    engine->failNextReads(3);
    played = render();
    EXPECT_EQ(engine->transportState(), CDTransportState::Stopped);
    EXPECT_GT(played.soundingFrames(), 54u * 588);
    EXPECT_LT(played.soundingFrames(), 2u * 54 * 588);
    expectDiscSamples(played, 2, 0, played.soundingFrames());
    EXPECT_EQ(engine->elapsedSeconds(), 0);
    engine->play();
    engine->waitUntilIdle();
    played = render();
    EXPECT_EQ(played.soundingFrames(), 163u * 588);
}

TEST_F(CDPlayerEngineTest, TransportKeepsToOneStartJobAndTheLastWord)
{
    start(44100.0, 2);
    engine->stop();
    // Two quick Plays start one job.
    engine->holdWorker(true);
    engine->play();
    engine->play();
    engine->holdWorker(false);
    engine->waitUntilIdle();
    EXPECT_EQ(engine->startJobCount(), 2u);
    EXPECT_EQ(engine->transportState(), CDTransportState::Playing);

    // Stop while the start job waits: the job finds the unit stopped and
    // leaves it so.
    engine->stop();
    engine->holdWorker(true);
    engine->play();
    engine->stop();
    engine->holdWorker(false);
    engine->waitUntilIdle();
    EXPECT_EQ(engine->transportState(), CDTransportState::Stopped);

    // Pause is silence, and playing on continues at the next frame.
    engine->play();
    engine->waitUntilIdle();
    Played before = render(4 * kBlock);
    engine->pause();
    EXPECT_TRUE(engine->pausedLampLit());
    EXPECT_EQ(render(kBlock).soundingFrames(), 0u);
    engine->pause();
    EXPECT_TRUE(engine->playingLampLit());
    const Played after = render(kBlock);
    expectDiscSamples(after, 2, 0, kBlock, 4 * kBlock);

    // Not routed, a track past the last one, or no disc: nothing starts.
    engine->stop();
    unit.m_bRouted = false;
    engine->play();
    EXPECT_EQ(engine->transportState(), CDTransportState::Stopped);
    unit.m_bRouted = true;
    engine->selectTrack(5);
    engine->play();
    engine->waitUntilIdle();
    EXPECT_EQ(engine->transportState(), CDTransportState::Stopped);
    useImage(folder.path("missing.cue"));
    start(44100.0, 1);
    EXPECT_FALSE(engine->hasDrive());
    EXPECT_EQ(engine->transportState(), CDTransportState::Stopped);
}

TEST_F(CDPlayerEngineTest, DataTracksNeverPlay)
{
    const testkit::CdImage mixed =
        testkit::writeCdImage(folder, "mixed", {{40, 0, 0, true}, {20, 1000.0, 1000.0}});
    useImage(mixed.cuePath);
    start(44100.0, 1);
    EXPECT_EQ(engine->transportState(), CDTransportState::Stopped);
    EXPECT_EQ(render(kBlock).soundingFrames(), 0u);
    start(44100.0, 2);
    EXPECT_EQ(render().soundingFrames(), 20u * 588);
}

TEST_F(CDPlayerEngineTest, TimeCountsTrackTimePlayed)
{
    // At pitch 150 one second of output is two seconds of track.
    start(44100.0, 2, 150, true);
    render(44100);
    EXPECT_EQ(engine->elapsedSeconds(), 2);
    // Track 2 runs from 0:03:12 to 0:05:25 (blocks 87 and 250 with the 150
    // of the lead-in): 2 s by its minute/second addresses, 1 s of it played.
    start(44100.0, 2);
    render(44100);
    EXPECT_EQ(engine->elapsedSeconds(), 1);
    EXPECT_EQ(engine->remainingSeconds(), 1);
    engine->stop();
    EXPECT_EQ(engine->remainingSeconds(), 0);

    // A length across a minute borrows: 2:58 to 6:03 is 3:05; frames do not count.
    const TOCTRACK from{0, 0, 1, 0, {0, 2, 58, 74}}, to{0, 0, 2, 0, {0, 6, 3, 0}};
    EXPECT_EQ(CDPlayerEngine::secondsBetween(from, to), 3 * 60 + 5);
}

} // namespace
