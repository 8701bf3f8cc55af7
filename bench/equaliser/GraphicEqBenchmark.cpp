// The graphic equaliser's block: 31 bands on all four sides at 48 kHz, every
// band off flat, beside a plain per-sample loop through 31 separate biquads
// per side with the same coefficients. Reports the real-time ratio: seconds
// of audio filtered per second of CPU.

#include "equaliser/GraphicEqEngine.h"

#include "platform/Denormals.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cmath>
#include <memory>
#include <numbers>
#include <vector>

namespace
{

constexpr double kSampleRate = 48000.0;
constexpr int kSides = GraphicEqEngine::kSideCount;
constexpr int kBands = GraphicEqEngine::kBandCount;

GraphicEqEngine::Values busyValues()
{
    GraphicEqEngine::Values values{};
    for (int band = 0; band < kBands; ++band)
        values[static_cast<size_t>(band)] = band % 2 == 0 ? 240 : 90;
    return values;
}

struct Buffers
{
    explicit Buffers(long frames) : inputs(kSides, std::vector<float>(frames)), outputs(inputs)
    {
        for (int side = 0; side < kSides; ++side)
            for (long frame = 0; frame < frames; ++frame)
                inputs[side][frame] =
                    static_cast<float>(0.3 * std::sin(2.0 * std::numbers::pi *
                                                      (110.0 * (side + 1)) * frame / kSampleRate));
        for (auto& buffer : outputs)
            pointers.push_back(buffer.data());
    }
    // Each block starts from the same music.
    void refill()
    {
        for (int side = 0; side < kSides; ++side)
            std::copy(inputs[side].begin(), inputs[side].end(), outputs[side].begin());
    }
    std::vector<std::vector<float>> inputs, outputs;
    std::vector<float*> pointers;
};

void reportRatio(benchmark::State& state, long frames)
{
    state.counters["realtime_ratio"] = benchmark::Counter(
        static_cast<double>(frames) / kSampleRate, benchmark::Counter::kIsIterationInvariantRate);
}

void GraphicEqBlock(benchmark::State& state)
{
    platform::ScopedNoDenormals noDenormals;
    const long frames = state.range(0);
    auto engine = std::make_unique<GraphicEqEngine>();
    engine->prepare(kSampleRate);
    engine->setValues(busyValues());
    engine->setPairEnabled(0, true);
    engine->setPairEnabled(1, true);
    Buffers buffers(frames);
    for (auto _ : state)
    {
        buffers.refill();
        engine->process(nullptr, buffers.pointers.data(), 0, kSides, frames);
        benchmark::DoNotOptimize(buffers.pointers[0][0]);
    }
    reportRatio(state, frames);
}

// The same sections as 4 × 31 separate filters, one sample at a time.
void PlainBiquadLoop(benchmark::State& state)
{
    platform::ScopedNoDenormals noDenormals;
    const long frames = state.range(0);
    auto filters = std::make_unique<std::array<std::array<CFxRbjFilter, kBands>, kSides>>();
    const GraphicEqEngine::Values values = busyValues();
    for (auto& side : *filters)
        for (int band = 0; band < kBands; ++band)
        {
            side[band].calc_filter_coeffs(
                CFxRbjFilter::PeakingEqualiser, GraphicEqEngine::kCentres[band], kSampleRate,
                GraphicEqEngine::kQ, GraphicEqEngine::gainDb(values[band]), false);
            side[band].acquireCoefficients();
        }
    Buffers buffers(frames);
    for (auto _ : state)
    {
        buffers.refill();
        for (int side = 0; side < kSides; ++side)
        {
            float* samples = buffers.pointers[side];
            for (long frame = 0; frame < frames; ++frame)
                for (auto& filter : (*filters)[side])
                    samples[frame] = filter.filter(samples[frame]);
        }
        benchmark::DoNotOptimize(buffers.pointers[0][0]);
    }
    reportRatio(state, frames);
}

} // namespace

BENCHMARK(GraphicEqBlock)->Arg(64)->Arg(256)->Arg(2048);
BENCHMARK(PlainBiquadLoop)->Arg(64)->Arg(256)->Arg(2048);
