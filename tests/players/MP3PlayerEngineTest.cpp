// The MP3 player's engine driven block by block, as the mixer would on the
// audio thread: files encoded from tones, played at device rates with and
// without conversion, measured for pitch, level and seams from the first half
// to the last; the transport rules; the real-time rules of Process.

#include "players/MP3PlayerEngine.h"
#include "MP3TestFixtures.h"
#include "players/MP3StreamDecoder.h"
#include "support/RealtimeTrap.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <mutex>
#include <thread>

namespace
{

constexpr size_t blockFrames = 512;
// The tone's decoded level: LAME keeps 0.95 of the 0.5 that went in.
constexpr double decodedAmplitude = 0.5 * mp3test::lameLevelFactor;

struct Rendered
{
    std::vector<float> left;
    std::vector<float> right;
    size_t size() const { return left.size(); }
};

class RecordingListener : public MP3PlayerListener
{
public:
    void titleChanged(const std::string& title) override
    {
        std::lock_guard lock(m_mutex);
        titles.push_back(title);
    }
    void transportChanged(MP3TransportState state) override
    {
        std::lock_guard lock(m_mutex);
        states.push_back(state);
    }
    void playlistChanged() override
    {
        std::lock_guard lock(m_mutex);
        ++playlistChanges;
    }
    void playAllChanged(bool playAll) override
    {
        std::lock_guard lock(m_mutex);
        playAllSwitches.push_back(playAll);
    }

    std::mutex m_mutex;
    std::vector<std::string> titles;
    std::vector<MP3TransportState> states;
    std::vector<bool> playAllSwitches;
    int playlistChanges = 0;
};

class MP3PlayerEngineTest : public ::testing::Test
{
protected:
    void SetUp() override { engine = std::make_unique<MP3PlayerEngine>(unit); }

    void powerOn(float rate)
    {
        unit.SetSampleRate(rate);
        unit.m_bRunning = true;
        unit.m_bRouted = true;
    }

    std::string encodeFile(const std::string& name, int rate, double seconds, double leftHz,
                           double rightHz, int bitrate = 128,
                           const std::vector<unsigned char>& before = {},
                           const std::vector<unsigned char>& after = {})
    {
        const auto frames = static_cast<size_t>(rate * seconds);
        mp3test::EncodeOptions options;
        options.sampleRate = rate;
        options.bitrateKbps = bitrate;
        const auto encoded = mp3test::encodeMp3(
            mp3test::makeStereoTone(rate, frames, leftHz, rightHz, 0.5), options);
        const std::string path = folder.path(name);
        mp3test::writeFile(path, mp3test::concatenate({before, encoded.bytes, after}));
        return path;
    }

    // Plays blocks as the audio thread would; after each block the test lets
    // the refill worker finish, so no refill is late unless a test wants it.
    void render(size_t frames, Rendered& into, bool waitForWorkers = true)
    {
        std::vector<float> left(blockFrames), right(blockFrames);
        float* outputs[2] = {left.data(), right.data()};
        for (size_t done = 0; done < frames; done += blockFrames)
        {
            const size_t count = std::min(blockFrames, frames - done);
            engine->process(outputs, 2, static_cast<long>(count));
            into.left.insert(into.left.end(), left.begin(), left.begin() + count);
            into.right.insert(into.right.end(), right.begin(), right.begin() + count);
            if (waitForWorkers)
                engine->waitUntilIdle();
        }
    }

    // Renders until the player stops by itself (bounded by maximumSeconds).
    Rendered renderUntilStopped(double maximumSeconds)
    {
        Rendered rendered;
        const auto limit = static_cast<size_t>(maximumSeconds * unit.GetSampleRate());
        while (engine->transportState() != MP3TransportState::Stopped && rendered.size() < limit)
            render(blockFrames, rendered);
        return rendered;
    }

    void playAndWait()
    {
        engine->play();
        engine->waitUntilIdle();
    }

    static std::vector<float> referenceDecode(const std::string& path)
    {
        MP3StreamDecoder decoder;
        decoder.adoptFile(std::fopen(path.c_str(), "rb"));
        decoder.begin();
        std::vector<float> samples;
        std::vector<float> chunk(100000);
        while (true)
        {
            const auto result = decoder.decode(chunk.data(), chunk.size());
            samples.insert(samples.end(), chunk.begin(), chunk.begin() + result.floatsWritten);
            if (result.outcome != MP3StreamDecoder::Outcome::Filled)
                break;
        }
        return samples;
    }

    // Last frame whose sample is clearly part of the tone.
    static size_t toneEnd(const std::vector<float>& samples)
    {
        for (size_t index = samples.size(); index > 0; --index)
            if (std::abs(samples[index - 1]) > 0.05f)
                return index;
        return 0;
    }

    // Pitch, level and seams of a two-tone rendering between two frames.
    static void expectSteadyTone(const Rendered& rendered, size_t from, size_t to, double rate,
                                 double leftHz, double rightHz)
    {
        SCOPED_TRACE(testing::Message() << "frames " << from << " to " << to);
        const size_t count = to - from;
        EXPECT_NEAR(mp3test::measureFrequency(rendered.left.data() + from, count, 1, rate), leftHz,
                    0.05);
        EXPECT_NEAR(mp3test::measureFrequency(rendered.right.data() + from, count, 1, rate),
                    rightHz, 0.05);
        EXPECT_NEAR(mp3test::measureSineAmplitude(rendered.left.data() + from, count, 1),
                    decodedAmplitude, 0.01);
        EXPECT_NEAR(mp3test::measureSineAmplitude(rendered.right.data() + from, count, 1),
                    decodedAmplitude, 0.01);
        // A gap, a repeated or a dropped stretch breaks the sine's own
        // recurrence by a sizeable fraction of its amplitude; coding noise
        // stays two orders of magnitude below this.
        EXPECT_LT(mp3test::largestSinePredictionError(rendered.left.data() + from, count, 1, leftHz,
                                                      rate),
                  0.01);
        EXPECT_LT(mp3test::largestSinePredictionError(rendered.right.data() + from, count, 1,
                                                      rightHz, rate),
                  0.01);
    }

    mp3test::TemporaryFolder folder;
    mp3test::StubRackUnit unit;
    std::unique_ptr<MP3PlayerEngine> engine;
};

// ---------------------------------------------------------------------------
// Sound

TEST_F(MP3PlayerEngineTest, ConvertedPlaybackKeepsPitchLevelAndContinuityToTheLastHalf)
{
    powerOn(48000.0f);
    engine->addFiles({encodeFile("tone.mp3", 44100, 6.0, 440.0, 660.0)});
    playAndWait();
    ASSERT_EQ(engine->transportState(), MP3TransportState::Playing);
    EXPECT_EQ(engine->title(), "tone.mp3");

    const Rendered rendered = renderUntilStopped(20.0);
    EXPECT_EQ(engine->transportState(), MP3TransportState::Stopped);
    EXPECT_EQ(engine->lateRefillCount(), 0u);

    // Six seconds of tone at 48000 Hz, neither cut nor stretched.
    const size_t end = toneEnd(rendered.left);
    EXPECT_NEAR(static_cast<double>(end), 6.0 * 48000, 64);
    // Converted halves of 115200 input frames hold about 125400 frames: the
    // first, the middle one (both seams) and the last.
    expectSteadyTone(rendered, 2400, 120000, 48000, 440.0, 660.0);
    expectSteadyTone(rendered, 2400, end - 2400, 48000, 440.0, 660.0);
    expectSteadyTone(rendered, end - 40000, end - 2400, 48000, 440.0, 660.0);
}

TEST_F(MP3PlayerEngineTest, UnconvertedPlaybackIsTheDecodedStreamSampleForSample)
{
    powerOn(44100.0f);
    const std::string path = encodeFile("exact.mp3", 44100, 6.0, 440.0, 660.0);
    const std::vector<float> reference = referenceDecode(path);
    ASSERT_EQ(reference.size(), 6u * 44100 * 2);
    engine->addFiles({path});
    playAndWait();

    const Rendered rendered = renderUntilStopped(20.0);
    ASSERT_GE(rendered.size(), reference.size() / 2);
    for (size_t frame = 0; frame < reference.size() / 2; ++frame)
    {
        ASSERT_EQ(rendered.left[frame], reference[frame * 2]) << frame;
        ASSERT_EQ(rendered.right[frame], reference[frame * 2 + 1]) << frame;
    }
    // After the file, silence until the stop.
    for (size_t frame = reference.size() / 2; frame < rendered.size(); ++frame)
        ASSERT_EQ(rendered.left[frame], 0.0f) << frame;

    // The stop drained the decoder and rewound the file: Play starts the
    // same stream again from its first sample.
    playAndWait();
    Rendered again;
    render(MP3HalfStore::halfFrames + 44100, again);
    for (size_t frame = 0; frame < again.size(); ++frame)
        ASSERT_EQ(again.left[frame], reference[frame * 2]) << frame;
}

TEST_F(MP3PlayerEngineTest, EveryRatePairPlaysAtTheRightPitch)
{
    struct Case
    {
        int fileRate;
        int bitrate;
        float deviceRate;
        double seconds;
    };
    // 8000 Hz on 96000 Hz converts at ratio 12, beyond the three-fold room
    // of a converted half; 22050 Hz is MPEG 2.
    for (const Case& pair : {Case{8000, 24, 96000.0f, 8.0}, Case{22050, 64, 48000.0f, 6.0},
                             Case{48000, 128, 44100.0f, 6.0}, Case{32000, 96, 96000.0f, 6.0}})
    {
        SCOPED_TRACE(testing::Message() << pair.fileRate << " on " << pair.deviceRate);
        engine = std::make_unique<MP3PlayerEngine>(unit);
        powerOn(pair.deviceRate);
        engine->addFiles({encodeFile("rate" + std::to_string(pair.fileRate) + ".mp3", pair.fileRate,
                                     pair.seconds, 440.0, 550.0, pair.bitrate)});
        playAndWait();
        const Rendered rendered = renderUntilStopped(3 * pair.seconds);
        EXPECT_EQ(engine->lateRefillCount(), 0u);
        const size_t end = toneEnd(rendered.left);
        EXPECT_NEAR(static_cast<double>(end), pair.seconds * pair.deviceRate,
                    pair.deviceRate / pair.fileRate * 64);
        const auto margin = static_cast<size_t>(pair.deviceRate / 20);
        expectSteadyTone(rendered, margin, end - margin, pair.deviceRate, 440.0, 550.0);
    }
}

TEST_F(MP3PlayerEngineTest, OneHertzApartIsNotConverted)
{
    powerOn(44101.0f);
    const std::string path = encodeFile("near.mp3", 44100, 3.0, 440.0, 660.0);
    const std::vector<float> reference = referenceDecode(path);
    engine->addFiles({path});
    playAndWait();
    Rendered rendered;
    render(reference.size() / 2, rendered);
    for (size_t frame = 0; frame < reference.size() / 2; ++frame)
        ASSERT_EQ(rendered.left[frame], reference[frame * 2]) << frame;
}

TEST_F(MP3PlayerEngineTest, FileWhoseHeaderTheTagReaderCannotReachStillPlaysAtItsOwnRate)
{
    // A 12000-byte ID3v2 tag hides the first frame from the tag reader
    // (sample rate 0); the decoder's own rate decides the conversion.
    powerOn(48000.0f);
    engine->addFiles({encodeFile("covered.mp3", 44100, 4.0, 440.0, 660.0, 128,
                                 mp3test::makeId3v2Tag(12000, "Cover"))});
    playAndWait();
    EXPECT_EQ(engine->currentFileInfo().GetSampleRate(), 0);
    const Rendered rendered = renderUntilStopped(20.0);
    const size_t end = toneEnd(rendered.left);
    EXPECT_NEAR(static_cast<double>(end), 4.0 * 48000, 64);
    expectSteadyTone(rendered, 2400, end - 2400, 48000, 440.0, 660.0);
}

TEST_F(MP3PlayerEngineTest, MetersFollowTheBlockPeaks)
{
    powerOn(48000.0f);
    Rendered silence;
    render(blockFrames, silence);
    EXPECT_FLOAT_EQ(engine->leftPeakDb(), -120.0f);
    engine->addFiles({encodeFile("meter.mp3", 44100, 2.0, 440.0, 660.0)});
    playAndWait();
    Rendered rendered;
    render(24000, rendered);
    // A sine's peak is its amplitude; one 512-frame block holds over four periods.
    EXPECT_NEAR(engine->leftPeakDb(), 20.0 * std::log10(decodedAmplitude), 0.2);
    EXPECT_NEAR(engine->rightPeakDb(), 20.0 * std::log10(decodedAmplitude), 0.2);
}

// ---------------------------------------------------------------------------
// Threads

TEST_F(MP3PlayerEngineTest, AudioThreadNeverAllocatesLocksOrWaits)
{
    powerOn(48000.0f);
    engine->addFiles({encodeFile("trap.mp3", 44100, 6.0, 440.0, 660.0)});
    playAndWait();
    std::vector<float> left(blockFrames), right(blockFrames);
    float* outputs[2] = {left.data(), right.data()};
    realtime_trap::resetCounts();
    size_t blocks = 0;
    // Through every half switch to the end, then stopped and paused blocks.
    while (engine->transportState() != MP3TransportState::Stopped && blocks < 2000)
    {
        {
            realtime_trap::ScopedArm arm;
            engine->process(outputs, 2, blockFrames);
        }
        engine->waitUntilIdle();
        ++blocks;
    }
    {
        realtime_trap::ScopedArm arm;
        engine->process(outputs, 2, blockFrames);
    }
    EXPECT_GT(blocks, 500u);
    EXPECT_EQ(realtime_trap::allocations(), 0u);
    EXPECT_EQ(realtime_trap::deallocations(), 0u);
    EXPECT_EQ(realtime_trap::blockingLocks(), 0u);
}

TEST_F(MP3PlayerEngineTest, LateRefillIsCountedAndPlaysSilenceNotStaleSamples)
{
    powerOn(44100.0f);
    engine->addFiles({encodeFile("late.mp3", 44100, 8.0, 440.0, 660.0)});
    playAndWait();
    engine->holdRefills(true);
    Rendered rendered;
    // Two halves play out; the first one is not refilled in time.
    render(2 * 115200 + 4096, rendered, false);
    EXPECT_EQ(engine->lateRefillCount(), 1u);
    for (size_t frame = 2 * 115200; frame < rendered.size(); ++frame)
        ASSERT_EQ(rendered.left[frame], 0.0f) << frame;
    const int elapsedWhileLate = engine->elapsedSeconds();
    EXPECT_EQ(elapsedWhileLate, 5); // 230400 frames at 44100 Hz
    engine->holdRefills(false);
    engine->waitUntilIdle();
    Rendered resumed;
    render(44100, resumed);
    EXPECT_EQ(engine->lateRefillCount(), 1u);
    EXPECT_NEAR(mp3test::measureFrequency(resumed.left.data(), 44100, 1, 44100), 440.0, 0.05);
}

TEST_F(MP3PlayerEngineTest, DestroyingWhilePlayingOrLoadingStopsAndJoins)
{
    powerOn(48000.0f);
    const std::string path = encodeFile("destroy.mp3", 44100, 6.0, 440.0, 660.0);
    engine->addFiles({path, path});
    playAndWait();
    Rendered rendered;
    render(130000, rendered, false);
    engine.reset();

    engine = std::make_unique<MP3PlayerEngine>(unit);
    powerOn(48000.0f);
    engine->addFiles({path});
    engine->play(); // the load is still running
    engine.reset();
    SUCCEED();
}

TEST_F(MP3PlayerEngineTest, TransportOperationsWhileAnAudioThreadRuns)
{
    // An audio thread pulls blocks without pause while the GUI side presses
    // buttons and the workers load, refill and advance: every hand-over is
    // exercised concurrently (the thread sanitizer build checks them).
    powerOn(48000.0f);
    const std::string path = encodeFile("busy.mp3", 22050, 1.0, 440.0, 660.0, 64);
    engine->addFiles({path, path, path});
    engine->selectEntry(0);
    std::atomic<bool> running{true};
    std::atomic<size_t> blocks{0};
    float largestSample = 0.0f;
    std::thread audio(
        [&]
        {
            std::vector<float> left(blockFrames), right(blockFrames);
            float* outputs[2] = {left.data(), right.data()};
            while (running.load())
            {
                engine->process(outputs, 2, blockFrames);
                for (float sample : left)
                    largestSample = std::max(largestSample, std::abs(sample));
                blocks.fetch_add(1);
                std::this_thread::yield();
            }
        });
    for (int round = 0; round < 60; ++round)
    {
        switch (round % 6)
        {
        case 0:
        case 3:
            engine->play();
            break;
        case 1:
            engine->pause();
            break;
        case 2:
            engine->selectEntry(1 + round % 3);
            break;
        case 4:
            engine->stop();
            break;
        default:
            engine->pause();
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    engine->play();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    running.store(false);
    audio.join();
    engine.reset();
    EXPECT_GT(blocks.load(), 0u);
    EXPECT_LT(largestSample, 1.0f);
}

// ---------------------------------------------------------------------------
// Transport rules

TEST_F(MP3PlayerEngineTest, PlayStartsOnlyWhileRunningAndRouted)
{
    const std::string path = encodeFile("routed.mp3", 44100, 2.0, 440.0, 660.0, 128, {},
                                        mp3test::makeId3v1Tag("Song", "Band", "", "", "", 1, 0));
    unit.SetSampleRate(48000.0f);
    unit.m_bRunning = true;
    engine->addFiles({path});
    playAndWait();
    // The title shows, nothing plays, and the next Play loads the file again.
    EXPECT_EQ(engine->title(), "Band-Song");
    EXPECT_EQ(engine->transportState(), MP3TransportState::Stopped);
    EXPECT_TRUE(engine->selectionPending());

    unit.m_bRunning = false;
    unit.m_bRouted = true;
    playAndWait();
    EXPECT_EQ(engine->transportState(), MP3TransportState::Stopped);

    unit.m_bRunning = true;
    playAndWait();
    EXPECT_EQ(engine->transportState(), MP3TransportState::Playing);
    EXPECT_FALSE(engine->selectionPending());
}

TEST_F(MP3PlayerEngineTest, PauseSilencesFreezesTimeAndResumesWhereItPaused)
{
    powerOn(44100.0f);
    const std::string path = encodeFile("pause.mp3", 44100, 4.0, 440.0, 660.0);
    const std::vector<float> reference = referenceDecode(path);
    engine->addFiles({path});
    playAndWait();

    Rendered before;
    render(66150, before); // 1.5 s
    engine->pause();
    EXPECT_TRUE(engine->pausedLampLit());
    EXPECT_FALSE(engine->playingLampLit());
    const int elapsedAtPause = engine->elapsedSeconds();
    Rendered paused;
    render(88200, paused);
    EXPECT_EQ(engine->elapsedSeconds(), elapsedAtPause);
    for (float sample : paused.left)
        ASSERT_EQ(sample, 0.0f);
    // Play with no new selection resumes, like Pause does.
    engine->play();
    EXPECT_TRUE(engine->playingLampLit());
    Rendered after;
    render(44100, after);
    for (size_t frame = 0; frame < 44100; ++frame)
        ASSERT_EQ(after.left[frame], reference[(66150 + frame) * 2]) << frame;
}

TEST_F(MP3PlayerEngineTest, TimeCountsPlayedAudioAndRemainingStopsAtZero)
{
    powerOn(48000.0f);
    // 3.5 s of audio: the tag reader's duration is 3 whole seconds.
    engine->addFiles({encodeFile("time.mp3", 44100, 3.5, 440.0, 660.0)});
    playAndWait();
    EXPECT_EQ(engine->elapsedSeconds(), 0);
    EXPECT_EQ(engine->remainingSeconds(), 3);
    Rendered rendered;
    render(48000 * 2 + 2400, rendered);
    EXPECT_EQ(engine->elapsedSeconds(), 2);
    EXPECT_EQ(engine->remainingSeconds(), 1);
    EXPECT_EQ(engine->displayedSeconds(), 2);
    engine->setShowRemaining(true);
    EXPECT_EQ(engine->displayedSeconds(), 1);
    render(48000 + 19200, rendered); // 3.45 s
    EXPECT_EQ(engine->elapsedSeconds(), 3);
    EXPECT_EQ(engine->remainingSeconds(), 0);
    engine->stop();
    EXPECT_EQ(engine->elapsedSeconds(), 0);
    EXPECT_EQ(engine->displayedSeconds(), 0);
}

TEST_F(MP3PlayerEngineTest, PlayAllAdvancesThroughTheListAndWraps)
{
    RecordingListener listener;
    engine->setListener(&listener);
    powerOn(48000.0f);
    // Each track's tone names it.
    const double toneOf[4] = {0.0, 300.0, 500.0, 700.0};
    engine->addFiles({encodeFile("one.mp3", 44100, 1.0, toneOf[1], toneOf[1]),
                      encodeFile("two.mp3", 44100, 1.0, toneOf[2], toneOf[2]),
                      encodeFile("three.mp3", 44100, 1.0, toneOf[3], toneOf[3])});
    engine->selectEntry(0);
    playAndWait();
    EXPECT_EQ(engine->selectedIndex(), 1);
    EXPECT_TRUE(engine->playAll());
    ASSERT_EQ(listener.playAllSwitches, std::vector<bool>{true});

    std::vector<int> order;
    for (int track = 0; track < 4; ++track)
    {
        ASSERT_EQ(engine->transportState(), MP3TransportState::Playing) << track;
        const int index = engine->currentIndex();
        order.push_back(index);
        Rendered rendered;
        render(24000, rendered);
        EXPECT_NEAR(mp3test::measureFrequency(rendered.left.data() + 2400, 19200, 1, 48000),
                    toneOf[index], 0.1);
        // The rest of the track, then the next one is loaded.
        while (engine->currentIndex() == index && rendered.size() < 48000 * 10)
            render(blockFrames, rendered);
        engine->waitUntilIdle();
    }
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 1}));
    EXPECT_EQ(engine->selectedIndex(), 2);
    engine->setListener(nullptr);
}

TEST_F(MP3PlayerEngineTest, StopInPlayAllDoesNotAdvanceAndPlayStartsAgain)
{
    powerOn(48000.0f);
    engine->addFiles({encodeFile("a.mp3", 44100, 2.0, 300.0, 300.0),
                      encodeFile("b.mp3", 44100, 2.0, 500.0, 500.0)});
    engine->selectEntry(1);
    engine->setPlayAll(true);
    playAndWait();
    Rendered rendered;
    render(24000, rendered);
    engine->stop();
    engine->waitUntilIdle();
    EXPECT_EQ(engine->transportState(), MP3TransportState::Stopped);
    EXPECT_EQ(engine->currentIndex(), 1);
    render(48000, rendered);
    EXPECT_EQ(engine->currentIndex(), 1);

    // Play clears the user stop; the same entry plays again from its start
    // (the stop drained the decoder and rewound the file).
    playAndWait();
    EXPECT_EQ(engine->currentIndex(), 1);
    Rendered again;
    render(24000, again);
    EXPECT_NEAR(mp3test::measureFrequency(again.left.data() + 2400, 19200, 1, 48000), 300.0, 0.1);
    EXPECT_NEAR(again.left[0], 0.0f, 0.02f); // the tone starts at phase 0
    // Now the end of the track does advance.
    while (engine->currentIndex() == 1 && again.size() < 48000 * 10)
        render(blockFrames, again);
    EXPECT_EQ(engine->currentIndex(), 2);
}

TEST_F(MP3PlayerEngineTest, PlayWhilePlayingOnlyActsOnANewSelection)
{
    powerOn(48000.0f);
    engine->addFiles({encodeFile("first.mp3", 44100, 4.0, 300.0, 300.0),
                      encodeFile("second.mp3", 44100, 4.0, 500.0, 500.0),
                      encodeFile("third.mp3", 44100, 4.0, 700.0, 700.0)});
    engine->selectEntry(1);
    // Play-all on: replacing the playing track must not count as its end.
    engine->setPlayAll(true);
    playAndWait();
    Rendered rendered;
    render(48000, rendered);
    playAndWait();
    EXPECT_EQ(engine->elapsedSeconds(), 1); // nothing restarted
    engine->selectEntry(3);
    playAndWait();
    EXPECT_EQ(engine->currentIndex(), 3);
    EXPECT_EQ(engine->selectedIndex(), 3);
    EXPECT_EQ(engine->title(), "third.mp3");
    Rendered third;
    render(24000, third);
    EXPECT_NEAR(mp3test::measureFrequency(third.left.data() + 2400, 19200, 1, 48000), 700.0, 0.1);
}

TEST_F(MP3PlayerEngineTest, EmptyListMissingFileAndBadFiles)
{
    RecordingListener listener;
    engine->setListener(&listener);
    powerOn(48000.0f);
    engine->addFiles({folder.path("missing.mp3")});
    playAndWait();
    EXPECT_EQ(engine->title(), "Failed");
    EXPECT_EQ(engine->transportState(), MP3TransportState::Stopped);
    {
        std::lock_guard lock(listener.m_mutex);
        EXPECT_EQ(listener.titles, (std::vector<std::string>{"Loading...", "Failed"}));
    }

    engine->selectEntry(0);
    engine->removeSelected(); // clears the list
    engine->addFiles({folder.path("x.mp3")});
    engine->selectEntry(1);
    engine->removeSelected();
    playAndWait();
    EXPECT_EQ(engine->title(), "No File");

    // Random bytes and an empty file: nothing decodes, playback ends by
    // itself and play-all moves on, never hangs.
    std::vector<unsigned char> noise(50000);
    for (size_t index = 0; index < noise.size(); ++index)
        noise[index] = static_cast<unsigned char>((index * 2654435761u) >> 13);
    mp3test::writeFile(folder.path("noise.mp3"), noise);
    mp3test::writeFile(folder.path("empty.mp3"), {});
    engine->addFiles({folder.path("noise.mp3"), folder.path("empty.mp3")});
    engine->selectEntry(0);
    playAndWait();
    EXPECT_EQ(engine->currentIndex(), 1);
    Rendered rendered;
    while (engine->currentIndex() == 1 && rendered.size() < 48000 * 20)
        render(blockFrames, rendered);
    EXPECT_EQ(engine->currentIndex(), 2);
    for (float sample : rendered.left)
        ASSERT_LT(std::abs(sample), 1.0f);
    engine->setListener(nullptr);
}

} // namespace
