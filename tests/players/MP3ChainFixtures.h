#pragma once

// What a playlist played through the mixer must sound like: the check of a
// recording's tracks, shared by the MP3 chain test and the whole-program
// journeys.

#include "MP3TestFixtures.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace mp3test
{

struct Track
{
    double frequency;
    double seconds; // 0: not checked
};

using testkit::soundingStretches;

// The sounding stretches of a 48000 Hz recording begin with `tracks`, and
// hold nothing more unless `more`. Each keeps pitch and level with no gap or
// jump over its first two seconds, its whole and its last two seconds (50 ms
// codec edges left out), and lasts its seconds within 100 frames.
inline void expectTracks(const std::vector<float>& samples, const std::vector<Track>& tracks,
                         double level, bool more = false)
{
    constexpr size_t edge = 2400, twoSeconds = 96000;
    const std::vector<std::pair<size_t, size_t>> stretches = soundingStretches(samples);
    ASSERT_EQ(more ? tracks.size() : stretches.size(), tracks.size());
    ASSERT_GE(stretches.size(), tracks.size());
    for (size_t track = 0; track < tracks.size(); ++track)
    {
        const auto [begin, end] = stretches[track];
        const Track expected = tracks[track];
        SCOPED_TRACE(testing::Message() << "track " << track + 1 << " at " << begin);
        EXPECT_NEAR(static_cast<double>(end - begin),
                    expected.seconds > 0 ? expected.seconds * 48000 : end - begin, 100.0);
        const std::pair<size_t, size_t> windows[] = {
            {begin + edge, std::min(begin + twoSeconds, end - edge)},
            {begin + edge, end - edge},
            {std::max(end, begin + edge + twoSeconds) - twoSeconds, end - edge}};
        for (const auto& [from, to] : windows)
            EXPECT_EQ(
                toneFaults(samples.data() + from, to - from, 1, 48000, expected.frequency, level),
                "");
    }
}

} // namespace mp3test
