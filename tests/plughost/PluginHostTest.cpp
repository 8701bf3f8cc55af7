// Hosting VST plug-ins: loading every shape of the project's test plug-in,
// the channel adaptation, swaps while blocks run, rate changes, MIDI events
// and the host's transport. Every test ends with no rule break counted by
// any test plug-in (configuration inside a block, a block while suspended,
// overlapping dispatcher calls).

#include "TestPlugins.h"
#include "plughost/CMVST.h"
#include "plughost/PluginSlot.h"
#include "support/RealtimeTrap.h"
#include "support/Tones.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

namespace
{

using Result = PluginSlot::LoadResult;

// Five whole periods of the 1 kHz test tone at 48 kHz.
constexpr long kBlock = 240;

class PluginHostTest : public ::testing::Test
{
protected:
    // Reading the counts keeps every test plug-in loaded from here on.
    void SetUp() override { ASSERT_EQ(testplugins::allRuleBreaks(), 0); }
    void TearDown() override { EXPECT_EQ(testplugins::allRuleBreaks(), 0); }
};

PluginSlot::LoadOutcome loadInto(PluginSlot& slot, const std::string& path)
{
    PluginSlot::LoadOutcome result;
    slot.setLoadFinished([&](const std::string&, const PluginSlot::LoadOutcome& outcome)
                         { result = outcome; });
    slot.requestLoad(path);
    slot.waitForLoads();
    slot.setLoadFinished(nullptr);
    return result;
}

// A 1 kHz sine of peak 0.5 on both sends, and two return buffers.
struct StereoBlock
{
    explicit StereoBlock(long frames = kBlock)
        : left(testkit::makeSine(48000, static_cast<size_t>(frames), 1000.0, 0.5)), right(left),
          outLeft(left.size(), 9.0f), outRight(left.size(), 9.0f)
    {
    }
    std::vector<float> left, right, outLeft, outRight;
    std::array<float*, 2> in{left.data(), right.data()};
    std::array<float*, 2> out{outLeft.data(), outRight.data()};
};

TEST_F(PluginHostTest, LoadsEveryShapeAndFailsCleanly)
{
    struct Case
    {
        const char* plugin;
        Result result;
        const char* name;
    };
    const Case cases[] = {
        {testplugins::kGain, Result::Loaded, "Test Gain"},
        // No name: the file name without its folder; entry only as "main".
        {testplugins::kGainMono, Result::Loaded, "testgain_mono.so"},
        {testplugins::kWide, Result::Loaded, "Test 2x6"},
        {testplugins::kQuad, Result::Loaded, "Test 4x2"},
        {testplugins::kInstrument, Result::Rejected, "Test Synth"},
        {testplugins::kThrows, Result::Failed, nullptr},
        {testplugins::kBadMagic, Result::Failed, nullptr},
        {testplugins::kNoEntry, Result::Failed, nullptr},
    };
    for (const Case& test : cases)
    {
        SCOPED_TRACE(test.plugin);
        PluginSlot slot(kBlock, false);
        slot.setSampleRate(48000.0f);
        const PluginSlot::LoadOutcome outcome = loadInto(slot, testplugins::path(test.plugin));
        EXPECT_EQ(outcome.result, test.result);
        if (test.name != nullptr)
        {
            EXPECT_EQ(outcome.name, test.name);
        }
        EXPECT_EQ(slot.published(), test.result == Result::Loaded);
        if (test.result != Result::Loaded)
        {
            EXPECT_FALSE(slot.plugin().isLoaded());
        }
    }
    PluginSlot missing(kBlock, false);
    EXPECT_EQ(loadInto(missing, "/nonexistent/plugin.so").result, Result::Failed);

    // The host answered the entry call before it had the effect: its
    // version (2.4) and the rate the slot runs at, not a default.
    const TestPluginCounts& gain = testplugins::counts(testplugins::kGain);
    EXPECT_EQ(gain.hostVersionAtEntry.load(), 2400);
    EXPECT_EQ(gain.hostRateAtEntry.load(), 48000);
    // The plug-in that threw is gone again: only the bad-magic one leaks its
    // instance, because its structure cannot be trusted to close.
    EXPECT_EQ(testplugins::counts(testplugins::kThrows).instances.load(), 0);
}

// Channel counts: every shape returns gain 0.5 × the send on both sides, so
// a 0.5-peak sine comes back at RMS 0.25/√2 = 0.1768. The 2-in/6-out one
// writes its extra outputs to scratch, the 4-in one reads zeros for inputs
// 3-4, the mono one (accumulating) reaches both sides.
TEST_F(PluginHostTest, EveryShapeReturnsTheGainOnBothSides)
{
    for (const char* plugin :
         {testplugins::kGain, testplugins::kGainMono, testplugins::kWide, testplugins::kQuad})
    {
        SCOPED_TRACE(plugin);
        PluginSlot slot(kBlock, false);
        ASSERT_EQ(loadInto(slot, testplugins::path(plugin)).result, Result::Loaded);
        StereoBlock block;
        ASSERT_TRUE(slot.process(block.in.data(), 2, block.out.data(), 2, kBlock));
        EXPECT_NEAR(testkit::rms(block.outLeft), 0.25 / std::sqrt(2.0), 1e-4);
        EXPECT_NEAR(testkit::rms(block.outRight), 0.25 / std::sqrt(2.0), 1e-4);
        EXPECT_EQ(block.outLeft[100], block.left[100] * 0.5f);
    }
    // Blocks longer than the plug-in was configured for go in pieces.
    PluginSlot small(64, false);
    ASSERT_EQ(loadInto(small, testplugins::path(testplugins::kGain)).result, Result::Loaded);
    StereoBlock block(1000);
    const int before = testplugins::counts(testplugins::kGain).blocks.load();
    ASSERT_TRUE(small.process(block.in.data(), 2, block.out.data(), 2, 1000));
    EXPECT_EQ(testplugins::counts(testplugins::kGain).blocks.load() - before, 16); // ⌈1000/64⌉
    EXPECT_EQ(block.outRight[999], block.right[999] * 0.5f);
}

// Swaps while an audio thread runs blocks: the audio thread never processes
// a plug-in being unloaded or configured (the plug-ins count that), and
// neither allocates nor waits.
TEST_F(PluginHostTest, SwapsWhileBlocksRunWithoutRuleBreaksOrAudioThreadWaits)
{
    PluginSlot slot(kBlock, false);
    ASSERT_EQ(loadInto(slot, testplugins::path(testplugins::kGain)).result, Result::Loaded);
    std::atomic<bool> stop{false};
    std::atomic<long> blocks{0};
    std::atomic<size_t> allocations{0}, locks{0};
    std::thread audio(
        [&]
        {
            StereoBlock block;
            realtime_trap::resetCounts();
            {
                const realtime_trap::ScopedArm arm;
                while (!stop.load())
                {
                    slot.process(block.in.data(), 2, block.out.data(), 2, kBlock);
                    blocks.fetch_add(1);
                }
            }
            allocations = realtime_trap::allocations() + realtime_trap::deallocations();
            locks = realtime_trap::blockingLocks();
        });
    const char* shapes[] = {testplugins::kGain, testplugins::kWide, testplugins::kQuad,
                            testplugins::kGainMono};
    constexpr int kSwaps = 1000;
    for (int swap = 0; swap < kSwaps; ++swap)
    {
        slot.requestLoad(testplugins::path(shapes[swap % 4]));
        slot.waitForLoads();
        if (swap % 50 == 0)
            slot.setSampleRate(swap % 100 == 0 ? 48000.0f : 44100.0f);
    }
    stop = true;
    audio.join();
    EXPECT_GT(blocks.load(), kSwaps);
    EXPECT_EQ(allocations.load(), 0u);
    EXPECT_EQ(locks.load(), 0u);
}

// Only the last of several choices made during a slow load stays loaded.
TEST_F(PluginHostTest, ChoicesDuringALoadAreLoadedAfterIt)
{
    PluginSlot slot(kBlock, false);
    std::vector<std::string> finished;
    slot.setLoadFinished([&](const std::string& path, const PluginSlot::LoadOutcome&)
                         { finished.push_back(path); });
    slot.requestLoad(testplugins::path(testplugins::kSlow));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(slot.loading());
    slot.requestLoad(testplugins::path(testplugins::kQuad));
    slot.requestLoad(testplugins::path(testplugins::kWide));
    slot.waitForLoads();
    ASSERT_EQ(finished.size(), 2u);
    EXPECT_EQ(finished[1], testplugins::path(testplugins::kWide));
    EXPECT_EQ(slot.plugin().numOutputs(), 6);
}

// Rate changes reach the plug-in as suspend, rate and block size, resume;
// GetSampleRate answers the new rate; the transport advances by each block.
TEST_F(PluginHostTest, RateBlockSizeAndTransportReachThePlugin)
{
    TestPluginCounts& counts = testplugins::counts(testplugins::kGain);
    PluginSlot slot(2048, false);
    ASSERT_EQ(loadInto(slot, testplugins::path(testplugins::kGain)).result, Result::Loaded);
    EXPECT_EQ(counts.lastSampleRate.load(), 44100.0f);
    EXPECT_EQ(counts.lastBlockSize.load(), 2048);
    slot.setSampleRate(96000.0f);
    EXPECT_EQ(counts.lastSampleRate.load(), 96000.0f);
    EXPECT_EQ(slot.plugin().hostSampleRate(), 96000.0f);
    EXPECT_TRUE(slot.plugin().mainsOn());
    slot.setSampleRate(0.0f); // stopped: kept
    EXPECT_EQ(slot.sampleRate(), 96000.0f);

    StereoBlock block;
    for (int index = 0; index < 3; ++index)
        slot.process(block.in.data(), 2, block.out.data(), 2, kBlock);
    EXPECT_EQ(counts.lastTimePosition.load(), 2.0 * kBlock);
}

// An instrument slot: queued MIDI reaches the plug-in through effProcessEvents
// with its next block, without an allocation on the audio thread.
TEST_F(PluginHostTest, MidiReachesAnInstrumentWithItsNextBlock)
{
    TestPluginCounts& counts = testplugins::counts(testplugins::kInstrument);
    PluginSlot slot(kBlock, true);
    ASSERT_EQ(loadInto(slot, testplugins::path(testplugins::kInstrument)).result, Result::Loaded);
    EXPECT_TRUE(slot.plugin().isInstrument());
    const int before = counts.midiEvents.load();
    slot.plugin().AddMidiMessages(char(0x90), 60, 100, 48000.0f, 0);
    slot.plugin().AddMidiMessages(char(0x80), 60, 0, 48000.0f, 0);
    const char sysex[] = {char(0xF0), 0x7E, 0x7F, 0x09, 0x01, char(0xF7)};
    slot.plugin().AddSysexMessages(sysex, sizeof(sysex), 48000.0f, 0);
    StereoBlock block;
    realtime_trap::resetCounts();
    {
        const realtime_trap::ScopedArm arm;
        slot.process(nullptr, 0, block.out.data(), 2, kBlock);
    }
    EXPECT_EQ(realtime_trap::violations(), 0u);
    EXPECT_EQ(counts.midiEvents.load() - before, 3);
    EXPECT_EQ(block.outLeft[0], 0.25f);
}

} // namespace
