#include "support/CDImages.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>
#include <random>

namespace testkit
{

namespace
{
constexpr int kBlockFrames = 588;
constexpr int kBlockBytes = 2352;
constexpr int kBlocksPerSecond = 75;
constexpr double kDiscRate = 44100.0;
constexpr double kToneAmplitude = 0.5 * 32767.0;

std::string msf(int block)
{
    char text[16];
    std::snprintf(text, sizeof(text), "%02d:%02d:%02d", block / (60 * kBlocksPerSecond),
                  block / kBlocksPerSecond % 60, block % kBlocksPerSecond);
    return text;
}
} // namespace

const int16_t* CdImage::trackSamples(int track) const
{
    return samples.data() + static_cast<size_t>(startBlocks[track - 1]) * kBlockFrames * 2;
}

CdImage writeCdImage(const TemporaryFolder& folder, const std::string& name,
                     const std::vector<CdTrack>& tracks, int pregapBlocks)
{
    CdImage image;
    image.binPath = folder.path(name + ".bin");
    image.cuePath = folder.path(name + ".cue");
    image.samples.assign(static_cast<size_t>(pregapBlocks) * kBlockFrames * 2, 0);
    std::mt19937 random(7);
    std::string cue = "FILE \"" + name + ".bin\" BINARY\n";
    int block = pregapBlocks;
    for (size_t index = 0; index < tracks.size(); ++index)
    {
        const CdTrack& track = tracks[index];
        char header[64];
        std::snprintf(header, sizeof(header), "  TRACK %02zu %s\n", index + 1,
                      track.data ? "MODE1/2352" : "AUDIO");
        cue += header;
        if (index == 0 && pregapBlocks > 0)
            cue += "    INDEX 00 00:00:00\n";
        cue += "    INDEX 01 " + msf(block) + "\n";
        image.startBlocks.push_back(block);
        image.blockCounts.push_back(track.blocks);
        const size_t frames = static_cast<size_t>(track.blocks) * kBlockFrames;
        for (size_t frame = 0; frame < frames; ++frame)
            for (const double frequency : {track.leftHz, track.rightHz})
            {
                const double phase = 2.0 * std::numbers::pi * frequency * frame / kDiscRate;
                image.samples.push_back(track.data ? static_cast<int16_t>(random())
                                                   : static_cast<int16_t>(std::lround(
                                                         kToneAmplitude * std::sin(phase))));
            }
        block += track.blocks;
    }
    Bytes bin;
    bin.reserve(image.samples.size() * 2);
    for (const int16_t sample : image.samples)
    {
        const auto value = static_cast<uint16_t>(sample);
        bin.push_back(static_cast<unsigned char>(value & 0xFF));
        bin.push_back(static_cast<unsigned char>(value >> 8));
    }
    writeFile(image.binPath, bin);
    writeFile(image.cuePath, Bytes(cue.begin(), cue.end()));
    return image;
}

CdImage writeStandardCdImage(const TemporaryFolder& folder)
{
    CdImage image = writeCdImage(
        folder, "disc",
        {{55, 500.0, 600.0}, {163, 1000.0, 1500.0}, {108, 700.0, 900.0}, {1, 1000.0, 1000.0}}, 32);
    // Re-write track 2's first frame as the marker, in the BIN too.
    const size_t first = static_cast<size_t>(image.startBlocks[1]) * kBlockFrames * 2;
    image.samples[first] = kMarkerLeft;
    image.samples[first + 1] = kMarkerRight;
    if (std::FILE* bin = std::fopen(image.binPath.c_str(), "r+b"))
    {
        const unsigned char marker[4] = {0x34, 0x12, 0xFE, 0xFF};
        std::fseek(bin, static_cast<long>(first * 2), SEEK_SET);
        std::fwrite(marker, 1, sizeof(marker), bin);
        std::fclose(bin);
    }
    return image;
}

ScopedEnvironment::ScopedEnvironment(const char* name, const std::string& value) : m_name(name)
{
    if (const char* previous = std::getenv(name))
    {
        m_bHadValue = true;
        m_previous = previous;
    }
    setenv(name, value.c_str(), 1);
}

ScopedEnvironment::~ScopedEnvironment()
{
    if (m_bHadValue)
        setenv(m_name.c_str(), m_previous.c_str(), 1);
    else
        unsetenv(m_name.c_str());
}

} // namespace testkit
