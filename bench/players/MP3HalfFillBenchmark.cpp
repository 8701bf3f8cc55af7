// Filling one half of the MP3 player's store: decoding 115200 frames from a
// 44100 Hz file into floats, without and with conversion to 48000 Hz, as the
// refill worker does it (zero the half, decode, convert). In the same
// iterations the peer does the same work with the bare libraries: libmpg123
// decoding the same frames into memory, plus one src_simple call
// (SRC_SINC_FASTEST) over them. Counters: real-time ratios (audio seconds per
// CPU second) of both and the engine's speed relative to the peer.
//
// The audio thread's side, Process copying from the store, is measured over
// block sizes 64 to 2048.

#include "MP3TestFixtures.h"
#include "players/MP3HalfStore.h"
#include "players/MP3PlayerEngine.h"
#include "players/MP3RateConverter.h"
#include "players/MP3StreamDecoder.h"

#include <benchmark/benchmark.h>
#include <mpg123.h>
#include <samplerate.h>

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <random>

namespace
{

constexpr int fileRate = 44100;
constexpr double deviceRate = 48000.0;
constexpr long halfFrames = static_cast<long>(MP3HalfStore::halfFrames);
constexpr double halfSeconds = static_cast<double>(halfFrames) / fileRate;

// Thirty seconds of two tones under noise: enough for 11 halves before the
// file is started again.
const std::vector<unsigned char>& benchmarkFile()
{
    static const std::vector<unsigned char> bytes = []
    {
        const size_t frames = 30 * fileRate;
        auto samples = mp3test::makeStereoTone(fileRate, frames, 440.0, 660.0, 0.4);
        std::mt19937 random(3);
        std::uniform_real_distribution<float> noise(-0.1f, 0.1f);
        for (float& sample : samples)
            sample += noise(random);
        return mp3test::encodeMp3(samples, {}).bytes;
    }();
    return bytes;
}

std::string benchmarkFilePath()
{
    static const std::string path = []
    {
        const std::string file = "/tmp/corvane-mp3-benchmark.mp3";
        mp3test::writeFile(file, benchmarkFile());
        return file;
    }();
    return path;
}

double threadCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + now.tv_nsec * 1e-9;
}

// The engine's half fill, with its own decoder and converter.
class EngineHalfFill
{
public:
    EngineHalfFill()
        : m_raw(MP3HalfStore::halfFloats), m_converted(MP3HalfStore::convertedFrames * 2)
    {
        restart();
    }

    void fill(bool convert)
    {
        std::fill(m_raw.begin(), m_raw.end(), 0.0f);
        const auto result = m_decoder.decode(m_raw.data(), m_raw.size());
        if (convert)
            m_converter.convert(m_raw.data(), halfFrames, m_converted.data(),
                                static_cast<long>(MP3HalfStore::convertedFrames),
                                deviceRate / fileRate);
        benchmark::DoNotOptimize(m_converted.data());
        if (result.outcome != MP3StreamDecoder::Outcome::Filled)
            restart();
    }

private:
    void restart()
    {
        m_decoder.adoptFile(std::fopen(benchmarkFilePath().c_str(), "rb"));
        m_decoder.begin();
        m_converter.reset();
    }

    MP3StreamDecoder m_decoder;
    MP3RateConverter m_converter;
    std::vector<float> m_raw;
    std::vector<float> m_converted;
};

// The bare libraries doing the same work from memory.
class PeerHalfFill
{
public:
    PeerHalfFill()
        : m_pcm(MP3HalfStore::halfFloats), m_raw(MP3HalfStore::halfFloats),
          m_converted(MP3HalfStore::convertedFrames * 2)
    {
        mpg123_init();
        m_decoder = mpg123_new(nullptr, nullptr);
        mpg123_param(m_decoder, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
        restart();
    }
    ~PeerHalfFill() { mpg123_delete(m_decoder); }

    void fill(bool convert)
    {
        size_t got = 0;
        const int result = mpg123_read(m_decoder, m_pcm.data(), m_pcm.size() * 2, &got);
        src_short_to_float_array(m_pcm.data(), m_raw.data(), static_cast<int>(m_pcm.size()));
        if (convert)
        {
            SRC_DATA request{};
            request.data_in = m_raw.data();
            request.input_frames = halfFrames;
            request.data_out = m_converted.data();
            request.output_frames = static_cast<long>(MP3HalfStore::convertedFrames);
            request.src_ratio = deviceRate / fileRate;
            src_simple(&request, SRC_SINC_FASTEST, 2);
        }
        benchmark::DoNotOptimize(m_converted.data());
        if (result != MPG123_OK || got < m_pcm.size() * 2)
            restart();
    }

private:
    void restart()
    {
        mpg123_close(m_decoder);
        mpg123_open_feed(m_decoder);
        const auto& bytes = benchmarkFile();
        mpg123_feed(m_decoder, bytes.data(), bytes.size());
    }

    mpg123_handle* m_decoder = nullptr;
    std::vector<short> m_pcm;
    std::vector<float> m_raw;
    std::vector<float> m_converted;
};

void halfFill(benchmark::State& state, bool convert)
{
    EngineHalfFill engine;
    PeerHalfFill peer;
    double engineSeconds = 0.0;
    double peerSeconds = 0.0;
    for (auto _ : state)
    {
        const double start = threadCpuSeconds();
        engine.fill(convert);
        const double middle = threadCpuSeconds();
        peer.fill(convert);
        const double end = threadCpuSeconds();
        engineSeconds += middle - start;
        peerSeconds += end - middle;
        state.SetIterationTime(middle - start);
    }
    const double audioSeconds = halfSeconds * static_cast<double>(state.iterations());
    state.counters["engine_realtime_ratio"] = audioSeconds / engineSeconds;
    state.counters["peer_realtime_ratio"] = audioSeconds / peerSeconds;
    state.counters["speed_vs_peer"] = peerSeconds / engineSeconds;
}

void BM_HalfFillWithoutConversion(benchmark::State& state)
{
    halfFill(state, false);
}
void BM_HalfFillWith44100To48000Conversion(benchmark::State& state)
{
    halfFill(state, true);
}

BENCHMARK(BM_HalfFillWithoutConversion)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HalfFillWith44100To48000Conversion)->UseManualTime()->Unit(benchmark::kMillisecond);

// The audio thread copying a playing store into the two outputs.
void BM_ProcessBlock(benchmark::State& state)
{
    mp3test::StubRackUnit unit;
    unit.m_bRunning = true;
    unit.m_bRouted = true;
    MP3PlayerEngine engine(unit);
    engine.prepare(static_cast<double>(fileRate));
    engine.addFiles({benchmarkFilePath()});
    engine.play();
    engine.waitUntilIdle();
    const auto frames = static_cast<long>(state.range(0));
    std::vector<float> left(frames), right(frames);
    float* outputs[2] = {left.data(), right.data()};
    // Calls timed together, so the clock's own cost does not swamp small blocks.
    constexpr int callsPerIteration = 64;
    double processSeconds = 0.0;
    for (auto _ : state)
    {
        const double start = threadCpuSeconds();
        for (int call = 0; call < callsPerIteration; ++call)
            engine.process(nullptr, outputs, 0, 2, frames);
        const double spent = threadCpuSeconds() - start;
        processSeconds += spent;
        state.SetIterationTime(spent);
        benchmark::DoNotOptimize(left.data());
        if (engine.transportState() == MP3TransportState::Stopped)
        {
            engine.play();
            engine.waitUntilIdle();
        }
    }
    const double audioSeconds = static_cast<double>(frames) / fileRate * callsPerIteration *
                                static_cast<double>(state.iterations());
    state.counters["realtime_ratio"] = audioSeconds / processSeconds;
}

BENCHMARK(BM_ProcessBlock)->RangeMultiplier(2)->Range(64, 2048)->UseManualTime();

} // namespace
