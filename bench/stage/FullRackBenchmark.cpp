// The whole rack in one engine block: Corvane's real window built offscreen,
// every source playing through the units' own engines (MP3 player, CD player
// on a disc image, loop player, sixteen pad voices, the test sine synth),
// both effect slots holding the test gain plug-in, the recorder recording and
// the graphic equaliser with every band away from 0 dB. Blocks run at the
// device's pace (each waits for its deadline, so the players' refill workers
// keep up as on a sound card), and only the block itself is timed: the chain
// root (the mixer, which pulls every source, the effects and the recorder)
// and the post-processor (the equaliser), on the monotonic clock the block's
// deadline runs on. (The thread's CPU clock is a system call: on a virtual
// machine one pair of readings after a sleep cost 1.8 µs, more than the
// mixer's own block.)
//
// Cases at 64, 256 and 2048 frames: the mixer alone (its mono channels on
// the device inputs, as in every case), the mixer with one unit at a time (its
// cost is the difference to the mixer alone) and the full rack. Counters:
// realtime_ratio (audio seconds per second of the block), us_per_block
// (mean), median_us, max_us (the longest block) and out_peak_db (output 1's peak before
// clipping, so a silent case shows). The show itself is support/StageRack,
// shared with corvane-soak.

#include "app/CorvaneView.h"
#include "bench/OffscreenApplication.h"
#include "bench/stage/StageRack.h"
#include "engine/AmpRack.h"
#include "platform/Denormals.h"

#include <QApplication>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <numbers>
#include <string>
#include <thread>
#include <vector>

namespace
{

constexpr double kRate = 48000.0;
// Audio run per case, after a warm-up that lets the refill workers settle.
constexpr double kMeasuredSeconds = 1.5;
constexpr double kWarmUpSeconds = 0.25;
constexpr int kDevicePorts = 4;

double monotonicSeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

QApplication& application()
{
    return benchkit::offscreenApplication();
}

// The show, built once for every case, as at power on: the rate to the
// chain, then it runs.
struct Stage
{
    Stage()
    {
        const EngineBlock& block = show.view().amplifier()->engine();
        root = block.chainRoot();
        post = block.postProcessor();
        root->SetSampleRate(static_cast<float>(kRate));
        root->m_bRunning = true;
        post->SetSampleRate(static_cast<float>(kRate));
    }
    ~Stage()
    {
        root->SetSampleRate(0.0f);
        root->m_bRunning = false;
        post->SetSampleRate(0.0f);
    }
    void start(unsigned parts) { show.start(parts); }
    void stop() { show.stop(); }
    // One device block: the chain root, then the post-processor, as the
    // amplifier's engine block runs them.
    void block(float** in, float** out, long frames)
    {
        root->Process(in, out, kDevicePorts, kDevicePorts, frames);
        post->Process(in, out, kDevicePorts, kDevicePorts, frames);
    }

    stage::StageRack show;
    RackProcessor* root = nullptr;
    RackProcessor* post = nullptr;
};

Stage& stageRack()
{
    application();
    static Stage built;
    return built;
}

void rackBlock(benchmark::State& state, unsigned parts)
{
    platform::ScopedNoDenormals noDenormals;
    const long frames = state.range(0);
    Stage& rack = stageRack();

    std::vector<std::vector<float>> inputs(kDevicePorts,
                                           std::vector<float>(static_cast<size_t>(frames)));
    std::vector<std::vector<float>> outputs(kDevicePorts,
                                            std::vector<float>(static_cast<size_t>(frames)));
    std::vector<float*> in, out;
    for (auto& buffer : inputs)
        in.push_back(buffer.data());
    for (auto& buffer : outputs)
        out.push_back(buffer.data());

    rack.start(parts);
    const auto period = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double>(static_cast<double>(frames) / kRate));
    const long warmUpBlocks = static_cast<long>(kWarmUpSeconds * kRate) / frames + 1;
    auto deadline = std::chrono::steady_clock::now();
    long position = 0;
    const auto fillInputs = [&]
    {
        for (size_t port = 0; port < inputs.size(); ++port)
            for (long frame = 0; frame < frames; ++frame)
                inputs[port][static_cast<size_t>(frame)] = static_cast<float>(
                    0.3 * std::sin(2.0 * std::numbers::pi * (150.0 + 100.0 * port) *
                                   static_cast<double>(position + frame) / kRate));
        position += frames;
    };
    for (long n = 0; n < warmUpBlocks; ++n)
    {
        deadline += period;
        std::this_thread::sleep_until(deadline);
        fillInputs();
        rack.block(in.data(), out.data(), frames);
    }

    double total = 0.0;
    double longest = 0.0;
    std::vector<double> spans;
    spans.reserve(static_cast<size_t>(state.max_iterations));
    float peak = 0.0f;
    for (auto _ : state)
    {
        deadline += period;
        std::this_thread::sleep_until(deadline);
        fillInputs();
        const double start = monotonicSeconds();
        rack.block(in.data(), out.data(), frames);
        const double spent = monotonicSeconds() - start;
        spans.push_back(spent);
        for (long frame = 0; frame < frames; ++frame)
            peak = std::max(peak, std::fabs(out[0][static_cast<size_t>(frame)]));
        state.SetIterationTime(spent);
        total += spent;
        longest = std::max(longest, spent);
    }
    rack.stop();

    const double blocks = static_cast<double>(state.iterations());
    state.counters["realtime_ratio"] = blocks * static_cast<double>(frames) / kRate / total;
    state.counters["us_per_block"] = total / blocks * 1e6;
    std::nth_element(spans.begin(), spans.begin() + static_cast<long>(spans.size() / 2),
                     spans.end());
    state.counters["median_us"] = spans[spans.size() / 2] * 1e6;
    state.counters["max_us"] = longest * 1e6;
    // The left main output's peak: proof that the case's sources sounded.
    state.counters["out_peak_db"] = 20.0 * std::log10(std::max(peak, 1e-6f));
}

void registerCases()
{
    struct Case
    {
        const char* name;
        unsigned parts;
    };
    using namespace stage;
    static const Case cases[] = {
        {"mixer_only", 0},           {"mp3_player", Mp3},     {"cd_player", Cd},
        {"instrument", Synth},       {"loop_player", Loop},   {"pads_16_voices", Pads},
        {"effects_2_gain", Effects}, {"recorder", Recording}, {"graphic_eq", Equaliser},
        {"full_rack", Everything},
    };
    for (const Case& rackCase : cases)
        for (const long frames : {64L, 256L, 2048L})
            benchmark::RegisterBenchmark((std::string("BM_RackBlock/") + rackCase.name).c_str(),
                                         [parts = rackCase.parts](benchmark::State& state)
                                         { rackBlock(state, parts); })
                ->Arg(frames)
                ->Iterations(static_cast<long>(kMeasuredSeconds * kRate) / frames)
                ->UseManualTime()
                ->Unit(benchmark::kMicrosecond);
}

const bool registered = (registerCases(), true);

} // namespace
