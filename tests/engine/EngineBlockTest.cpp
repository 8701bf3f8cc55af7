#include "engine/EngineBlock.h"
#include "support/RealtimeTrap.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace
{

// A chain unit that writes a constant into every output and records its calls.
class ConstantSource : public RackProcessor
{
public:
    explicit ConstantSource(float value, EngineBlock* watched = nullptr)
        : m_value(value), m_watched(watched)
    {
    }
    void Process(float**, float** out, long, long numOut, long frames) override
    {
        ++calls;
        lastFrames = frames;
        if (m_watched)
            sawChainBusy = !m_watched->m_bChainIdle.load();
        for (long channel = 0; channel < numOut; ++channel)
            for (long frame = 0; frame < frames; ++frame)
                out[channel][frame] = m_value;
    }
    int calls = 0;
    long lastFrames = 0;
    bool sawChainBusy = false;

private:
    float m_value;
    EngineBlock* m_watched;
};

// Doubles the outputs in place, as the post-processor works on them.
class Doubler : public RackProcessor
{
public:
    void Process(float**, float** out, long, long numOut, long frames) override
    {
        for (long channel = 0; channel < numOut; ++channel)
            for (long frame = 0; frame < frames; ++frame)
                out[channel][frame] *= 2.0f;
    }
};

struct Buffers
{
    Buffers(long channels, long frames)
        : storage(static_cast<size_t>(channels), std::vector<float>(static_cast<size_t>(frames)))
    {
        for (auto& channel : storage)
            pointers.push_back(channel.data());
    }
    float** data() { return pointers.data(); }
    std::vector<std::vector<float>> storage;
    std::vector<float*> pointers;
};

TEST(EngineBlock, RunsTheChainThenThePostProcessorThenClipsAndMetersInRealTime)
{
    EngineBlock engine;
    ConstantSource mixer(0.75f, &engine);
    Doubler equaliser;
    engine.setChain(&mixer, &equaliser);
    Buffers in(4, 256), out(4, 256);
    engine.prepare(48000.0);
    engine.process(in.data(), out.data(), 4, 4, 256);

    EXPECT_EQ(mixer.calls, 1);
    EXPECT_EQ(mixer.lastFrames, 256);
    EXPECT_TRUE(mixer.sawChainBusy);
    EXPECT_TRUE(engine.m_bChainIdle);
    // 0.75 doubled is 1.5: sent as 1.0, metered before clipping.
    for (const auto& channel : out.storage)
        for (float sample : channel)
            ASSERT_EQ(sample, 1.0f);
    for (int channel = 0; channel < 4; ++channel)
        EXPECT_NEAR(engine.meterDb(channel), 20.0 * std::log10(1.5), 1e-4);

    // With the tick on too, no block allocates or locks on the audio thread.
    engine.m_bTickOn = true;
    realtime_trap::resetCounts();
    {
        realtime_trap::ScopedArm arm;
        for (int block = 0; block < 1000; ++block)
            engine.process(in.data(), out.data(), 4, 4, 256);
    }
    EXPECT_EQ(realtime_trap::violations(), 0u);
}

TEST(EngineBlock, StereoDeviceMetersAndTicksOnlyItsTwoOutputs)
{
    EngineBlock engine;
    ConstantSource mixer(-2.0f);
    engine.setChain(&mixer, nullptr);
    engine.m_bTickOn = true;
    Buffers in(2, 64), out(2, 64);
    engine.prepare(44100.0);
    engine.process(in.data(), out.data(), 2, 2, 64);
    EXPECT_EQ(out.storage[0][10], -1.0f);
    EXPECT_EQ(out.storage[1][0], 0.0f) << "tick off-beat zeroes the first sample";
    EXPECT_NEAR(engine.meterDb(0), 20.0 * std::log10(2.0), 1e-4);
    EXPECT_FLOAT_EQ(engine.meterDb(2), -120.0f);
    EXPECT_FLOAT_EQ(engine.meterDb(3), -120.0f);
}

TEST(EngineBlock, TickIsAFullScaleImpulseEveryRateOverFramesBlocks)
{
    EXPECT_EQ(EngineBlock::tickPeriod(44100.0, 512), 86u);
    EXPECT_EQ(EngineBlock::tickPeriod(48000.0, 256), 187u);
    // A block longer than a second would give a period of 0: tick every block.
    EXPECT_EQ(EngineBlock::tickPeriod(44100.0, 65536), 1u);

    EngineBlock engine;
    engine.m_bTickOn = true;
    Buffers in(4, 512), out(4, 512);
    std::vector<std::uint32_t> impulses;
    engine.prepare(44100.0);
    for (int block = 0; block < 200; ++block)
    {
        for (auto& channel : out.storage)
            std::fill(channel.begin(), channel.end(), 0.0f);
        engine.process(in.data(), out.data(), 4, 4, 512);
        if (out.storage[0][0] == 1.0f)
            impulses.push_back(engine.blockCount());
        for (int channel = 1; channel < 4; ++channel)
            ASSERT_EQ(out.storage[static_cast<size_t>(channel)][0], out.storage[0][0]);
        for (size_t frame = 1; frame < 512; ++frame)
            ASSERT_EQ(out.storage[0][frame], 0.0f);
    }
    EXPECT_EQ(impulses, (std::vector<std::uint32_t>{86, 172}));
    EXPECT_FLOAT_EQ(engine.meterDb(0), -120.0f);
}

} // namespace
