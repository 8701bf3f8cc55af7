// Filling one half of the CD player's store: 54 blocks read from a BIN/CUE
// image through the reading layer, 16-bit little-endian samples to floats,
// 44100 → 48000 Hz through the persistent linear converter, as the worker
// does it. In the same iterations the peer does the same work with the bare
// libraries: fread of the same blocks from the BIN, src_short_to_float_array
// and src_process on a linear converter of its own. Counters: real-time
// ratios (audio seconds per CPU second) of both and the engine's speed
// relative to the peer.

#include "akrip32/akrip32.h"
#include "players/CDPlayerEngine.h"
#include "players/MP3RateConverter.h"
#include "support/CDImages.h"

#include <benchmark/benchmark.h>
#include <samplerate.h>

#include <time.h>

#include <cstdio>
#include <memory>

namespace
{

constexpr double deviceRate = 48000.0;
constexpr double discRate = CDPlayerEngine::kDiscRate;
constexpr long chunkFrames = static_cast<long>(CDPlayerEngine::kChunkFrames);
// Forty chunks (29 s) of tones, read round and round.
constexpr int imageChunks = 40;
// Room for a chunk at 48 kHz.
constexpr long convertedFrames = chunkFrames * 2;

double threadCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + now.tv_nsec * 1e-9;
}

// The engine's way: the reading layer, its sample decoding, its converter.
class EngineHalfFill
{
public:
    explicit EngineHalfFill(const std::string& cue)
        : m_environment(CD_DEVICE_VARIABLE, cue), m_buffer(std::make_unique<TRACKBUF>()),
          m_raw(chunkFrames * 2), m_converted(convertedFrames * 2)
    {
        CDLIST list{};
        GetCDList(&list);
        GETCDHAND request{sizeof(GETCDHAND), 1, list.drives[0].hostAdapter, 0, 0, 0, {}};
        m_handle = GetCDHandle(&request);
    }
    ~EngineHalfFill() { CloseCDHandle(m_handle); }
    bool ready() const { return m_handle != 0; }

    void fill()
    {
        m_buffer->startBlock = m_chunk * CD_CHUNK_BLOCKS;
        m_buffer->blockCount = CD_CHUNK_BLOCKS;
        m_buffer->capacityBytes = CD_CHUNK_BYTES;
        ReadCDAudioLBA(m_handle, m_buffer.get());
        CDPlayerEngine::decodeDiscSamples(m_buffer->audio, m_raw.size(), m_raw.data());
        m_converter.convert(m_raw.data(), chunkFrames, m_converted.data(), convertedFrames,
                            deviceRate / discRate);
        benchmark::DoNotOptimize(m_converted.data());
        m_chunk = (m_chunk + 1) % imageChunks;
    }

private:
    testkit::ScopedEnvironment m_environment;
    HCDROM m_handle = 0;
    std::unique_ptr<TRACKBUF> m_buffer;
    MP3RateConverter m_converter{MP3RateConverter::Quality::Linear};
    std::vector<float> m_raw;
    std::vector<float> m_converted;
    int m_chunk = 0;
};

// The bare libraries doing the same work.
class PeerHalfFill
{
public:
    explicit PeerHalfFill(const std::string& bin)
        : m_file(std::fopen(bin.c_str(), "rb")), m_pcm(chunkFrames * 2), m_raw(chunkFrames * 2),
          m_converted(convertedFrames * 2)
    {
        int error = 0;
        m_state = src_new(SRC_LINEAR, 2, &error);
    }
    ~PeerHalfFill()
    {
        src_delete(m_state);
        if (m_file != nullptr)
            std::fclose(m_file);
    }

    void fill()
    {
        std::fseek(m_file, static_cast<long>(m_chunk) * CD_CHUNK_BYTES, SEEK_SET);
        benchmark::DoNotOptimize(std::fread(m_pcm.data(), 2, m_pcm.size(), m_file));
        src_short_to_float_array(m_pcm.data(), m_raw.data(), static_cast<int>(m_raw.size()));
        SRC_DATA request{};
        request.data_in = m_raw.data();
        request.input_frames = chunkFrames;
        request.data_out = m_converted.data();
        request.output_frames = convertedFrames;
        request.src_ratio = deviceRate / discRate;
        src_process(m_state, &request);
        benchmark::DoNotOptimize(m_converted.data());
        m_chunk = (m_chunk + 1) % imageChunks;
    }

private:
    std::FILE* m_file;
    SRC_STATE* m_state = nullptr;
    std::vector<short> m_pcm;
    std::vector<float> m_raw;
    std::vector<float> m_converted;
    int m_chunk = 0;
};

void BM_HalfFillFromImageTo48000(benchmark::State& state)
{
    testkit::TemporaryFolder folder;
    const testkit::CdImage image =
        testkit::writeCdImage(folder, "bench", {{imageChunks * CD_CHUNK_BLOCKS, 440.0, 660.0}});
    EngineHalfFill engine(image.cuePath);
    PeerHalfFill peer(image.binPath);
    if (!engine.ready())
    {
        state.SkipWithError("the image did not open");
        return;
    }
    double engineSeconds = 0.0;
    double peerSeconds = 0.0;
    for (auto _ : state)
    {
        const double start = threadCpuSeconds();
        engine.fill();
        const double middle = threadCpuSeconds();
        peer.fill();
        const double end = threadCpuSeconds();
        engineSeconds += middle - start;
        peerSeconds += end - middle;
        state.SetIterationTime(middle - start);
    }
    const double audioSeconds =
        static_cast<double>(chunkFrames) / discRate * static_cast<double>(state.iterations());
    state.counters["engine_realtime_ratio"] = audioSeconds / engineSeconds;
    state.counters["peer_realtime_ratio"] = audioSeconds / peerSeconds;
    state.counters["speed_vs_peer"] = peerSeconds / engineSeconds;
}

BENCHMARK(BM_HalfFillFromImageTo48000)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace
