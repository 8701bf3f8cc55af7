// The loop player's two costly paths, each beside the bare libraries doing the
// same work in the same iterations:
// - the wave scope's analysis of a 5-minute stereo 16-bit file (WAV and FLAC)
//   into peak records for the loop player's 360-pixel scope, against
//   libsndfile reading the whole file in 65536-frame blocks;
// - a start of playback, which opens the file and fills both halves of the
//   store converted from 44100 to 48000 Hz, against sf_open, the same reads
//   and one src_simple call (SRC_SINC_FASTEST) per half.
// Counters: real-time ratios (audio seconds per CPU second) of both and the
// player's speed relative to the bare libraries (1.0 = as fast).

#include "players/LoopPlayerEngine.h"
#include "skinkit/WaveScopeCache.h"

#include <benchmark/benchmark.h>
#include <samplerate.h>
#include <sndfile.h>
#include <time.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace
{

constexpr int kFileRate = 44100;
constexpr double kDeviceRate = 48000.0;
constexpr int kScopeWidth = 360;
constexpr int64_t kFiveMinutes = 5 * 60 * kFileRate;

// A unit that runs and is routed, so the engine may start.
class RunningUnit : public RackProcessor
{
public:
    RunningUnit() { m_bRunning = m_bRouted = true; }
    void Process(float**, float**, long, long, long) override {}
};

double threadCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// A stereo file of two tones, written once per run.
std::string benchmarkFile(const char* name, int format, int64_t frames)
{
    const std::string path = std::string("/tmp/corvane-loop-benchmark-") + name;
    SF_INFO info{0, kFileRate, 2, format, 0, 0};
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    std::vector<float> block(2 * 65536);
    for (int64_t written = 0; written < frames;)
    {
        const int64_t count = std::min<int64_t>(65536, frames - written);
        for (int64_t frame = 0; frame < count; ++frame)
        {
            const double time = static_cast<double>(written + frame) / kFileRate;
            block[static_cast<size_t>(frame * 2)] =
                static_cast<float>(0.4 * std::sin(2.0 * std::numbers::pi * 440.0 * time));
            block[static_cast<size_t>(frame * 2 + 1)] =
                static_cast<float>(0.4 * std::sin(2.0 * std::numbers::pi * 660.0 * time));
        }
        sf_writef_float(file, block.data(), count);
        written += count;
    }
    sf_close(file);
    return path;
}

void bareRead(const std::string& path)
{
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    std::vector<float> block(static_cast<size_t>(65536 * info.channels));
    while (sf_readf_float(file, block.data(), 65536) > 0)
        benchmark::DoNotOptimize(block.data());
    sf_close(file);
}

void analysis(benchmark::State& state, int format, const char* name)
{
    const std::string path = benchmarkFile(name, format, kFiveMinutes);
    const wavescope::Geometry geometry = wavescope::geometryFor(kFiveMinutes, 2, kScopeWidth);
    const std::atomic<bool> cancelled{false};
    std::vector<unsigned char> records;
    double scopeSeconds = 0.0;
    double bareSeconds = 0.0;
    for (auto _ : state)
    {
        const double start = threadCpuSeconds();
        WaveScopeCache::analyse(path, geometry, records, cancelled);
        const double middle = threadCpuSeconds();
        bareRead(path);
        scopeSeconds += middle - start;
        bareSeconds += threadCpuSeconds() - middle;
    }
    const double audioSeconds =
        static_cast<double>(state.iterations()) * static_cast<double>(kFiveMinutes) / kFileRate;
    state.counters["scope_realtime"] = audioSeconds / scopeSeconds;
    state.counters["bare_realtime"] = audioSeconds / bareSeconds;
    state.counters["vs_bare"] = bareSeconds / scopeSeconds;
}

// Opens the file and fills both halves converted, as a start does.
void bareStart(const std::string& path, long inputFrames, std::vector<float>& raw,
               std::vector<float>& converted)
{
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    for (int half = 0; half < 2; ++half)
    {
        sf_readf_float(file, raw.data(), inputFrames);
        SRC_DATA request{};
        request.data_in = raw.data();
        request.input_frames = inputFrames;
        request.data_out = converted.data();
        request.output_frames = static_cast<long>(converted.size() / 2);
        request.src_ratio = kDeviceRate / kFileRate;
        src_simple(&request, SRC_SINC_FASTEST, 2);
        benchmark::DoNotOptimize(converted.data());
    }
    sf_close(file);
}

void halfFill(benchmark::State& state)
{
    const std::string path =
        benchmarkFile("fill.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 60 * kFileRate);
    RunningUnit unit;
    LoopPlayerEngine engine(unit);
    engine.prepare(kDeviceRate);
    engine.loadSlot(0, path);
    engine.setCurrentSlot(0);
    const long inputFrames = MP3RateConverter::inputFramesThatFit(
        kDeviceRate / kFileRate, static_cast<long>(MP3HalfStore::halfFrames),
        static_cast<long>(MP3HalfStore::convertedFrames));
    std::vector<float> raw(static_cast<size_t>(inputFrames) * 2);
    std::vector<float> converted(MP3HalfStore::convertedFrames * 2);
    double engineSeconds = 0.0;
    double bareSeconds = 0.0;
    for (auto _ : state)
    {
        const double start = threadCpuSeconds();
        engine.start();
        const double middle = threadCpuSeconds();
        bareStart(path, inputFrames, raw, converted);
        engineSeconds += middle - start;
        bareSeconds += threadCpuSeconds() - middle;
    }
    engine.stop();
    const double audioSeconds = static_cast<double>(state.iterations()) * 2.0 *
                                static_cast<double>(inputFrames) / kFileRate;
    state.counters["player_realtime"] = audioSeconds / engineSeconds;
    state.counters["bare_realtime"] = audioSeconds / bareSeconds;
    state.counters["vs_bare"] = bareSeconds / engineSeconds;
}

BENCHMARK_CAPTURE(analysis, wav, SF_FORMAT_WAV | SF_FORMAT_PCM_16, "analysis.wav")
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0);
BENCHMARK_CAPTURE(analysis, flac, SF_FORMAT_FLAC | SF_FORMAT_PCM_16, "analysis.flac")
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0);
BENCHMARK(halfFill)->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace
