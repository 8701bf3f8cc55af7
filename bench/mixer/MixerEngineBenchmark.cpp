// One mixer block with every stage busy: seven channels on sources, the
// equaliser boosting and cutting, both compressors on, sends and returns
// through an effect, four outputs and the record feed. Reports the
// real-time ratio: seconds of audio mixed per second of CPU.

#include "mixer/MixerEngine.h"

#include "platform/Denormals.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace
{

constexpr double kSampleRate = 48000.0;

// A stereo source playing a steady tone from a precomputed period, so the
// benchmark measures the mixer, not the source.
class ToneSource : public RackProcessor
{
public:
    explicit ToneSource(int periodFrames) : m_period(periodFrames)
    {
        for (int frame = 0; frame < periodFrames; ++frame)
            m_period[frame] =
                static_cast<float>(0.3 * std::sin(2.0 * std::numbers::pi * frame / periodFrames));
    }
    void Process(float**, float** out, long, long, long frames) override
    {
        for (long frame = 0; frame < frames; ++frame)
        {
            out[0][frame] = m_period[m_position];
            out[1][frame] = -m_period[m_position];
            if (++m_position == m_period.size())
                m_position = 0;
        }
    }

private:
    std::vector<float> m_period;
    size_t m_position = 0;
};

// Returns half of each send.
class HalfEffect : public RackProcessor
{
public:
    void Process(float** in, float** out, long, long, long frames) override
    {
        for (int buffer = 0; buffer < 4; ++buffer)
            for (long frame = 0; frame < frames; ++frame)
                out[buffer][frame] = 0.5f * in[buffer][frame];
    }
};

class NullRecorder : public RackProcessor
{
public:
    void Process(float**, float**, long, long, long) override {}
};

void MixerBlock(benchmark::State& state)
{
    platform::ScopedNoDenormals noDenormals;
    const long frames = state.range(0);
    // Tones near 220, 330, 440, 550 and 660 Hz.
    ToneSource mp3(218), cd(145), vsti(109), loop(87), pads(73);
    HalfEffect effect;
    NullRecorder recorder;
    MixerEngine engine;
    engine.SetSources(&mp3, &cd, &vsti, &effect, &recorder, &loop, &pads);
    engine.prepare(kSampleRate);
    auto& controls = engine.controls();
    for (int channel = 0; channel < MixerControlState::kChannelCount; ++channel)
    {
        auto& strip = controls.channels[channel];
        strip.source = MixerControlState::isMonoChannel(channel) ? channel + 1 : channel - 1;
        strip.fader = 85;
        strip.pan = 30 + 5 * channel;
        strip.preFaderSend = 40;
        strip.postFaderSend = 60;
        strip.toOutputPairTwo = true;
        strip.compressorOn = true;
        // +3 dB lifts the mono inputs' peaks over the compressor's threshold.
        strip.gainDb = MixerControlState::isMonoChannel(channel) ? 3 : 0;
        for (int band = 0; band < MixerEngine::kBandCount; ++band)
            engine.setEqualiserGain(channel, band, band == 1 ? -6 : 9);
    }
    controls.returnLevel[0] = 80;
    controls.returnLevel[1] = 80;
    controls.returnToOutputPairTwo[0] = true;
    controls.recordLevel = 100;
    controls.recordFromOutputPairOne = true;
    for (auto& master : controls.masterLevel)
        master = 100;

    std::vector<std::vector<float>> inputs(4, std::vector<float>(frames));
    for (size_t input = 0; input < inputs.size(); ++input)
        for (long frame = 0; frame < frames; ++frame)
            inputs[input][frame] =
                static_cast<float>(0.5 * std::sin(2.0 * std::numbers::pi * (100.0 + 50.0 * input) *
                                                  frame / kSampleRate));
    std::vector<std::vector<float>> outputs(4, std::vector<float>(frames));
    std::vector<float*> in, out;
    for (auto& buffer : inputs)
        in.push_back(buffer.data());
    for (auto& buffer : outputs)
        out.push_back(buffer.data());

    for (auto _ : state)
    {
        engine.process(in.data(), out.data(), 4, 4, frames);
        benchmark::DoNotOptimize(out[0][0]);
    }
    // Audio seconds per CPU second.
    state.counters["realtime_ratio"] = benchmark::Counter(
        static_cast<double>(frames) / kSampleRate, benchmark::Counter::kIsIterationInvariantRate);
}

} // namespace

BENCHMARK(MixerBlock)->Arg(64)->Arg(256)->Arg(2048);
