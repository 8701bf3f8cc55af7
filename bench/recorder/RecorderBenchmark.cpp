// The recorder's hot paths, as real-time ratios (audio seconds per second):
// - the encoder worker: a recording of five seconds of noise from Rec to the
//   end of Stop (the worker encodes while the blocks arrive; Stop flushes,
//   writes the tag and syncs), at 44.1 kHz and at 96 kHz (LAME resampling to
//   48 kHz), beside the lame program encoding the same samples as a 16-bit
//   WAV at the same settings in the same run (target: at least 0.9× it);
// - the audio thread's process while recording, at 64 … 2048 frames
//   (target: at least 1000× real time).
// - Stop after half a second recorded at real-time pace (as the device
//   delivers): the last chunk's encoding, flush, tag frame, fsync and join.

#include "recorder/RecorderEngine.h"

#include <benchmark/benchmark.h>
#include <sndfile.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace
{

// Five seconds fit the ring (6.1 s at 96 kHz) with nothing dropped.
constexpr int kSeconds = 5;

std::filesystem::path benchFolder()
{
    static const std::filesystem::path folder = []
    {
        const auto path = std::filesystem::temp_directory_path() / "corvane-recorder-bench";
        std::filesystem::create_directories(path);
        return path;
    }();
    return folder;
}

// Noise at half scale, stored as 16-bit so the lame program and the
// recorder see exactly the same samples; the float copy is what the mixer
// would hand over.
struct Noise
{
    std::string wavPath;
    std::vector<float> left, right;
};
const Noise& noise(int rate)
{
    static std::map<int, Noise> made;
    auto found = made.find(rate);
    if (found != made.end())
        return found->second;
    Noise& noise = made[rate];
    const size_t frames = static_cast<size_t>(kSeconds) * static_cast<size_t>(rate);
    std::mt19937 random(7);
    std::uniform_int_distribution<int> sample(-16384, 16383);
    std::vector<short> interleaved(2 * frames);
    for (short& value : interleaved)
        value = static_cast<short>(sample(random));
    noise.left.resize(frames);
    noise.right.resize(frames);
    for (size_t frame = 0; frame < frames; ++frame)
    {
        noise.left[frame] = interleaved[2 * frame] / 32768.0f;
        noise.right[frame] = interleaved[2 * frame + 1] / 32768.0f;
    }
    noise.wavPath = (benchFolder() / ("noise-" + std::to_string(rate) + ".wav")).string();
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(noise.wavPath.c_str(), SFM_WRITE, &info);
    sf_writef_short(file, interleaved.data(), static_cast<sf_count_t>(frames));
    sf_close(file);
    return noise;
}

// Seconds the lame program takes on the WAV: stereo, CBR 192 kbit/s, its
// own choice of output rate (as the library's); best of three.
double lameProgramSeconds(int rate)
{
    static std::map<int, double> measured;
    if (measured.count(rate))
        return measured[rate];
    const std::string command = "lame --quiet -m s -b 192 --cbr " + noise(rate).wavPath + " " +
                                (benchFolder() / "lame-program.mp3").string();
    double best = 1e9;
    for (int run = 0; run < 3; ++run)
    {
        const auto start = std::chrono::steady_clock::now();
        if (std::system(command.c_str()) != 0)
            return measured[rate] = 0.0;
        best = std::min(
            best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return measured[rate] = best;
}

void clearRecordings()
{
    for (const auto& entry : std::filesystem::directory_iterator(benchFolder()))
        if (entry.path().filename().string().rfind("20", 0) == 0)
            std::filesystem::remove(entry.path());
}

void BM_EncoderWorker(benchmark::State& state)
{
    const int rate = static_cast<int>(state.range(0));
    const Noise& source = noise(rate);
    constexpr long kBlock = 512;
    std::vector<float> left(kBlock), right(kBlock);
    RecorderEngine engine;
    engine.setFolder(benchFolder());
    engine.prepare(rate);
    double recordingSeconds = 0.0;
    for (auto _ : state)
    {
        const auto start = std::chrono::steady_clock::now();
        engine.rec();
        for (size_t done = 0; done < source.left.size(); done += kBlock)
        {
            const long count = std::min<long>(kBlock, static_cast<long>(source.left.size() - done));
            std::copy_n(source.left.begin() + static_cast<long>(done), count, left.begin());
            std::copy_n(source.right.begin() + static_cast<long>(done), count, right.begin());
            float* in[] = {left.data(), right.data()};
            engine.process(in, nullptr, 2, 0, count);
        }
        engine.stop();
        recordingSeconds +=
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.PauseTiming();
        if (engine.droppedFrames() != 0)
            state.SkipWithError("frames dropped");
        clearRecordings();
        state.ResumeTiming();
    }
    state.counters["realtime"] =
        benchmark::Counter(kSeconds, benchmark::Counter::kIsIterationInvariantRate);
    const double lameSeconds = lameProgramSeconds(rate);
    if (lameSeconds > 0.0 && state.iterations() > 0)
    {
        state.counters["lame_program_realtime"] = kSeconds / lameSeconds;
        // Above 1: the recorder encodes faster than the program.
        state.counters["x_lame_program"] =
            lameSeconds / (recordingSeconds / static_cast<double>(state.iterations()));
    }
}
BENCHMARK(BM_EncoderWorker)->Arg(44100)->Arg(96000)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_StopAtRealTimePace(benchmark::State& state)
{
    const Noise& source = noise(44100);
    constexpr long kBlock = 512;
    std::vector<float> left(source.left.begin(), source.left.begin() + kBlock);
    std::vector<float> right(source.right.begin(), source.right.begin() + kBlock);
    float* in[] = {left.data(), right.data()};
    RecorderEngine engine;
    engine.setFolder(benchFolder());
    engine.prepare(44100);
    for (auto _ : state)
    {
        engine.rec();
        // Half a second in blocks at the pace of a 44.1 kHz device.
        for (int block = 0; block < 43; ++block)
        {
            engine.process(in, nullptr, 2, 0, kBlock);
            std::this_thread::sleep_for(std::chrono::microseconds(kBlock * 1000000 / 44100));
        }
        const auto stopping = std::chrono::steady_clock::now();
        engine.stop();
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - stopping).count());
        clearRecordings();
    }
}
BENCHMARK(BM_StopAtRealTimePace)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

void BM_ProcessWhileRecording(benchmark::State& state)
{
    const long block = state.range(0);
    const Noise& source = noise(44100);
    std::vector<float> left(source.left.begin(), source.left.begin() + block);
    std::vector<float> right(source.right.begin(), source.right.begin() + block);
    float* in[] = {left.data(), right.data()};
    RecorderEngine engine;
    engine.setFolder(benchFolder());
    engine.prepare(44100);
    engine.rec();
    for (auto _ : state)
        engine.process(in, nullptr, 2, 0, block);
    engine.stop();
    clearRecordings();
    state.counters["realtime"] = benchmark::Counter(static_cast<double>(block) / 44100.0,
                                                    benchmark::Counter::kIsIterationInvariantRate);
    state.counters["dropped"] = static_cast<double>(engine.droppedFrames());
}
// Five seconds of blocks each: the ring never fills, so every block is captured.
BENCHMARK(BM_ProcessWhileRecording)->Arg(64)->Iterations(3445);
BENCHMARK(BM_ProcessWhileRecording)->Arg(256)->Iterations(861);
BENCHMARK(BM_ProcessWhileRecording)->Arg(2048)->Iterations(107);

} // namespace
