#include "mixer/MixerEngine.h"
#include "mixer/MixerMeterReadings.h"
#include "mixer/MixerTestUnits.h"

#include "platform/Denormals.h"
#include "support/RealtimeTrap.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

// Every stage of the block runs (all channels, compressor, equaliser, sends,
// returns, record feed, meters, long blocks in pieces, a device with too few
// outputs) while the GUI thread keeps recomputing equaliser coefficients: the
// audio thread must not allocate, free or block on a lock.
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

    std::atomic<bool> stop{false};
    std::thread gui(
        [&]
        {
            for (int step = 0; !stop.load(); ++step)
                engine.SetEqualiserGain(step % 7, step % 3, step % 31 - 15);
        });

    realtime_trap::resetCounts();
    {
        realtime_trap::ScopedArm arm;
        for (int block = 0; block < 200; ++block)
        {
            const long frames = block % 10 == 9 ? longest : 256;
            const long numOut = block % 7 == 6 ? 1 : 4;
            engine.Process(in.data(), out.data(), 4, numOut, frames);
        }
    }
    stop.store(true);
    gui.join();
    EXPECT_EQ(realtime_trap::allocations(), 0u);
    EXPECT_EQ(realtime_trap::deallocations(), 0u);
    EXPECT_EQ(realtime_trap::blockingLocks(), 0u);
    EXPECT_GT(meters.readingCount(0), 0u);
    EXPECT_GT(recorder.processCalls, 0);
}
