#pragma once

// Meter readings made on the audio thread: the absolute peak of a block and
// its level in dB (20 log10 of the peak). Every unit's meters read this way.
//
// Threads: any; never allocates, locks or waits.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>

namespace meter
{

// -120 dB: the floor the players and the recorder give silence.
constexpr float kSmallestPeak = 1e-6f;

// 20 log10(peak), as 20 / ln 10 × ln(peak): the C library's logf is several
// times faster than its log10f, and a meter shows nothing of the last bit.
inline float decibels(float peak) noexcept
{
    constexpr float kDecibelsPerNeper = 8.685889638065036f;
    return kDecibelsPerNeper * std::log(peak);
}

// The largest magnitude in the block, or `floor` if that is larger. Eight
// running maxima side by side, so the loop runs as vector maxima without
// reordering a float reduction.
inline float blockPeak(const float* samples, size_t count, float floor = kSmallestPeak) noexcept
{
    constexpr size_t kLanes = 8;
    std::array<float, kLanes> lanes;
    lanes.fill(floor);
    size_t frame = 0;
    for (; frame + kLanes <= count; frame += kLanes)
        for (size_t lane = 0; lane < kLanes; ++lane)
        {
            const float magnitude = std::fabs(samples[frame + lane]);
            lanes[lane] = lanes[lane] < magnitude ? magnitude : lanes[lane];
        }
    float peak = *std::max_element(lanes.begin(), lanes.end());
    for (; frame < count; ++frame)
        peak = std::max(peak, std::fabs(samples[frame]));
    return peak;
}

// A block's reading in dB, from the -120 dB floor.
inline float blockDecibels(const float* samples, long frames) noexcept
{
    return decibels(blockPeak(samples, static_cast<size_t>(std::max(frames, 0L))));
}

} // namespace meter
