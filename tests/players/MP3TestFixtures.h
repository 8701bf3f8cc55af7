#pragma once

// Test fixtures for the MP3 tests: tones written in code, MP3s encoded from
// them with LAME, ID3 tags written byte by byte, and the measurements the
// tests assert on (tone frequency and amplitude).

#include "app/RackProcessor.h"

#include <cstddef>
#include <string>
#include <vector>

namespace mp3test
{

// At a constant bitrate LAME encodes a steady tone at 0.95 of its input level
// (measured; its own decoder reads the same factor back), so a decoded tone of
// a CBR fixture is expected at 0.95 × amplitude. VBR keeps the level.
constexpr double lameLevelFactor = 0.95;

// Interleaved stereo sine tones of the given amplitude (full scale 1.0).
std::vector<float> makeStereoTone(int sampleRate, size_t frames, double leftFrequency,
                                  double rightFrequency, double amplitude);
std::vector<float> makeMonoTone(int sampleRate, size_t frames, double frequency, double amplitude);

struct EncodeOptions
{
    int sampleRate = 44100;
    int channels = 2;
    int bitrateKbps = 128;
    bool variableBitrate = false;
    // The leading Info/Xing frame that carries the gapless trim.
    bool writeInfoFrame = true;
};

struct EncodedMp3
{
    std::vector<unsigned char> bytes;
    // Audio frames LAME produced, the Info frame not included.
    int audioFrames = 0;
    // Bytes of the Info frame at the start (0 without one).
    size_t infoFrameBytes = 0;
};

// `samples` is interleaved with options.channels channels.
EncodedMp3 encodeMp3(const std::vector<float>& samples, const EncodeOptions& options);

// A 128-byte ID3v1 trailer. track < 0 writes ID3v1.0 (a 30-byte comment);
// otherwise ID3v1.1 with the track number in byte 126. Text longer than its
// field is cut; shorter text is padded with zero bytes.
std::vector<unsigned char> makeId3v1Tag(const std::string& title, const std::string& artist,
                                        const std::string& album, const std::string& year,
                                        const std::string& comment, int track, int genre);

// An ID3v2.3 tag of exactly totalBytes bytes (header included): one title
// frame followed by zero padding.
std::vector<unsigned char> makeId3v2Tag(size_t totalBytes, const std::string& title);

void writeFile(const std::string& path, const std::vector<unsigned char>& bytes);
std::vector<unsigned char> concatenate(std::initializer_list<std::vector<unsigned char>> parts);

// The rack-unit state an MP3 engine obeys (running, routed, sample rate),
// standing in for the MP3 player's panel.
class StubRackUnit : public RackProcessor
{
public:
    void Process(float**, float**, long, long, long) override {}
};

// A fresh folder removed with its contents at destruction.
class TemporaryFolder
{
public:
    TemporaryFolder();
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    std::string path(const std::string& fileName) const;
    const std::string& folder() const { return m_folder; }

private:
    std::string m_folder;
};

// Frequency of a steady tone from interpolated rising zero crossings, over
// count samples taken every stride values from samples.
double measureFrequency(const float* samples, size_t count, size_t stride, double sampleRate);
// Peak amplitude of a steady sine, from its RMS (RMS times the square root of 2).
double measureSineAmplitude(const float* samples, size_t count, size_t stride);
// The largest deviation of a sampled sine from its own two-sample prediction
// x[n] = 2 cos(w) x[n-1] - x[n-2]; a gap or jump shows up as a large value.
double largestSinePredictionError(const float* samples, size_t count, size_t stride,
                                  double frequency, double sampleRate);

} // namespace mp3test
