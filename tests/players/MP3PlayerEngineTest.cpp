// The MP3 player's engine driven block by block, as the mixer would on the
// audio thread: files encoded from tones, played at device rates with and
// without conversion, measured for pitch, level and seams; the transport
// rules; late refills, teardown and concurrent operation.

#include "players/MP3PlayerEngine.h"
#include "MP3TestFixtures.h"
#include "players/MP3StreamDecoder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>

namespace
{

constexpr size_t blockFrames = 512;

struct Rendered
{
    std::vector<float> left;
    std::vector<float> right;
    size_t size() const { return left.size(); }
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

    std::string encodeFile(const std::string& name, double seconds, double leftHz, double rightHz,
                           const mp3test::EncodeOptions& options = {},
                           const std::vector<unsigned char>& before = {})
    {
        return folder.write(name,
                            {before, mp3test::encodeTone(seconds, leftHz, rightHz, options).bytes});
    }

    // Plays blocks as the audio thread would; after each block the test lets
    // the workers finish, so no refill is late unless a test wants it.
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

    Rendered render(size_t frames)
    {
        Rendered rendered;
        render(frames, rendered);
        return rendered;
    }

    // Renders until the current entry changes or the player stops by itself.
    Rendered renderToTheEnd(double maximumSeconds = 30.0)
    {
        Rendered rendered;
        const int index = engine->currentIndex();
        const auto limit = static_cast<size_t>(maximumSeconds * unit.GetSampleRate());
        while (engine->transportState() != MP3TransportState::Stopped &&
               engine->currentIndex() == index && rendered.size() < limit)
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
        std::vector<float> samples, chunk(100000);
        MP3StreamDecoder::Outcome outcome = MP3StreamDecoder::Outcome::Filled;
        while (outcome == MP3StreamDecoder::Outcome::Filled)
        {
            const auto result = decoder.decode(chunk.data(), chunk.size());
            samples.insert(samples.end(), chunk.begin(), chunk.begin() + result.floatsWritten);
            outcome = result.outcome;
        }
        return samples;
    }

    // One past the last frame that is clearly part of the tone.
    static size_t toneEnd(const std::vector<float>& samples)
    {
        size_t end = samples.size();
        while (end > 0 && std::abs(samples[end - 1]) <= 0.05f)
            --end;
        return end;
    }

    // Pitch, level and seams of both sides between two frames.
    static void expectTone(const Rendered& rendered, size_t from, size_t to, double rate,
                           double leftHz, double rightHz)
    {
        SCOPED_TRACE(testing::Message() << "frames " << from << " to " << to);
        EXPECT_EQ(mp3test::toneFaults(rendered.left.data() + from, to - from, 1, rate, leftHz,
                                      mp3test::decodedLevel),
                  "");
        EXPECT_EQ(mp3test::toneFaults(rendered.right.data() + from, to - from, 1, rate, rightHz,
                                      mp3test::decodedLevel),
                  "");
    }

    static bool silent(const std::vector<float>& samples, size_t from = 0)
    {
        return std::all_of(samples.begin() + static_cast<long>(from), samples.end(),
                           [](float sample) { return sample == 0.0f; });
    }

    mp3test::TemporaryFolder folder;
    mp3test::StubRackUnit unit;
    std::unique_ptr<MP3PlayerEngine> engine;
};

TEST_F(MP3PlayerEngineTest, ConvertedRatesKeepPitchLevelAndLengthToTheLastHalf)
{
    struct Case
    {
        mp3test::EncodeOptions file;
        float deviceRate;
        double seconds;
        std::vector<unsigned char> before;
    };
    // 8000 Hz on 96000 Hz converts at ratio 12, beyond the three-fold room of
    // a converted half; 22050 Hz is MPEG 2; behind a 12000-byte ID3v2 tag the
    // tag reader sees no header (rate 0) and the decoder's rate decides.
    const Case cases[] = {
        {{8000, 2, 24}, 96000.0f, 8.0, {}},
        {{22050, 2, 64}, 48000.0f, 6.0, {}},
        {{48000, 2, 128}, 44100.0f, 6.0, {}},
        {{32000, 2, 96}, 96000.0f, 6.0, {}},
        {{44100, 2, 128}, 48000.0f, 7.0, mp3test::makeId3v2Tag(12000, "Cover")},
    };
    for (const Case& pair : cases)
    {
        SCOPED_TRACE(testing::Message() << pair.file.sampleRate << " on " << pair.deviceRate);
        engine = std::make_unique<MP3PlayerEngine>(unit);
        powerOn(pair.deviceRate);
        engine->addFiles(
            {encodeFile("rate.mp3", pair.seconds, 440.0, 550.0, pair.file, pair.before)});
        playAndWait();
        ASSERT_EQ(engine->transportState(), MP3TransportState::Playing);
        const Rendered rendered = renderToTheEnd(3 * pair.seconds);
        EXPECT_EQ(engine->transportState(), MP3TransportState::Stopped);
        EXPECT_EQ(engine->lateRefillCount(), 0u);
        // Neither cut nor stretched, within the decoder's 64 frames at the file rate.
        const size_t end = toneEnd(rendered.left);
        EXPECT_NEAR(static_cast<double>(end), pair.seconds * pair.deviceRate,
                    pair.deviceRate / pair.file.sampleRate * 64);
        // The first half, the whole track across every seam, the last half.
        const auto margin = static_cast<size_t>(pair.deviceRate / 20);
        const auto twoSeconds = static_cast<size_t>(pair.deviceRate * 2);
        expectTone(rendered, margin, twoSeconds, pair.deviceRate, 440.0, 550.0);
        expectTone(rendered, margin, end - margin, pair.deviceRate, 440.0, 550.0);
        expectTone(rendered, end - twoSeconds, end - margin, pair.deviceRate, 440.0, 550.0);
    }
}

TEST_F(MP3PlayerEngineTest, UnconvertedPlaybackIsTheStreamSampleForSampleAcrossPauseAndStop)
{
    // 44101 Hz is within 1 Hz of the file's rate: not converted either.
    for (const float deviceRate : {44100.0f, 44101.0f})
    {
        SCOPED_TRACE(deviceRate);
        engine = std::make_unique<MP3PlayerEngine>(unit);
        powerOn(deviceRate);
        // 3.5 s of audio: the tag reader's duration is 3 whole seconds.
        const std::string path = encodeFile("exact.mp3", 3.5, 440.0, 660.0);
        const std::vector<float> reference = referenceDecode(path);
        ASSERT_EQ(reference.size(), 2u * 44100 * 7 / 2);
        engine->addFiles({path});
        playAndWait();
        EXPECT_EQ(engine->title(), "exact.mp3");
        EXPECT_EQ(engine->remainingSeconds(), 3);

        Rendered rendered = render(66150); // 1.5 s
        EXPECT_NEAR(engine->leftPeakDb(), 20.0 * std::log10(mp3test::decodedLevel), 0.2);
        // Pause silences the output and freezes the time.
        engine->pause();
        EXPECT_TRUE(engine->pausedLampLit());
        EXPECT_FALSE(engine->playingLampLit());
        EXPECT_EQ(engine->elapsedSeconds(), 1);
        const Rendered paused = render(88200);
        EXPECT_TRUE(silent(paused.left));
        EXPECT_EQ(engine->elapsedSeconds(), 1);
        EXPECT_FLOAT_EQ(engine->leftPeakDb(), -120.0f);
        // Play with no new selection resumes where it paused.
        engine->play();
        EXPECT_TRUE(engine->playingLampLit());
        render(44100, rendered); // 2.5 s
        EXPECT_EQ(engine->elapsedSeconds(), 2);
        EXPECT_EQ(engine->remainingSeconds(), 1);
        engine->setShowRemaining(true);
        EXPECT_EQ(engine->displayedSeconds(), 1);
        engine->setShowRemaining(false);
        const Rendered rest = renderToTheEnd();
        EXPECT_EQ(engine->elapsedSeconds(), 0) << "the file ended and stopped";
        rendered.left.insert(rendered.left.end(), rest.left.begin(), rest.left.end());
        rendered.right.insert(rendered.right.end(), rest.right.begin(), rest.right.end());
        ASSERT_GE(rendered.size(), reference.size() / 2);
        for (size_t frame = 0; frame < reference.size() / 2; ++frame)
        {
            ASSERT_EQ(rendered.left[frame], reference[frame * 2]) << frame;
            ASSERT_EQ(rendered.right[frame], reference[frame * 2 + 1]) << frame;
        }
        EXPECT_TRUE(silent(rendered.left, reference.size() / 2)) << "silence after the file";

        // The stop drained the decoder and rewound the file: Play starts the
        // same stream again from its first sample, and Stop clears the time.
        playAndWait();
        const Rendered again = render(MP3HalfStore::halfFrames + 22050);
        for (size_t frame = 0; frame < again.size(); ++frame)
            ASSERT_EQ(again.left[frame], reference[frame * 2]) << frame;
        engine->stop();
        EXPECT_EQ(engine->displayedSeconds(), 0);
    }
}

TEST_F(MP3PlayerEngineTest, PlayStartsOnlyWhileRunningAndRouted)
{
    const std::string path =
        folder.write("routed.mp3", {mp3test::encodeTone(2.0, 440.0, 660.0).bytes,
                                    mp3test::makeId3v1Tag("Song", "Band", "", "", "", 1, 0)});
    unit.SetSampleRate(48000.0f);
    engine->addFiles({path});
    for (const auto& [running, routed] : {std::pair{true, false}, std::pair{false, true}})
    {
        unit.m_bRunning = running;
        unit.m_bRouted = routed;
        playAndWait();
        // The title shows, nothing plays, and the next Play loads the file again.
        EXPECT_EQ(engine->title(), "Band-Song");
        EXPECT_EQ(engine->transportState(), MP3TransportState::Stopped);
        EXPECT_TRUE(engine->selectionPending());
    }
    unit.m_bRunning = true;
    playAndWait();
    EXPECT_EQ(engine->transportState(), MP3TransportState::Playing);
    EXPECT_FALSE(engine->selectionPending());
}

TEST_F(MP3PlayerEngineTest, PlayActsOnlyOnANewSelectionAndStopInPlayAllDoesNotAdvance)
{
    powerOn(48000.0f);
    // Each track's tone names it.
    const double toneOf[] = {0.0, 300.0, 500.0, 700.0};
    engine->addFiles({encodeFile("one.mp3", 2.0, 300.0, 300.0),
                      encodeFile("two.mp3", 2.0, 500.0, 500.0),
                      encodeFile("three.mp3", 2.0, 700.0, 700.0)});
    const auto expectTrack = [&](int index)
    {
        EXPECT_EQ(engine->currentIndex(), index);
        const Rendered rendered = render(24000);
        EXPECT_NEAR(rendered.left[0], 0.0f, 0.02f) << "from the start";
        expectTone(rendered, 2400, 24000, 48000, toneOf[index], toneOf[index]);
    };
    engine->selectEntry(1);
    // Play-all on: replacing the playing track must not count as its end.
    engine->setPlayAll(true);
    playAndWait();
    render(48000);
    playAndWait();
    EXPECT_EQ(engine->elapsedSeconds(), 1) << "nothing restarted";
    engine->selectEntry(3);
    playAndWait();
    EXPECT_EQ(engine->title(), "three.mp3");
    expectTrack(3);

    engine->stop();
    engine->waitUntilIdle();
    render(48000);
    EXPECT_EQ(engine->transportState(), MP3TransportState::Stopped);
    EXPECT_EQ(engine->currentIndex(), 3);
    // Play clears the user stop: the same entry again from its start, and
    // its end now advances, wrapping to the first.
    playAndWait();
    expectTrack(3);
    renderToTheEnd();
    engine->waitUntilIdle();
    expectTrack(1);
    EXPECT_EQ(engine->selectedIndex(), 1);
}

TEST_F(MP3PlayerEngineTest, MissingRandomAndEmptyFilesEndWithoutHanging)
{
    powerOn(48000.0f);
    engine->addFiles({folder.path("missing.mp3")});
    playAndWait();
    EXPECT_EQ(engine->title(), "Failed");
    EXPECT_EQ(engine->transportState(), MP3TransportState::Stopped);
    engine->removeSelected();
    playAndWait();
    EXPECT_EQ(engine->title(), "No File");

    // Nothing decodes: playback ends by itself and play-all moves on.
    engine->addFiles({folder.write("noise.mp3", {mp3test::randomBytes(50000, 3)}),
                      folder.write("empty.mp3", {})});
    engine->selectEntry(0);
    playAndWait();
    for (const int index : {1, 2})
    {
        EXPECT_EQ(engine->currentIndex(), index);
        const Rendered rendered = renderToTheEnd(20.0);
        for (float sample : rendered.left)
            ASSERT_LT(std::abs(sample), 1.0f);
        engine->waitUntilIdle();
    }
    EXPECT_EQ(engine->currentIndex(), 1) << "the list wrapped";
}

TEST_F(MP3PlayerEngineTest, LateRefillIsCountedAndPlaysSilenceNotStaleSamples)
{
    powerOn(44100.0f);
    engine->addFiles({encodeFile("late.mp3", 8.0, 440.0, 660.0)});
    playAndWait();
    engine->holdRefills(true);
    Rendered rendered;
    // Two halves play out; the first one is not refilled in time.
    render(2 * MP3HalfStore::halfFrames + 4096, rendered, false);
    EXPECT_EQ(engine->lateRefillCount(), 1u);
    EXPECT_TRUE(silent(rendered.left, 2 * MP3HalfStore::halfFrames));
    EXPECT_EQ(engine->elapsedSeconds(), 5); // 230400 frames at 44100 Hz
    engine->holdRefills(false);
    engine->waitUntilIdle();
    const Rendered resumed = render(44100);
    EXPECT_EQ(engine->lateRefillCount(), 1u);
    expectTone(resumed, 0, 44100, 44100, 440.0, 660.0);
}

TEST_F(MP3PlayerEngineTest, OperationsWhileAnAudioThreadRunsAndTeardownWhileBusy)
{
    // An audio thread pulls blocks without pause while the GUI side presses
    // buttons and the workers load, refill and advance: every hand-over is
    // exercised concurrently (the thread sanitizer build checks them).
    powerOn(48000.0f);
    const std::string path = encodeFile("busy.mp3", 1.0, 440.0, 660.0, {22050, 2, 64});
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
        const int step = round % 5;
        if (step == 0 || step == 3)
            engine->play();
        else if (step == 1)
            engine->pause();
        else if (step == 2)
            engine->selectEntry(1 + round % 3);
        else
            engine->stop();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    engine->play();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    running.store(false);
    audio.join();
    EXPECT_GT(blocks.load(), 0u);
    EXPECT_LT(largestSample, 1.0f);

    // Destroyed while playing with refills pending, and while a load runs:
    // both stop and join their threads.
    Rendered ignored;
    render(130000, ignored, false);
    engine = std::make_unique<MP3PlayerEngine>(unit);
    engine->addFiles({path});
    engine->play();
    engine.reset();
}

} // namespace
