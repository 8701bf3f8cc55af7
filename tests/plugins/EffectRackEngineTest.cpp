// The dual effect rack's engine, headless: the aux loops through the test
// gain plug-in (0.5-peak sine, gain 0.5: RMS 0.25/√2 = 0.1768 on the return,
// meters -6.02 dB in and -12.04 dB out), silent returns for slots that are
// off, empty or hold an instrument, the display texts of every outcome, odd
// channel counts in slot 2, the rate reaching the plug-ins. No allocation or
// lock on the audio thread; no rule break counted by any test plug-in.

#include "plugins/EffectRackEngine.h"
#include "TestPlugins.h"
#include "support/RealtimeTrap.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <numbers>
#include <vector>

namespace
{

using State = EffectRackEngine::SlotState;

// Five whole periods of 1 kHz at 48 kHz.
constexpr long kFrames = 240;
constexpr double kRate = 48000.0;

class EffectRackEngineTest : public ::testing::Test
{
protected:
    // Reading the counts keeps every test plug-in loaded from here on.
    void SetUp() override { ASSERT_EQ(testplugins::allRuleBreaks(), 0); }
    void TearDown() override { EXPECT_EQ(testplugins::allRuleBreaks(), 0); }

    void load(int slot, const char* plugin)
    {
        engine.loadPlugin(slot, testplugins::path(plugin));
        engine.waitForLoads();
    }

    // One block: a 0.5-peak sine on both sends, returns filled with junk
    // first (a slot that does not process must clear them).
    void runBlock()
    {
        for (size_t channel = 0; channel < 4; ++channel)
        {
            sends[channel].resize(kFrames);
            returns[channel].assign(kFrames, 0.7f);
            for (size_t frame = 0; frame < kFrames; ++frame)
                sends[channel][frame] = static_cast<float>(
                    0.5 * std::sin(2.0 * std::numbers::pi * 1000.0 * frame / kRate));
            in[channel] = sends[channel].data();
            out[channel] = returns[channel].data();
        }
        realtime_trap::resetCounts();
        {
            const realtime_trap::ScopedArm arm;
            engine.process(in.data(), out.data(), 4, 4, kFrames);
        }
        EXPECT_EQ(realtime_trap::violations(), 0u);
    }

    double returnRms(size_t channel) const
    {
        double sum = 0.0;
        for (float sample : returns[channel])
            sum += static_cast<double>(sample) * sample;
        return std::sqrt(sum / kFrames);
    }

    EffectRackEngine engine;
    std::array<std::vector<float>, 4> sends, returns;
    std::array<float*, 4> in{}, out{};
};

TEST_F(EffectRackEngineTest, GainPluginOnSlotOneReturnsTheComputedLevelAndMeters)
{
    EXPECT_EQ(engine.slotText(0), "No VST plug-in");
    load(0, testplugins::kGain);
    EXPECT_EQ(engine.slotText(0), "Test Gain");
    engine.setSlotOn(0, true);
    engine.setSlotOn(1, true); // on but empty
    runBlock();
    EXPECT_NEAR(returnRms(0), 0.1768, 1e-4);
    EXPECT_NEAR(returnRms(1), 0.1768, 1e-4);
    EXPECT_EQ(returnRms(2), 0.0);
    EXPECT_EQ(returnRms(3), 0.0);
    // The sine's largest sample in 240 frames at 48 kHz is its peak (frame 12).
    EXPECT_NEAR(engine.inputPeakDb(0), -6.02, 0.01);
    EXPECT_NEAR(engine.outputPeakDb(0), -12.04, 0.01);
    EXPECT_NEAR(engine.inputPeakDb(1), -6.02, 0.01);
    EXPECT_NEAR(engine.outputPeakDb(1), -120.0, 0.01);
}

// What each slot shows and returns, by what was loaded and its switch. A
// slot that is off still meters its send.
TEST_F(EffectRackEngineTest, SlotTextsAndSilentReturnsByOutcome)
{
    struct Case
    {
        const char* plugin;
        bool on;
        State state;
        const char* text;
        double returnRms;
    };
    const Case cases[] = {
        {testplugins::kGain, false, State::Loaded, "Test Gain", 0.0},
        {testplugins::kInstrument, true, State::Unsupported, "Unsupported VST", 0.0},
        {testplugins::kThrows, true, State::Failed, "Failed", 0.0},
        {testplugins::kBadMagic, true, State::Failed, "Failed", 0.0},
        {testplugins::kNoEntry, true, State::Failed, "Failed", 0.0},
        // Slot 2 with odd channel counts: extra outputs, extra inputs, one
        // output copied to the right.
        {testplugins::kWide, true, State::Loaded, "Test 2x6", 0.1768},
        {testplugins::kQuad, true, State::Loaded, "Test 4x2", 0.1768},
        {testplugins::kGainMono, true, State::Loaded, "testgain_mono.so", 0.1768},
    };
    for (const Case& test : cases)
    {
        SCOPED_TRACE(test.plugin);
        load(1, test.plugin);
        EXPECT_EQ(engine.slotState(1), test.state);
        EXPECT_EQ(engine.slotText(1), test.text);
        engine.setSlotOn(1, test.on);
        runBlock();
        EXPECT_NEAR(returnRms(2), test.returnRms, 1e-4);
        EXPECT_NEAR(returnRms(3), test.returnRms, 1e-4);
        EXPECT_NEAR(engine.inputPeakDb(1), -6.02, 0.01);
    }
    engine.loadPlugin(1, "/nonexistent/effect.so");
    EXPECT_EQ(engine.slotText(1), "Loading...");
    engine.waitForLoads();
    EXPECT_EQ(engine.slotText(1), "Failed");
}

// Plug-ins load at 44100 Hz before power-on; power-on brings the device's
// rate and the block size the rack promises.
TEST_F(EffectRackEngineTest, RateReachesLoadedAndLaterPlugins)
{
    TestPluginCounts& counts = testplugins::counts(testplugins::kGain);
    load(0, testplugins::kGain);
    EXPECT_EQ(counts.lastSampleRate.load(), 44100.0f);
    EXPECT_EQ(counts.lastBlockSize.load(), EffectRackEngine::kPluginBlockSize);
    engine.prepare(96000.0);
    EXPECT_EQ(counts.lastSampleRate.load(), 96000.0f);
    engine.prepare(0.0);
    load(1, testplugins::kGain);
    EXPECT_EQ(counts.lastSampleRate.load(), 96000.0f);
    // Idle calls reach both loaded plug-ins.
    const int idles = counts.idles.load();
    engine.idle();
    EXPECT_EQ(counts.idles.load() - idles, 2);
}

} // namespace
