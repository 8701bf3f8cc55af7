// The sound-effect pads' hot paths. Process with sixteen voices at 64, 256
// and 2048 frames, beside a bare loop mixing the same sixteen voices from the
// same data with the same gains (the engine should reach at least 0.8× of
// it); counters are real-time ratios (audio seconds per second). And restoring
// eight 10-second pads at start-up, before the device runs (target: under
// 150 ms for all eight).

#include "app/RackProcessor.h"
#include "players/SoundFxEngine.h"
#include "support/Tones.h"

#include <benchmark/benchmark.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace
{

constexpr int kRate = 44100;
constexpr long kPadFrames = 10 * kRate - 100; // just under the 9999 ms limit

class RunningUnit : public RackProcessor
{
public:
    RunningUnit()
    {
        m_bRunning = true;
        m_bRouted = true;
    }
    void Process(float**, float**, long, long, long) override {}
};

// Eight 10-second 16-bit stereo WAVs of distinct tones, written once.
const std::vector<std::string>& padFiles()
{
    static const std::vector<std::string> paths = []
    {
        std::vector<std::string> out;
        constexpr double kLevel = 8000.0 / 32768.0;
        for (int pad = 0; pad < soundfx::kPadCount; ++pad)
        {
            const std::vector<float> tone = testkit::makeSine(
                kRate, static_cast<size_t>(kPadFrames), 200.0 + 100.0 * pad, kLevel);
            std::vector<float> inverted(tone.size());
            std::transform(tone.begin(), tone.end(), inverted.begin(), std::negate<>());
            const std::string path = "/tmp/corvane-soundfx-bench-" + std::to_string(pad) + ".wav";
            testkit::writeSoundFile(path, {kRate, {tone, inverted}},
                                    SF_FORMAT_WAV | SF_FORMAT_PCM_16);
            out.push_back(path);
        }
        return out;
    }();
    return paths;
}

SoundFxSettings padSettings()
{
    SoundFxSettings settings;
    for (int pad = 0; pad < soundfx::kPadCount; ++pad)
        settings.pads[static_cast<size_t>(pad)] = {padFiles()[static_cast<size_t>(pad)],
                                                   "pad" + std::to_string(pad), 0, 9999, pad - 4};
    return settings;
}

void processSixteenVoices(benchmark::State& state)
{
    const long frames = state.range(0);
    RunningUnit unit;
    SoundFxEngine engine(unit);
    engine.restoreSettings(padSettings());
    std::vector<float> left(static_cast<size_t>(frames)), right(static_cast<size_t>(frames));
    float* out[2] = {left.data(), right.data()};
    const long voiceFrames = engine.padFrames(0);
    long played = voiceFrames;
    for (auto _ : state)
    {
        if (played + frames > voiceFrames)
        {
            state.PauseTiming();
            engine.reset();
            for (int v = 0; v < soundfx::kVoiceCount; ++v)
                engine.trigger(v % soundfx::kPadCount);
            played = 0;
            state.ResumeTiming();
        }
        engine.process(nullptr, out, 0, 2, frames);
        played += frames;
        benchmark::DoNotOptimize(left.data());
    }
    state.counters["realtime"] = benchmark::Counter(static_cast<double>(state.iterations()) *
                                                        static_cast<double>(frames) / kRate,
                                                    benchmark::Counter::kIsRate);
}

// The same sixteen voices with nothing of the engine around them.
void bareLoopSixteenVoices(benchmark::State& state)
{
    const long frames = state.range(0);
    RunningUnit unit;
    SoundFxEngine engine(unit);
    engine.restoreSettings(padSettings());
    // The data as the engine holds it: interleaved stereo floats.
    std::vector<std::vector<float>> data(soundfx::kPadCount);
    for (int pad = 0; pad < soundfx::kPadCount; ++pad)
    {
        SF_INFO info{};
        SNDFILE* file = sf_open(padFiles()[static_cast<size_t>(pad)].c_str(), SFM_READ, &info);
        data[static_cast<size_t>(pad)].resize(static_cast<size_t>(info.frames) * 2);
        sf_readf_float(file, data[static_cast<size_t>(pad)].data(), info.frames);
        sf_close(file);
    }
    std::vector<float> left(static_cast<size_t>(frames)), right(static_cast<size_t>(frames));
    long positions[soundfx::kVoiceCount] = {};
    float gains[soundfx::kVoiceCount];
    for (int v = 0; v < soundfx::kVoiceCount; ++v)
        gains[v] = soundfx::gainFactor(v % soundfx::kPadCount - 4);
    for (auto _ : state)
    {
        std::fill(left.begin(), left.end(), 0.0f);
        std::fill(right.begin(), right.end(), 0.0f);
        for (int v = 0; v < soundfx::kVoiceCount; ++v)
        {
            if (positions[v] + frames > kPadFrames)
                positions[v] = 0;
            const float* from =
                data[static_cast<size_t>(v % soundfx::kPadCount)].data() + positions[v] * 2;
            for (long i = 0; i < frames; ++i)
            {
                left[static_cast<size_t>(i)] += from[2 * i] * gains[v];
                right[static_cast<size_t>(i)] += from[2 * i + 1] * gains[v];
            }
            positions[v] += frames;
        }
        benchmark::DoNotOptimize(left.data());
    }
    state.counters["realtime"] = benchmark::Counter(static_cast<double>(state.iterations()) *
                                                        static_cast<double>(frames) / kRate,
                                                    benchmark::Counter::kIsRate);
}

void restoreEightPads(benchmark::State& state)
{
    const SoundFxSettings settings = padSettings();
    RunningUnit unit;
    for (auto _ : state)
    {
        SoundFxEngine engine(unit);
        engine.restoreSettings(settings);
        benchmark::DoNotOptimize(engine.padFrames(7));
    }
}

} // namespace

BENCHMARK(processSixteenVoices)->Arg(64)->Arg(256)->Arg(2048);
BENCHMARK(bareLoopSixteenVoices)->Arg(64)->Arg(256)->Arg(2048);
BENCHMARK(restoreEightPads)->Unit(benchmark::kMillisecond);
