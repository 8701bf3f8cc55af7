// Play to first sound: the time from pressing Play on a 10-minute 320 kbit/s
// file (44100 Hz stereo, 24 MB) to the first block that carries sound, on a
// 44100 Hz and a 48000 Hz device, with the machine idle and with two CPU hogs
// (two shell busy loops in processes of their own) competing for its cores.
// Every iteration is one Play after a Stop, so the load thread reads the tag
// and stream information, checks the file decodes, and fills the first half.
//
// The benchmark thread stands in for the audio thread: it pulls 64-frame
// blocks every 0.5 ms once Play was pressed, so a block reaches the engine
// well within a millisecond of the moment it could first sound. Counters:
// median and worst latency in milliseconds over the iterations.

#include "MP3TestFixtures.h"
#include "players/MP3PlayerEngine.h"

#include <benchmark/benchmark.h>

#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <random>
#include <thread>
#include <vector>

extern char** environ;

namespace
{

constexpr int fileRate = 44100;
constexpr double fileSeconds = 600.0;
constexpr int fileBitrate = 320;
constexpr long pollFrames = 64;
constexpr auto pollInterval = std::chrono::microseconds(500);
constexpr int playsPerRun = 25;

// Encoded once and kept in /tmp: LAME takes a while over ten minutes.
std::string tenMinuteFile()
{
    static const std::string path = []
    {
        const std::string file = "/tmp/corvane-mp3-play-to-sound-320k.mp3";
        // 320 kbit/s for 600 s, within a frame of padding.
        constexpr off_t expectedBytes = static_cast<off_t>(fileSeconds * fileBitrate * 1000 / 8);
        struct stat status;
        if (::stat(file.c_str(), &status) == 0 && std::abs(status.st_size - expectedBytes) < 4096)
            return file;
        const auto frames = static_cast<size_t>(fileRate * fileSeconds);
        auto samples = mp3test::makeStereoTone(fileRate, frames, 440.0, 660.0, 0.4);
        std::mt19937 random(7);
        std::uniform_real_distribution<float> noise(-0.1f, 0.1f);
        for (float& sample : samples)
            sample += noise(random);
        mp3test::writeFile(
            file, mp3test::encodeMp3(samples, {.sampleRate = fileRate, .bitrateKbps = fileBitrate})
                      .bytes);
        return file;
    }();
    return path;
}

// Two processes spinning on the shell's empty loop for as long as this lives.
class CpuHogs
{
public:
    explicit CpuHogs(int count)
    {
        char shell[] = "sh";
        char option[] = "-c";
        char loop[] = "while :; do :; done";
        char* arguments[] = {shell, option, loop, nullptr};
        for (int hog = 0; hog < count; ++hog)
        {
            pid_t pid = 0;
            if (posix_spawn(&pid, "/bin/sh", nullptr, nullptr, arguments, environ) == 0)
                m_pids.push_back(pid);
        }
        // Let them reach their loops before anything is measured.
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    ~CpuHogs()
    {
        for (const pid_t pid : m_pids)
        {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }
    CpuHogs(const CpuHogs&) = delete;
    CpuHogs& operator=(const CpuHogs&) = delete;

private:
    std::vector<pid_t> m_pids;
};

bool sounds(const std::vector<float>& block)
{
    return std::any_of(block.begin(), block.end(), [](float sample) { return sample != 0.0f; });
}

// Args: device rate, number of hogs.
void BM_PlayToFirstSound(benchmark::State& state)
{
    const std::string path = tenMinuteFile();
    mp3test::StubRackUnit unit;
    unit.m_bRunning = true;
    unit.m_bRouted = true;
    MP3PlayerEngine engine(unit);
    engine.prepare(static_cast<double>(state.range(0)));
    engine.addFiles({path});
    std::vector<float> left(pollFrames), right(pollFrames);
    float* outputs[2] = {left.data(), right.data()};
    const CpuHogs hogs(static_cast<int>(state.range(1)));

    std::vector<double> latencies;
    for (auto _ : state)
    {
        const auto pressed = std::chrono::steady_clock::now();
        engine.play();
        while (true)
        {
            engine.process(nullptr, outputs, 0, 2, pollFrames);
            if (sounds(left) || sounds(right))
                break;
            std::this_thread::sleep_for(pollInterval);
        }
        const std::chrono::duration<double> latency = std::chrono::steady_clock::now() - pressed;
        state.SetIterationTime(latency.count());
        latencies.push_back(latency.count() * 1000.0);
        engine.stop();
        engine.waitUntilIdle();
    }
    std::sort(latencies.begin(), latencies.end());
    state.counters["median_ms"] = latencies[latencies.size() / 2];
    state.counters["worst_ms"] = latencies.back();
    state.counters["late_refills"] = static_cast<double>(engine.lateRefillCount());
}

BENCHMARK(BM_PlayToFirstSound)
    ->ArgNames({"device_rate", "hogs"})
    ->ArgsProduct({{44100, 48000}, {0, 2}})
    ->Iterations(playsPerRun)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace
