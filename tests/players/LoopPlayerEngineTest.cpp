// The loop player's engine driven block by block as the mixer would, with the
// real-time trap armed around every block: sample-exact loops, the end of a
// file that does not loop, rate conversion against a one-shot conversion,
// wide files, slot switches with refills held back or to a file that has
// gone, and which files a slot takes. (Seams of converted loops heard at the
// device: the loop journey.)

#include "players/LoopPlayerEngine.h"
#include "support/RealtimeTrap.h"
#include "support/Tones.h"

#include <gtest/gtest.h>
#include <samplerate.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

namespace
{

using testkit::Recording;

constexpr long kBlock = 512;

struct Rendered
{
    std::vector<float> left, right;
};

class EndListener : public LoopPlayerListener
{
public:
    void playbackEnded() override { ++ended; }
    std::atomic<int> ended{0};
};

class LoopPlayerEngineTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        realtime_trap::resetCounts();
        unit.m_bRunning = unit.m_bRouted = true;
        engine.setListener(&listener);
    }
    // Every block of every test: no allocation, free or lock on the audio thread.
    void TearDown() override
    {
        engine.setListener(nullptr);
        EXPECT_EQ(realtime_trap::allocations() + realtime_trap::deallocations() +
                      realtime_trap::blockingLocks(),
                  0u);
    }

    // A file of the given channels at `rate`, as 32-bit float WAV unless told.
    std::string write(const std::string& name, int rate, std::vector<std::vector<float>> channels,
                      int format = SF_FORMAT_WAV | SF_FORMAT_FLOAT)
    {
        const std::string path = folder.path(name);
        EXPECT_TRUE(testkit::writeSoundFile(path, Recording{rate, std::move(channels)}, format));
        return path;
    }

    // Loads the file into `slot`, makes it current and starts it.
    void play(int slot, const std::string& path, bool loop, double deviceRate = 48000.0)
    {
        engine.prepare(deviceRate);
        ASSERT_TRUE(engine.loadSlot(slot, path));
        engine.setCurrentSlot(slot);
        engine.setLoop(loop);
        ASSERT_TRUE(engine.start());
    }

    // Plays blocks; lets the refill worker finish after each unless told not to.
    Rendered render(size_t frames, bool waitForWorkers = true)
    {
        Rendered rendered;
        std::vector<float> left(kBlock), right(kBlock);
        float* outputs[2] = {left.data(), right.data()};
        while (rendered.left.size() < frames)
        {
            {
                const realtime_trap::ScopedArm audioThread;
                engine.process(nullptr, outputs, 0, 2, kBlock);
            }
            rendered.left.insert(rendered.left.end(), left.begin(), left.end());
            rendered.right.insert(rendered.right.end(), right.begin(), right.end());
            if (waitForWorkers)
                engine.waitUntilIdle();
        }
        rendered.left.resize(frames);
        rendered.right.resize(frames);
        return rendered;
    }

    testkit::TemporaryFolder folder;
    testkit::StubRackUnit unit;
    LoopPlayerEngine engine{unit};
    EndListener listener;
};

// Distinct values, so any repeated, dropped or misplaced frame shows.
std::vector<float> ramp(size_t frames, float scale = 1.0f)
{
    std::vector<float> samples(frames);
    for (size_t frame = 0; frame < frames; ++frame)
        samples[frame] = scale * static_cast<float>(frame + 1) / static_cast<float>(frames + 1);
    return samples;
}

TEST_F(LoopPlayerEngineTest, LoopRepeatsWithPeriodExactlyTheFileLength)
{
    // 1000 frames (the old wrap at total - 1 played 999) on a mono file:
    // both sides carry the file.
    const std::vector<float> file = ramp(1000);
    play(0, write("thousand.wav", 48000, {file}), true);
    const Rendered out = render(10 * 1000);
    for (size_t n = 0; n < out.left.size(); ++n)
        ASSERT_EQ(out.left[n], file[n % 1000]) << "frame " << n;
    EXPECT_EQ(out.left, out.right);
    EXPECT_EQ(engine.lateRefillCount(), 0u);
}

TEST_F(LoopPlayerEngineTest, FileThatDoesNotLoopPlaysOnceThenStops)
{
    // Longer than one half of the store, so the end falls in a refilled half.
    const size_t frames = MP3HalfStore::halfFrames + 1234;
    const std::vector<float> file = ramp(frames);
    play(0, write("once.wav", 48000, {file, ramp(frames, -1.0f)}), false);
    const Rendered out = render(frames + 3 * MP3HalfStore::halfFrames);
    for (size_t n = 0; n < frames; ++n)
        ASSERT_EQ(out.left[n], file[n]) << "frame " << n;
    EXPECT_TRUE(std::all_of(out.left.begin() + static_cast<long>(frames), out.left.end(),
                            [](float sample) { return sample == 0.0f; }));
    EXPECT_LT(out.right[frames - 1], 0.0f) << "the second channel is the right side";
    EXPECT_FALSE(engine.playing());
    EXPECT_EQ(listener.ended.load(), 1);

    // Switching the loop on after the end was read starts the file again
    // from its first frame instead of sitting silent.
    play(0, engine.slotPath(0), false);
    render(frames - 2000);
    engine.setLoop(true);
    const Rendered again = render(MP3HalfStore::halfFrames * 4);
    EXPECT_TRUE(engine.playing());
    const auto restart = std::find(again.left.begin(), again.left.end(), file[0]);
    ASSERT_NE(restart, again.left.end());
    const size_t at = static_cast<size_t>(restart - again.left.begin());
    for (size_t n = 0; n < 5000; ++n)
        ASSERT_EQ(again.left[at + n], file[n]) << "frame " << n;
}

TEST_F(LoopPlayerEngineTest, ConversionMatchesAOneShotConversionAndKeepsEveryFrame)
{
    // 44.1 → 48 kHz: one converter across the halves gives what one
    // conversion of the whole file gives (halves converted one by one
    // left an error of -21 dBFS at every seam).
    const size_t frames = 3 * 44100;
    const std::vector<float> file = testkit::makeSine(44100, frames, 997.0, 0.5);
    play(0, write("cd.wav", 44100, {file}), false, 48000.0);
    const Rendered out = render(frames * 48000 / 44100 + 48000);
    std::vector<float> stereo(frames * 2), reference(frames * 2 * 2);
    for (size_t frame = 0; frame < frames; ++frame)
        stereo[frame * 2] = stereo[frame * 2 + 1] = file[frame];
    SRC_DATA request{};
    request.data_in = stereo.data();
    request.input_frames = static_cast<long>(frames);
    request.data_out = reference.data();
    request.output_frames = static_cast<long>(frames * 2);
    request.src_ratio = 48000.0 / 44100.0;
    ASSERT_EQ(src_simple(&request, SRC_SINC_FASTEST, 2), 0);
    float largestError = 0.0f;
    for (size_t n = 0; n + 2000 < static_cast<size_t>(request.output_frames_gen); ++n)
        largestError = std::max(largestError, std::abs(out.left[n] - reference[n * 2]));
    EXPECT_LT(largestError, 1e-4f);

    // 22050 → 96000: ratio 4.354, beyond three times a half; every input
    // frame arrives, so the output is 4.354 times as long (± 1 %).
    const size_t lowFrames = 2 * 22050;
    play(1, write("low.wav", 22050, {std::vector<float>(lowFrames, 0.5f)}), false, 96000.0);
    const Rendered low = render(lowFrames * 5);
    const auto last = std::find_if(low.left.rbegin(), low.left.rend(),
                                   [](float sample) { return sample > 0.25f; });
    const double played = static_cast<double>(low.left.rend() - last);
    EXPECT_NEAR(played / lowFrames, 96000.0 / 22050.0, 0.01 * 96000.0 / 22050.0);
}

TEST_F(LoopPlayerEngineTest, WideFilesPlayTheirFirstTwoChannels)
{
    // Six channels of 24-bit PCM, each at its own level.
    std::vector<std::vector<float>> channels;
    for (int channel = 0; channel < 6; ++channel)
        channels.push_back(std::vector<float>(60000, 0.125f * static_cast<float>(channel + 1)));
    play(0, write("six.wav", 48000, channels, SF_FORMAT_WAV | SF_FORMAT_PCM_24), true);
    const Rendered out = render(200000);
    EXPECT_TRUE(std::all_of(out.left.begin(), out.left.end(), [](float s) { return s == 0.125f; }));
    EXPECT_TRUE(
        std::all_of(out.right.begin(), out.right.end(), [](float s) { return s == 0.25f; }));
}

TEST_F(LoopPlayerEngineTest, SlotSwitchPlaysOnlyTheNewFileAndAGoneFileStopsNothing)
{
    const size_t frames = 3 * MP3HalfStore::halfFrames;
    play(0, write("old.wav", 48000, {std::vector<float>(frames, 0.25f)}), true);
    ASSERT_TRUE(engine.loadSlot(1, write("new.wav", 48000, {std::vector<float>(frames, -0.5f)})));
    // Play past the first half with its refill held back, then switch.
    engine.holdRefills(true);
    const Rendered before = render(MP3HalfStore::halfFrames + kBlock, false);
    EXPECT_EQ(before.left.front(), 0.25f);
    engine.setCurrentSlot(1);
    ASSERT_TRUE(engine.start());
    const Rendered held = render(MP3HalfStore::halfFrames / 2, false);
    engine.holdRefills(false);
    const Rendered after = render(4 * MP3HalfStore::halfFrames);
    for (const Rendered* part : {&held, &after})
        EXPECT_TRUE(std::all_of(part->left.begin(), part->left.end(),
                                [](float sample) { return sample == -0.5f; }));

    // A slot whose file has gone since it was loaded is refused, and the
    // file playing goes on.
    const std::string gone = write("gone.wav", 48000, {std::vector<float>(frames, 0.75f)});
    ASSERT_TRUE(engine.loadSlot(2, gone));
    std::filesystem::remove(gone);
    engine.setCurrentSlot(2);
    EXPECT_FALSE(engine.start());
    EXPECT_TRUE(engine.playing());
    EXPECT_EQ(render(kBlock).left.back(), -0.5f);
}

TEST_F(LoopPlayerEngineTest, SlotsTakeSoundFilesButNotEmptyOrMp3Files)
{
    const std::vector<float> tone = testkit::makeSine(44100, 4410, 441.0, 0.5);
    struct Case
    {
        const char* name;
        int format;
        bool accepted;
    };
    const Case cases[] = {
        {"tone.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, true},
        {"tone.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, true},
        {"tone.opus", SF_FORMAT_OGG | SF_FORMAT_OPUS, true},
        {"tone.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, true},
        {"tone.au", SF_FORMAT_AU | SF_FORMAT_PCM_16, true},
        // A WAV named .mp3 is refused by name; libsndfile's MP3 lengths are unreliable.
        {"tone.mp3", SF_FORMAT_WAV | SF_FORMAT_PCM_16, false},
    };
    for (const Case& test : cases)
    {
        const int rate = (test.format & SF_FORMAT_SUBMASK) == SF_FORMAT_OPUS ? 48000 : 44100;
        const std::string path = write(test.name, rate, {tone}, test.format);
        EXPECT_EQ(LoopPlayerEngine::acceptsFile(path), test.accepted) << test.name;
    }
    EXPECT_FALSE(LoopPlayerEngine::acceptsFile(write("empty.wav", 44100, {{}})));
    EXPECT_FALSE(LoopPlayerEngine::acceptsFile(folder.write("junk.wav", {{1, 2, 3, 4}})));
    EXPECT_FALSE(engine.loadSlot(2, folder.path("missing.wav")));
    EXPECT_FALSE(engine.slotReady(2));

    // Not running or not routed: nothing starts.
    ASSERT_TRUE(engine.loadSlot(0, folder.path("tone.flac")));
    engine.setCurrentSlot(0);
    unit.m_bRouted = false;
    EXPECT_FALSE(engine.start());
    EXPECT_FALSE(engine.playing());
}

} // namespace
