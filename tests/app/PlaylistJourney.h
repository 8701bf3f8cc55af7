#pragma once

// The playlist a person plays in the whole-program tests, and what the device
// must then have played: two files, each after 100 ms of silence, through
// mixer channel 3 at fader 100 and masters 1-2 at 100.

#include "MP3ChainFixtures.h"
#include "mixer/MixerGainLaws.h"

#include <string>

namespace journey
{

// Names full of the rack's fader keys (q/a … o/l): typed into the Open
// dialog they must reach the dialog only.
inline constexpr const char* kFirstTrack = "quiet-walk.mp3";
inline constexpr const char* kSecondTrack = "drift-lakes.mp3";
inline constexpr double kLeadInSeconds = 0.1;

inline void writeTracks(const std::string& first, const std::string& second)
{
    mp3test::EncodeOptions options;
    options.leadInSeconds = kLeadInSeconds;
    mp3test::writeFile(first, mp3test::encodeTone(2.0, 440, 440, options).bytes);
    mp3test::writeFile(second, mp3test::encodeTone(1.5, 880, 880, options).bytes);
}

// Outputs 1 and 2 of a 48000 Hz recording hold both tracks whole, at pitch
// and level, the second following the first with no more silence than its
// own lead-in and a block's worth of hand-over.
inline void expectPlayed(const std::vector<float>& output, const MixerGainLaws& laws)
{
    const double level =
        mp3test::decodedLevel * laws.trim(0) * laws.fader(100) * laws.panLeft(50) * laws.fader(100);
    mp3test::expectTracks(output, {{440, 2.0}, {880, 1.5}}, level, true);
    const auto stretches = mp3test::soundingStretches(output);
    ASSERT_GE(stretches.size(), 2u);
    const double gapSeconds = static_cast<double>(stretches[1].first - stretches[0].second) / 48000;
    EXPECT_LT(gapSeconds, kLeadInSeconds + 0.05) << "silence between the tracks";
}

} // namespace journey
