#pragma once

// MixerEqualiserPair: two equaliser chains (the two mono channels, or the two
// sides of one stereo channel) run side by side in the two lanes of one SSE2
// register. Each lane performs exactly the operations
// of MixerEqualiserChain::filter in the same order, so the results are
// bit-identical to running the chains one after the other; the pair only
// lets the two independent chains share instructions.
//
// Threads: audio thread only. Never allocates or locks.

#include "mixer/MixerEqualiserChain.h"

#if defined(__SSE2__)
#include <emmintrin.h>

class MixerEqualiserPair
{
public:
    MixerEqualiserPair(MixerEqualiserChain& first, MixerEqualiserChain& second) noexcept
        : m_first(first), m_second(second)
    {
        reload();
    }

    // Takes the coefficients and memory from the two chains (again, after
    // they ran a sample on their own).
    void reload() noexcept
    {
        MixerEqualiserChain& first = m_first;
        MixerEqualiserChain& second = m_second;
        for (int band = 0; band < MixerEqualiserChain::kBandCount; ++band)
        {
            const CFxRbjFilter::Coefficients& a = first.coefficients(band);
            const CFxRbjFilter::Coefficients& b = second.coefficients(band);
            m_b0[band] = _mm_set_pd(b.b0, a.b0);
            m_b1[band] = _mm_set_pd(b.b1, a.b1);
            m_b2[band] = _mm_set_pd(b.b2, a.b2);
            m_a1[band] = _mm_set_pd(b.a1, a.a1);
            m_a2[band] = _mm_set_pd(b.a2, a.a2);
        }
        for (int link = 0; link < MixerEqualiserChain::kLinkCount; ++link)
        {
            for (int age = 0; age < 2; ++age)
                m_history[link][age] =
                    _mm_set_pd(second.history()[link][age], first.history()[link][age]);
        }
    }

    // One sample of each chain: the first chain's in the low lane.
    void filter(float& firstSample, float& secondSample) noexcept
    {
        __m128d value = _mm_set_pd(secondSample, firstSample);
        for (int band = 0; band < MixerEqualiserChain::kBandCount; ++band)
        {
            // (b1 x1 - a1 y1) + (b2 x2 - a2 y2), then + b0 x: the scalar order.
            const __m128d recent = _mm_sub_pd(_mm_mul_pd(m_b1[band], m_history[band][0]),
                                              _mm_mul_pd(m_a1[band], m_history[band + 1][0]));
            const __m128d older = _mm_sub_pd(_mm_mul_pd(m_b2[band], m_history[band][1]),
                                             _mm_mul_pd(m_a2[band], m_history[band + 1][1]));
            const __m128d output =
                _mm_add_pd(_mm_add_pd(recent, older), _mm_mul_pd(m_b0[band], value));
            m_history[band][1] = m_history[band][0];
            m_history[band][0] = value;
            value = output;
        }
        const int last = MixerEqualiserChain::kBandCount;
        m_history[last][1] = m_history[last][0];
        m_history[last][0] = value;
        firstSample = static_cast<float>(_mm_cvtsd_f64(value));
        secondSample = static_cast<float>(_mm_cvtsd_f64(_mm_unpackhi_pd(value, value)));
    }

    // Hands the memory back to the two chains (which then finish as usual).
    void finish() noexcept
    {
        for (int link = 0; link < MixerEqualiserChain::kLinkCount; ++link)
        {
            for (int age = 0; age < 2; ++age)
            {
                m_first.history()[link][age] = _mm_cvtsd_f64(m_history[link][age]);
                m_second.history()[link][age] =
                    _mm_cvtsd_f64(_mm_unpackhi_pd(m_history[link][age], m_history[link][age]));
            }
        }
    }

private:
    MixerEqualiserChain& m_first;
    MixerEqualiserChain& m_second;
    __m128d m_b0[MixerEqualiserChain::kBandCount];
    __m128d m_b1[MixerEqualiserChain::kBandCount];
    __m128d m_b2[MixerEqualiserChain::kBandCount];
    __m128d m_a1[MixerEqualiserChain::kBandCount];
    __m128d m_a2[MixerEqualiserChain::kBandCount];
    __m128d m_history[MixerEqualiserChain::kLinkCount][2];
};

#define CORVANE_HAVE_EQUALISER_PAIR 1
#endif
