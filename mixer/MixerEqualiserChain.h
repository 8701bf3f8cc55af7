#pragma once

// MixerEqualiserChain: one side of a channel's three equaliser bands (high,
// mid, low) for one block, run as a single chain in double. Each link between
// two bands keeps one history, which is both the earlier band's output memory
// and the later band's input memory, so the chain's memory fits in registers.
//
// A mono channel, and the left side of a stereo channel, run on the three
// filters themselves: the chain adopts each band's newest coefficients when it
// starts and writes the memory back to the filters when it finishes. The
// right side of a stereo channel shares the left chain's coefficients but has
// a memory of its own (Memory), so the two sides never filter each other's
// samples.
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

    // A side's memory kept apart from the filters: [link][0] is the newest
    // value, [link][1] the one before.
    using Memory = std::array<std::array<double, 2>, kLinkCount>;

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

    // The other side of a stereo channel: the coefficients that `sameBands`
    // adopted for this block, with `memory` as its own history.
    MixerEqualiserChain(const MixerEqualiserChain& sameBands, Memory& memory) noexcept
        : m_memory(&memory), m_coefficients(sameBands.m_coefficients), m_history(memory)
    {
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

    // Writes the chain's memory back (into the three filters, or the side's
    // own memory).
    void finish() noexcept
    {
        if (m_memory != nullptr)
        {
            *m_memory = m_history;
            return;
        }
        for (int band = 0; band < kBandCount; ++band)
            m_filters[band].endBlock({m_coefficients[band], m_history[band][0], m_history[band][1],
                                      m_history[band + 1][0], m_history[band + 1][1]});
    }

    const CFxRbjFilter::Coefficients& coefficients(int band) const noexcept
    {
        return *m_coefficients[band];
    }
    // [link][0] is the newest value, [link][1] the one before.
    Memory& history() noexcept { return m_history; }

private:
    CFxRbjFilter* m_filters = nullptr;
    Memory* m_memory = nullptr;
    std::array<const CFxRbjFilter::Coefficients*, kBandCount> m_coefficients{};
    Memory m_history{};
};
