#include "mixer/MixerEngine.h"
#include "mixer/MixerMeterReadings.h"
#include "mixer/MixerTestUnits.h"

#include "platform/Denormals.h"
#include "support/RealtimeTrap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

// Every stage of the block runs (all channels, compressor, equaliser, sends,
// returns, record feed, meters, long blocks in pieces, a device with too few
// outputs) while the GUI thread keeps recomputing equaliser coefficients: the
// audio thread must not allocate, free or block on a lock, and every block
// sees a whole set of coefficients, never a half-written one.
TEST(MixerRealtimeTest, ProcessNeverAllocatesOrLocks)
{
    platform::ScopedNoDenormals noDenormals;
    ConstantSource mp3, cd, vsti, loop, pads;
    ScalingEffect effect;
    CapturingRecorder recorder;
    MixerMeterReadings meters;
    MixerEngine engine;
    engine.setMeterSink(&meters);
    engine.SetSources(&mp3, &cd, &vsti, &effect, &recorder, &loop, &pads);
    engine.SetSampleRate(48000.0f);
    auto& controls = engine.controls();
    for (int channel = 0; channel < MixerControlState::kChannelCount; ++channel)
    {
        controls.channels[channel].source =
            MixerControlState::isMonoChannel(channel) ? channel + 1 : channel - 1;
        controls.channels[channel].fader = 90;
        controls.channels[channel].preFaderSend = 50;
        controls.channels[channel].postFaderSend = 50;
        controls.channels[channel].toOutputPairTwo = true;
        controls.channels[channel].compressorOn = true;
    }
    controls.returnLevel[0] = 80;
    controls.returnLevel[1] = 80;
    controls.recordLevel = 100;
    controls.recordFromOutputPairOne = true;
    controls.recordFromOutputPairTwo = true;
    for (auto& master : controls.masterLevel)
        master = 100;

    const long longest = 5000;
    std::vector<std::vector<float>> inputs(4, std::vector<float>(longest, 0.3f));
    std::vector<std::vector<float>> outputs(4, std::vector<float>(longest));
    std::array<float*, 4> in{inputs[0].data(), inputs[1].data(), inputs[2].data(),
                             inputs[3].data()};
    std::array<float*, 4> out{outputs[0].data(), outputs[1].data(), outputs[2].data(),
                              outputs[3].data()};

    // Channel 1's high band swings between -12 and +12 dB.
    auto wholeSet = [](int gainDb)
    {
        CFxRbjFilter filter;
        filter.calc_filter_coeffs(CFxRbjFilter::PeakingEqualiser, 6000.0, 48000.0, 1.0, gainDb,
                                  false);
        filter.acquireCoefficients();
        return filter.activeCoefficients();
    };
    const std::array<CFxRbjFilter::Coefficients, 4> wholeSets{
        CFxRbjFilter::Coefficients{}, wholeSet(0), wholeSet(-12), wholeSet(12)};
    auto isWhole = [&](const CFxRbjFilter::Coefficients& active)
    {
        return std::ranges::any_of(wholeSets,
                                   [&](const CFxRbjFilter::Coefficients& set)
                                   {
                                       return set.b0 == active.b0 && set.b1 == active.b1 &&
                                              set.b2 == active.b2 && set.a1 == active.a1 &&
                                              set.a2 == active.a2;
                                   });
    };
    std::atomic<bool> stop{false};
    std::thread gui(
        [&]
        {
            for (int step = 0; !stop.load(); ++step)
            {
                engine.SetEqualiserGain(0, 0, step % 2 == 0 ? 12 : -12);
                engine.SetEqualiserGain(step % 7, 1 + step % 2, step % 31 - 15);
            }
        });

    int tornBlocks = 0;
    realtime_trap::resetCounts();
    {
        realtime_trap::ScopedArm arm;
        for (int block = 0; block < 200; ++block)
        {
            const long frames = block % 10 == 9 ? longest : 256;
            const long numOut = block % 7 == 6 ? 1 : 4;
            engine.Process(in.data(), out.data(), 4, numOut, frames);
            tornBlocks += isWhole(engine.equaliserFilter(0, 0).activeCoefficients()) ? 0 : 1;
        }
    }
    stop.store(true);
    gui.join();
    EXPECT_EQ(realtime_trap::allocations(), 0u);
    EXPECT_EQ(realtime_trap::deallocations(), 0u);
    EXPECT_EQ(realtime_trap::blockingLocks(), 0u);
    EXPECT_EQ(tornBlocks, 0);
    EXPECT_GT(meters.readingCount(0), 0u);
    EXPECT_GT(recorder.processCalls, 0);
}
