#include "mixer/MixerEqualiserQuad.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace mixer_equaliser_quad
{

#if defined(__x86_64__)

namespace
{

constexpr int kLanes = 4;
constexpr int kBands = MixerEqualiserChain::kBandCount;
constexpr int kLinks = MixerEqualiserChain::kLinkCount;

struct QuadState
{
    __m256d b0[kBands], b1[kBands], b2[kBands], a1[kBands], a2[kBands];
    __m256d history[kLinks][2];
};

__attribute__((target("avx"))) void load(QuadState& state,
                                         const std::array<MixerEqualiserChain*, 4>& chains)
{
    for (int band = 0; band < kBands; ++band)
    {
        const CFxRbjFilter::Coefficients* c[kLanes];
        for (int lane = 0; lane < kLanes; ++lane)
            c[lane] = &chains[lane]->coefficients(band);
        state.b0[band] = _mm256_set_pd(c[3]->b0, c[2]->b0, c[1]->b0, c[0]->b0);
        state.b1[band] = _mm256_set_pd(c[3]->b1, c[2]->b1, c[1]->b1, c[0]->b1);
        state.b2[band] = _mm256_set_pd(c[3]->b2, c[2]->b2, c[1]->b2, c[0]->b2);
        state.a1[band] = _mm256_set_pd(c[3]->a1, c[2]->a1, c[1]->a1, c[0]->a1);
        state.a2[band] = _mm256_set_pd(c[3]->a2, c[2]->a2, c[1]->a2, c[0]->a2);
    }
    for (int link = 0; link < kLinks; ++link)
    {
        for (int age = 0; age < 2; ++age)
            state.history[link][age] =
                _mm256_set_pd(chains[3]->history()[link][age], chains[2]->history()[link][age],
                              chains[1]->history()[link][age], chains[0]->history()[link][age]);
    }
}

__attribute__((target("avx"))) void store(const QuadState& state,
                                          const std::array<MixerEqualiserChain*, 4>& chains)
{
    for (int link = 0; link < kLinks; ++link)
    {
        for (int age = 0; age < 2; ++age)
        {
            alignas(32) double lanes[kLanes];
            _mm256_store_pd(lanes, state.history[link][age]);
            for (int lane = 0; lane < kLanes; ++lane)
                chains[lane]->history()[link][age] = lanes[lane];
        }
    }
}

// One sample of each chain; samples[lane] is read and replaced.
__attribute__((target("avx"))) inline void step(QuadState& state, float* const* samples, long frame)
{
    __m256d value = _mm256_cvtps_pd(
        _mm_set_ps(samples[3][frame], samples[2][frame], samples[1][frame], samples[0][frame]));
    for (int band = 0; band < kBands; ++band)
    {
        // (b1 x1 - a1 y1) + (b2 x2 - a2 y2), then + b0 x: the scalar order.
        const __m256d recent =
            _mm256_sub_pd(_mm256_mul_pd(state.b1[band], state.history[band][0]),
                          _mm256_mul_pd(state.a1[band], state.history[band + 1][0]));
        const __m256d older =
            _mm256_sub_pd(_mm256_mul_pd(state.b2[band], state.history[band][1]),
                          _mm256_mul_pd(state.a2[band], state.history[band + 1][1]));
        const __m256d output =
            _mm256_add_pd(_mm256_add_pd(recent, older), _mm256_mul_pd(state.b0[band], value));
        state.history[band][1] = state.history[band][0];
        state.history[band][0] = value;
        value = output;
    }
    state.history[kBands][1] = state.history[kBands][0];
    state.history[kBands][0] = value;
    alignas(16) float results[kLanes];
    _mm_store_ps(results, _mm256_cvtpd_ps(value));
    for (int lane = 0; lane < kLanes; ++lane)
        samples[lane][frame] = results[lane];
}

} // namespace

bool available() noexcept
{
    return __builtin_cpu_supports("avx");
}

__attribute__((target("avx"))) void
equaliseFourStereoChannels(const std::array<MixerEqualiserChain*, 4>& leftChains,
                           const std::array<MixerEqualiserChain*, 4>& rightChains,
                           const std::array<float*, 4>& left, const std::array<float*, 4>& right,
                           const std::array<const unsigned char*, 4>& gates, long frames) noexcept
{
    QuadState leftState;
    QuadState rightState;
    load(leftState, leftChains);
    load(rightState, rightChains);
    for (long frame = 0; frame < frames; ++frame)
    {
        if (gates[0][frame] && gates[1][frame] && gates[2][frame] && gates[3][frame])
        {
            step(leftState, left.data(), frame);
            step(rightState, right.data(), frame);
            continue;
        }
        store(leftState, leftChains);
        store(rightState, rightChains);
        for (int lane = 0; lane < kLanes; ++lane)
        {
            if (!gates[lane][frame])
                continue;
            left[lane][frame] = leftChains[lane]->filter(left[lane][frame]);
            right[lane][frame] = rightChains[lane]->filter(right[lane][frame]);
        }
        load(leftState, leftChains);
        load(rightState, rightChains);
    }
    store(leftState, leftChains);
    store(rightState, rightChains);
}

#else

bool available() noexcept
{
    return false;
}

void equaliseFourStereoChannels(const std::array<MixerEqualiserChain*, 4>& leftChains,
                                const std::array<MixerEqualiserChain*, 4>& rightChains,
                                const std::array<float*, 4>& left,
                                const std::array<float*, 4>& right,
                                const std::array<const unsigned char*, 4>& gates,
                                long frames) noexcept
{
    for (long frame = 0; frame < frames; ++frame)
    {
        for (int lane = 0; lane < 4; ++lane)
        {
            if (!gates[lane][frame])
                continue;
            left[lane][frame] = leftChains[lane]->filter(left[lane][frame]);
            right[lane][frame] = rightChains[lane]->filter(right[lane][frame]);
        }
    }
}

#endif

} // namespace mixer_equaliser_quad
