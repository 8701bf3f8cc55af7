// The block path of CMASIO, from the driver's buffer switch through input
// conversion, a user callback that copies inputs to outputs, output
// conversion and output-ready, for each sample type at 64 and 256 frames.
//
// Counters: realtime_ratio = seconds of audio per CPU second;
// vs_plain_copy = time of a block / time of copying the same driver buffers
// (inputs to outputs, native bytes) measured in the same run.

#include "audiodev/MASIO.h"
#include "audiodev/SampleConverter.h"

#include "TestDriver.h"

#include <benchmark/benchmark.h>
#include <dlfcn.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace
{

constexpr double kRate = 48000.0;
constexpr int kChannels = 4;
// Blocks timed for the ratio to a plain copy.
constexpr int kRatioBlocks = 20000;

long copyCallback(float** in, float** out, long numIn, long numOut, long frames, long,
                  unsigned long)
{
    for (long channel = 0; channel < numOut && channel < numIn; ++channel)
        std::memcpy(out[channel], in[channel], sizeof(float) * size_t(frames));
    return 0;
}

TestDriver* currentDriver()
{
    void* handle =
        dlopen(AUDIODEV_BENCH_DRIVER_DIR "/bench_audiodev_drivers.so", RTLD_NOW | RTLD_NOLOAD);
    if (handle == nullptr)
        return nullptr;
    auto current = reinterpret_cast<TestDriver* (*)()>(dlsym(handle, "corvaneTestDriverCurrent"));
    TestDriver* driver = current != nullptr ? current() : nullptr;
    dlclose(handle);
    return driver;
}

// CPU time of the calling thread: the machine may be shared.
double threadSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

void blockPath(benchmark::State& state, const char* typeName, long frames)
{
    setenv("CORVANE_DRIVER_PATH", AUDIODEV_BENCH_DRIVER_DIR, 1);
    CMASIO host;
    const std::string wanted = std::string("Bench ") + typeName + " " + std::to_string(frames);
    int index = -1;
    for (unsigned i = 0; i < host.getDriverNum(); ++i)
        if (wanted == host.getDriverName(i))
            index = int(i);
    if (index < 0 || host.loaddriver(unsigned(index), &copyCallback, 0) != 1 || !host.startaudio())
    {
        state.SkipWithError("bench driver not found");
        return;
    }
    TestDriver* driver = currentDriver();
    // Driver inputs hold a non-trivial signal.
    for (int half = 0; half < 2; ++half)
        for (int channel = 0; channel < kChannels; ++channel)
        {
            unsigned char* bytes = driver->half(true, channel, half);
            const size_t size =
                audiodev::SampleConverter::bytesPerSample(driver->m_spec.sampleType) *
                size_t(frames);
            for (size_t b = 0; b < size; ++b)
                bytes[b] = static_cast<unsigned char>(b * 37 + size_t(channel));
            // Keep float samples finite and in range.
            if (driver->m_spec.sampleType == audiodev::SampleFloat32LSB)
                for (long f = 0; f < frames; ++f)
                    reinterpret_cast<float*>(bytes)[f] = float(f % 100) / 100.0f - 0.5f;
        }

    for (auto _ : state)
        driver->runBlocks(1);

    // The peer in the same run: copying the driver's input buffers into its
    // output buffers, native bytes, as a host doing no work at all would.
    const size_t bytes =
        audiodev::SampleConverter::bytesPerSample(driver->m_spec.sampleType) * size_t(frames);
    const double copyStart = threadSeconds();
    for (int block = 0; block < kRatioBlocks; ++block)
    {
        const int half = block & 1;
        for (int channel = 0; channel < kChannels; ++channel)
            std::memcpy(driver->half(false, channel, half), driver->half(true, channel, half),
                        bytes);
        benchmark::ClobberMemory();
    }
    const double copySeconds = threadSeconds() - copyStart;
    const double blockStart = threadSeconds();
    driver->runBlocks(kRatioBlocks);
    const double blockSeconds = threadSeconds() - blockStart;

    state.counters["realtime_ratio"] = benchmark::Counter(
        double(state.iterations()) * double(frames) / kRate, benchmark::Counter::kIsRate);
    state.counters["vs_plain_copy"] = blockSeconds / copySeconds;
    host.stopaudio();
    host.unloaddriver();
}

} // namespace

BENCHMARK_CAPTURE(blockPath, Int16LSB_64, "Int16LSB", 64);
BENCHMARK_CAPTURE(blockPath, Int16LSB_256, "Int16LSB", 256);
BENCHMARK_CAPTURE(blockPath, Int24LSB_64, "Int24LSB", 64);
BENCHMARK_CAPTURE(blockPath, Int24LSB_256, "Int24LSB", 256);
BENCHMARK_CAPTURE(blockPath, Int32LSB_64, "Int32LSB", 64);
BENCHMARK_CAPTURE(blockPath, Int32LSB_256, "Int32LSB", 256);
BENCHMARK_CAPTURE(blockPath, Float32LSB_64, "Float32LSB", 64);
BENCHMARK_CAPTURE(blockPath, Float32LSB_256, "Float32LSB", 256);
