// The dual effect rack's block with the test gain plug-in in both slots (two
// aux loops, channel arrays, swap guard, four meters), beside calling the
// same plug-in's processReplacing directly twice, at 64, 256 and 2048
// frames. Reports the real-time ratio: seconds of audio per second of CPU.

#include "TestPlugins.h"
#include "platform/Denormals.h"
#include "plughost/CMVST.h"
#include "plugins/EffectRackEngine.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cmath>
#include <numbers>
#include <vector>

namespace
{

constexpr double kSampleRate = 48000.0;

struct Buffers
{
    explicit Buffers(long frames)
    {
        for (size_t channel = 0; channel < 4; ++channel)
        {
            sends[channel].resize(static_cast<size_t>(frames));
            returns[channel].resize(static_cast<size_t>(frames));
            for (long frame = 0; frame < frames; ++frame)
                sends[channel][static_cast<size_t>(frame)] = static_cast<float>(
                    0.3 * std::sin(2.0 * std::numbers::pi * 440.0 * frame / kSampleRate));
            in[channel] = sends[channel].data();
            out[channel] = returns[channel].data();
        }
    }
    std::array<std::vector<float>, 4> sends, returns;
    std::array<float*, 4> in{}, out{};
};

void reportRatio(benchmark::State& state, long frames)
{
    state.counters["realtime_ratio"] = benchmark::Counter(
        static_cast<double>(frames) / kSampleRate, benchmark::Counter::kIsIterationInvariantRate);
}

void EffectRackBothSlots(benchmark::State& state)
{
    const platform::ScopedNoDenormals noDenormals;
    const long frames = state.range(0);
    EffectRackEngine engine;
    engine.prepare(kSampleRate);
    for (int slot = 0; slot < EffectRackEngine::kSlotCount; ++slot)
    {
        engine.loadPlugin(slot, testplugins::path(testplugins::kGain));
        engine.setSlotOn(slot, true);
    }
    engine.waitForLoads();
    Buffers buffers(frames);
    for (auto _ : state)
    {
        engine.process(buffers.in.data(), buffers.out.data(), 4, 4, frames);
        benchmark::DoNotOptimize(buffers.returns[3][0]);
    }
    reportRatio(state, frames);
}

// The same plug-in's processReplacing called directly for both send pairs.
void BarePluginTwice(benchmark::State& state)
{
    const platform::ScopedNoDenormals noDenormals;
    const long frames = state.range(0);
    CMVST plugin;
    if (!plugin.LoadVST(testplugins::path(testplugins::kGain)))
    {
        state.SkipWithError("test gain plug-in did not load");
        return;
    }
    plugin.Open();
    plugin.SetSampleRate(static_cast<float>(kSampleRate));
    plugin.SetBlockSize(frames);
    plugin.MainsChanged(true);
    vst::Effect* effect = plugin.effect();
    Buffers buffers(frames);
    for (auto _ : state)
    {
        effect->processReplacing(effect, buffers.in.data(), buffers.out.data(),
                                 static_cast<int32_t>(frames));
        effect->processReplacing(effect, buffers.in.data() + 2, buffers.out.data() + 2,
                                 static_cast<int32_t>(frames));
        benchmark::DoNotOptimize(buffers.returns[3][0]);
    }
    reportRatio(state, frames);
}

} // namespace

BENCHMARK(EffectRackBothSlots)->Arg(64)->Arg(256)->Arg(2048);
BENCHMARK(BarePluginTwice)->Arg(64)->Arg(256)->Arg(2048);
