#pragma once

// MixerGainLaws: the mixer's gain tables, filled once at construction: the
// fader law (faders, sends, returns, record level and masters, positions
// 0..110), the trim law (gain knobs, -30..+30 dB) and the pan law (0..100).
//
// Threads: built on the GUI thread, then only read (audio thread). Lookups
// clamp their argument, so an out-of-range control value never reads past a
// table.

#include <algorithm>
#include <array>

class MixerGainLaws
{
public:
    static constexpr int kHighestFaderPosition = 110;
    static constexpr int kLowestTrimDb = -30;
    static constexpr int kHighestTrimDb = 30;
    static constexpr int kHighestPanPosition = 100;

    MixerGainLaws();

    float fader(int position) const noexcept
    {
        return m_faderGains[std::clamp(position, 0, kHighestFaderPosition)];
    }
    float trim(int gainDb) const noexcept
    {
        return m_trimGains[std::clamp(gainDb, kLowestTrimDb, kHighestTrimDb) - kLowestTrimDb];
    }
    float panLeft(int pan) const noexcept
    {
        return m_panLeftGains[std::clamp(pan, 0, kHighestPanPosition)];
    }
    float panRight(int pan) const noexcept
    {
        return m_panRightGains[std::clamp(pan, 0, kHighestPanPosition)];
    }

private:
    std::array<float, kHighestFaderPosition + 1> m_faderGains{};
    std::array<float, kHighestTrimDb - kLowestTrimDb + 1> m_trimGains{};
    std::array<float, kHighestPanPosition + 1> m_panLeftGains{};
    std::array<float, kHighestPanPosition + 1> m_panRightGains{};
};
