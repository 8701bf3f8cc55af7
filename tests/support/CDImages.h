#pragma once

// CD images for tests: a BIN of 16-bit little-endian stereo tones (or data
// sectors) and the CUE sheet that describes it, written in code, with every
// sample kept so a test can compare what plays with what the disc holds.

#include "support/Tones.h"

#include <cstdint>
#include <string>
#include <vector>

namespace testkit
{

struct CdTrack
{
    int blocks;
    double leftHz = 0.0;
    double rightHz = 0.0;
    bool data = false; // MODE1/2352 sectors of pseudo-random bytes
};

struct CdImage
{
    std::string cuePath;
    std::string binPath;
    // The whole BIN as interleaved 16-bit samples.
    std::vector<int16_t> samples;
    // Per track: the block of the BIN where it starts (its INDEX 01) and its length.
    std::vector<int> startBlocks;
    std::vector<int> blockCounts;
    // Track n's (from 1) samples, interleaved.
    const int16_t* trackSamples(int track) const;
};

// Tones at half of full scale. `pregapBlocks` of silence sit in the BIN before
// track 1 (its INDEX 00), so track 1 starts at that block.
CdImage writeCdImage(const TemporaryFolder& folder, const std::string& name,
                     const std::vector<CdTrack>& tracks, int pregapBlocks = 0);

// The image most tests play: a 32-block pregap, then tracks of 55, 163, 108
// and 1 blocks (1000 Hz is 44.1 frames a period, so no period divides a
// 588-frame block); track 2 begins with the frame L = 0x1234, R = -2.
constexpr int kMarkerLeft = 0x1234;
constexpr int kMarkerRight = -2;
CdImage writeStandardCdImage(const TemporaryFolder& folder);

// Sets an environment variable for the scope, restoring what was there.
class ScopedEnvironment
{
public:
    ScopedEnvironment(const char* name, const std::string& value);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::string m_name;
    std::string m_previous;
    bool m_bHadValue = false;
};

} // namespace testkit
