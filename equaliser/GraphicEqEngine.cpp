#include "equaliser/GraphicEqEngine.h"

#include <algorithm>
#include <cmath>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace
{

using Memory = GraphicEqEngine::Memory;
using CoefficientSet = GraphicEqEngine::CoefficientSet;
constexpr int kBands = GraphicEqEngine::kBandCount;
constexpr int kLinks = GraphicEqEngine::kLinkCount;

float blockPeak(const float* samples, long frames) noexcept
{
    float peak = 0.0f;
    for (long frame = 0; frame < frames; ++frame)
        peak = std::max(peak, std::fabs(samples[frame]));
    return peak;
}

double memoryPeak(const Memory& memory) noexcept
{
    double peak = 0.0;
    for (const auto& link : memory)
        peak = std::max({peak, std::fabs(link[0]), std::fabs(link[1])});
    return peak;
}

bool memoryFinite(const Memory& memory) noexcept
{
    for (const auto& link : memory)
        if (!std::isfinite(link[0]) || !std::isfinite(link[1]))
            return false;
    return true;
}

// One peaking section. Its b1 equals a1, so b1 x1 - a1 y1 is a1 (x1 - y1),
// and b2 x2 - a2 y2 is (b2 - a2) x2 + a2 (x2 - y2): a flat section (b2 = a2,
// outputs equal inputs) then adds exactly nothing to b0 x = x. The memory's
// terms come first, so only the last step waits on the section before.
double peakingOutput(const CFxRbjFilter::Coefficients& c, double input, double input1,
                     double input2, double output1, double output2) noexcept
{
    double memory = (c.b2 - c.a2) * input2;
    memory = memory + c.a2 * (input2 - output2);
    memory = memory + c.a1 * (input1 - output1);
    return memory + c.b0 * input;
}

// The same with one rounding per multiply-add; std::fma rounds as the
// processor's instruction does.
double fusedPeakingOutput(const CFxRbjFilter::Coefficients& c, double input, double input1,
                          double input2, double output1, double output2) noexcept
{
    double memory = (c.b2 - c.a2) * input2;
    memory = std::fma(c.a2, input2 - output2, memory);
    memory = std::fma(c.a1, input1 - output1, memory);
    return std::fma(c.b0, input, memory);
}

#if defined(__x86_64__)

// The four sides in the four lanes of one AVX register. Each lane performs
// exactly the operations of GraphicEqEngine::filterSide in the same order,
// so the results equal the plain chain's bit for bit. A lane without a side
// reads and writes one scratch sample (stride 0) and a scratch memory.
struct Lanes
{
    float* samples[4];
    long stride[4];
    Memory* memory[4];
};

// Each band's coefficients in all four lanes, and the four memories.
struct LaneState
{
    __m256d b0[kBands], a1[kBands], a2[kBands], d2[kBands];
    __m256d history[kLinks][2];
};

__attribute__((target("avx"))) inline void loadLanes(const CoefficientSet& set, const Lanes& lanes,
                                                     LaneState& state) noexcept
{
    for (int band = 0; band < kBands; ++band)
    {
        const CFxRbjFilter::Coefficients& c = set[static_cast<size_t>(band)];
        state.b0[band] = _mm256_set1_pd(c.b0);
        state.a1[band] = _mm256_set1_pd(c.a1);
        state.a2[band] = _mm256_set1_pd(c.a2);
        state.d2[band] = _mm256_set1_pd(c.b2 - c.a2);
    }
    for (size_t link = 0; link < kLinks; ++link)
        for (size_t age = 0; age < 2; ++age)
            state.history[link][age] =
                _mm256_set_pd((*lanes.memory[3])[link][age], (*lanes.memory[2])[link][age],
                              (*lanes.memory[1])[link][age], (*lanes.memory[0])[link][age]);
}

__attribute__((target("avx"))) inline void storeLanes(const LaneState& state,
                                                      const Lanes& lanes) noexcept
{
    for (size_t link = 0; link < kLinks; ++link)
        for (size_t age = 0; age < 2; ++age)
        {
            alignas(32) double values[4];
            _mm256_store_pd(values, state.history[link][age]);
            for (size_t lane = 0; lane < 4; ++lane)
                (*lanes.memory[lane])[link][age] = values[lane];
        }
}

__attribute__((target("avx"))) inline __m256d readFrame(const Lanes& lanes, long frame) noexcept
{
    return _mm256_cvtps_pd(_mm_set_ps(
        lanes.samples[3][frame * lanes.stride[3]], lanes.samples[2][frame * lanes.stride[2]],
        lanes.samples[1][frame * lanes.stride[1]], lanes.samples[0][frame * lanes.stride[0]]));
}

__attribute__((target("avx"))) inline void writeFrame(const Lanes& lanes, long frame,
                                                      __m256d value) noexcept
{
    alignas(16) float results[4];
    _mm_store_ps(results, _mm256_cvtpd_ps(value));
    for (int lane = 0; lane < 4; ++lane)
        lanes.samples[lane][frame * lanes.stride[lane]] = results[lane];
}

__attribute__((target("avx"))) void filterFourSides(const CoefficientSet& set, const Lanes& lanes,
                                                    long frames) noexcept
{
    LaneState state;
    loadLanes(set, lanes, state);
    auto& history = state.history;
    for (long frame = 0; frame < frames; ++frame)
    {
        __m256d value = readFrame(lanes, frame);
        // A band's output memory is the next band's input memory: each is
        // read once a frame.
        __m256d input1 = history[0][0], input2 = history[0][1];
        for (int band = 0; band < kBands; ++band)
        {
            // peakingOutput's steps.
            const __m256d output1 = history[band + 1][0], output2 = history[band + 1][1];
            __m256d memory = _mm256_mul_pd(state.d2[band], input2);
            memory = _mm256_add_pd(memory,
                                   _mm256_mul_pd(state.a2[band], _mm256_sub_pd(input2, output2)));
            memory = _mm256_add_pd(memory,
                                   _mm256_mul_pd(state.a1[band], _mm256_sub_pd(input1, output1)));
            const __m256d output = _mm256_add_pd(memory, _mm256_mul_pd(state.b0[band], value));
            history[band][1] = input1;
            history[band][0] = value;
            input1 = output1;
            input2 = output2;
            value = output;
        }
        history[kBands][1] = history[kBands][0];
        history[kBands][0] = value;
        writeFrame(lanes, frame, value);
    }
    storeLanes(state, lanes);
}

// Six operations a section where the plain steps take nine.
__attribute__((target("avx,fma"))) void
filterFourSidesFused(const CoefficientSet& set, const Lanes& lanes, long frames) noexcept
{
    LaneState state;
    loadLanes(set, lanes, state);
    auto& history = state.history;
    for (long frame = 0; frame < frames; ++frame)
    {
        __m256d value = readFrame(lanes, frame);
        // A band's output memory is the next band's input memory: each is
        // read once a frame.
        __m256d input1 = history[0][0], input2 = history[0][1];
        for (int band = 0; band < kBands; ++band)
        {
            // fusedPeakingOutput's steps.
            const __m256d output1 = history[band + 1][0], output2 = history[band + 1][1];
            __m256d memory = _mm256_mul_pd(state.d2[band], input2);
            memory = _mm256_fmadd_pd(state.a2[band], _mm256_sub_pd(input2, output2), memory);
            memory = _mm256_fmadd_pd(state.a1[band], _mm256_sub_pd(input1, output1), memory);
            const __m256d output = _mm256_fmadd_pd(state.b0[band], value, memory);
            history[band][1] = input1;
            history[band][0] = value;
            input1 = output1;
            input2 = output2;
            value = output;
        }
        history[kBands][1] = history[kBands][0];
        history[kBands][0] = value;
        writeFrame(lanes, frame, value);
    }
    storeLanes(state, lanes);
}

#endif

} // namespace

GraphicEqEngine::GraphicEqEngine()
{
    for (auto& value : m_values)
        value.store(kFlatValue, std::memory_order_relaxed);
#if defined(__x86_64__)
    m_useFourLanes = __builtin_cpu_supports("avx");
    if (m_useFourLanes && __builtin_cpu_supports("fma"))
        m_arithmetic = Arithmetic::Fused;
#endif
    publish();
    acquire();
}

bool GraphicEqEngine::setArithmetic(Arithmetic arithmetic) noexcept
{
    if (arithmetic == Arithmetic::Fused && m_arithmetic != Arithmetic::Fused)
        return false;
    m_arithmetic = arithmetic;
    return true;
}

void GraphicEqEngine::prepare(double sampleRate)
{
    if (sampleRate <= 0.0 || !std::isfinite(sampleRate))
        return;
    m_sampleRate.store(sampleRate);
    publish();
}

void GraphicEqEngine::reset() noexcept
{
    for (auto& memory : m_memory)
        memory = {};
}

void GraphicEqEngine::setValues(const Values& values)
{
    for (size_t band = 0; band < kBandCount; ++band)
        m_values[band].store(clampValue(values[band]), std::memory_order_relaxed);
    publish();
}

GraphicEqEngine::Values GraphicEqEngine::values() const
{
    Values values{};
    for (size_t band = 0; band < kBandCount; ++band)
        values[band] = m_values[band].load(std::memory_order_relaxed);
    return values;
}

void GraphicEqEngine::publish()
{
    const std::lock_guard<std::mutex> lock(m_writerMutex);
    const double rate = m_sampleRate.load();
    CoefficientSet& set = m_sets[m_writerSet];
    // The cookbook's peaking section, read back from a filter no one else uses.
    CFxRbjFilter section;
    for (size_t band = 0; band < kBandCount; ++band)
    {
        const int value = m_values[band].load(std::memory_order_relaxed);
        if (section.calc_filter_coeffs(CFxRbjFilter::PeakingEqualiser, kCentres[band], rate, kQ,
                                       gainDb(value), false))
            section.acquireCoefficients();
        set[band] = section.activeCoefficients();
    }
    m_writerSet =
        m_handOver.exchange(m_writerSet | kFreshFlag, std::memory_order_acq_rel) & kSetIndexMask;
}

void GraphicEqEngine::acquire() noexcept
{
    if ((m_handOver.load(std::memory_order_relaxed) & kFreshFlag) == 0)
        return;
    m_readerSet = m_handOver.exchange(m_readerSet, std::memory_order_acq_rel) & kSetIndexMask;
}

void GraphicEqEngine::filterSide(const CoefficientSet& set, Memory& memory, float* samples,
                                 long frames, Arithmetic arithmetic) noexcept
{
    const auto section = arithmetic == Arithmetic::Fused ? fusedPeakingOutput : peakingOutput;
    Memory history = memory;
    for (long frame = 0; frame < frames; ++frame)
    {
        double value = samples[frame];
        for (size_t band = 0; band < kBandCount; ++band)
        {
            const double output = section(set[band], value, history[band][0], history[band][1],
                                          history[band + 1][0], history[band + 1][1]);
            history[band][1] = history[band][0];
            history[band][0] = value;
            value = output;
        }
        history[kBandCount][1] = history[kBandCount][0];
        history[kBandCount][0] = value;
        samples[frame] = static_cast<float>(value);
    }
    memory = history;
}

void GraphicEqEngine::process(float**, float** out, long, long numOut, long frames) noexcept
{
    acquire();
    if (out == nullptr || frames <= 0)
        return;
    const CoefficientSet& set = m_sets[m_readerSet];
    std::array<bool, kSideCount> active{};
    int activeCount = 0;
    for (int side = 0; side < kSideCount; ++side)
    {
        const auto index = static_cast<size_t>(side);
        if (side >= numOut || out[side] == nullptr || !m_pairOn[index / 2].load())
            continue;
        // Silence in and a memory that has died away: nothing would sound.
        if (blockPeak(out[side], frames) < kSilence && memoryPeak(m_memory[index]) < kSilence)
        {
            m_memory[index] = {};
            continue;
        }
        active[index] = true;
        ++activeCount;
    }
    if (activeCount == 0)
        return;

#if defined(__x86_64__)
    if (m_useFourLanes)
    {
        float sink = 0.0f;
        Memory spare{};
        Lanes lanes{};
        for (size_t lane = 0; lane < kSideCount; ++lane)
        {
            lanes.samples[lane] = active[lane] ? out[lane] : &sink;
            lanes.stride[lane] = active[lane] ? 1 : 0;
            lanes.memory[lane] = active[lane] ? &m_memory[lane] : &spare;
        }
        if (m_arithmetic == Arithmetic::Fused)
            filterFourSidesFused(set, lanes, frames);
        else
            filterFourSides(set, lanes, frames);
    }
    else
#endif
    {
        for (size_t side = 0; side < kSideCount; ++side)
            if (active[side])
                filterSide(set, m_memory[side], out[side], frames);
    }

    // A side that blew up starts again from silence.
    for (size_t side = 0; side < kSideCount; ++side)
    {
        if (!active[side] || memoryFinite(m_memory[side]))
            continue;
        m_memory[side] = {};
        std::fill(out[side], out[side] + frames, 0.0f);
    }
}
