#pragma once

// MixerEqualiserChain: one channel's three equaliser bands (high, mid, low)
// for one block, run as a single chain in double. Each link between two
// bands keeps one history, which is both the earlier band's output memory and
// the later band's input memory, so the chain's memory fits in registers.
// The chain adopts each band's newest coefficients when it starts and writes
// the memory back to the three filters when it finishes.
//
// Threads: audio thread only. Never allocates or locks.

#include "utilkit/FxRbjFilter.h"

#include <array>

class MixerEqualiserChain
{
public:
    static constexpr int kBandCount = 3;
    // Link 0 is the chain's input history, link k (1..3) band k's output.
    static constexpr int kLinkCount = kBandCount + 1;

    // bands: the channel's three filters, high, mid, low.
    explicit MixerEqualiserChain(CFxRbjFilter* bands) noexcept : m_filters(bands)
    {
        for (int band = 0; band < kBandCount; ++band)
        {
            const CFxRbjFilter::BlockState state = bands[band].beginBlock();
            m_coefficients[band] = state.coefficients;
            if (band == 0)
            {
                m_history[0][0] = state.input1;
                m_history[0][1] = state.input2;
            }
            m_history[band + 1][0] = state.output1;
            m_history[band + 1][1] = state.output2;
        }
    }

    float filter(float sample) noexcept
    {
        double value = sample;
        for (int band = 0; band < kBandCount; ++band)
        {
            const double output = CFxRbjFilter::nextOutput(
                *m_coefficients[band], value, m_history[band][0], m_history[band][1],
                m_history[band + 1][0], m_history[band + 1][1]);
            m_history[band][1] = m_history[band][0];
            m_history[band][0] = value;
            value = output;
        }
        m_history[kBandCount][1] = m_history[kBandCount][0];
        m_history[kBandCount][0] = value;
        return static_cast<float>(value);
    }

    // Writes the chain's memory back into the three filters.
    void finish() noexcept
    {
        for (int band = 0; band < kBandCount; ++band)
            m_filters[band].endBlock({m_coefficients[band], m_history[band][0], m_history[band][1],
                                      m_history[band + 1][0], m_history[band + 1][1]});
    }

    const CFxRbjFilter::Coefficients& coefficients(int band) const noexcept
    {
        return *m_coefficients[band];
    }
    // [link][0] is the newest value, [link][1] the one before.
    std::array<std::array<double, 2>, kLinkCount>& history() noexcept { return m_history; }

private:
    CFxRbjFilter* m_filters;
    std::array<const CFxRbjFilter::Coefficients*, kBandCount> m_coefficients{};
    std::array<std::array<double, 2>, kLinkCount> m_history{};
};
