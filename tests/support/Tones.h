#pragma once

// Sound for tests: tones written in code, the measurement tests assert on
// (pitch, level, no gap), the stretches a recording sounds in, temporary
// folders and files, and a stand-in rack unit.

#include "app/RackProcessor.h"

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace testkit
{

using Bytes = std::vector<unsigned char>;

// Interleaved stereo sine tones of the given amplitude (full scale 1.0).
std::vector<float> makeStereoTone(int sampleRate, size_t frames, double leftFrequency,
                                  double rightFrequency, double amplitude);

// A mono sine of the given amplitude, starting at phase 0.
std::vector<float> makeSine(int sampleRate, size_t frames, double frequency, double amplitude);

// Root mean square of the samples.
double rms(const std::vector<float>& samples);

// A tone's amplitude (one DFT bin) over 0.2 s from 0.3 s into the sounding
// part of a recording (past the first sample above 0.001); 0 when too short.
// 0.2 s holds whole periods of every tone that is a multiple of 5 Hz.
double toneLevel(const std::vector<float>& samples, int sampleRate, double frequency);

// The rack-unit state a unit's engine obeys (running, routed, sample rate).
class StubRackUnit : public RackProcessor
{
public:
    void Process(float**, float**, long, long, long) override {}
};

// A fresh folder, removed with its contents at destruction.
class TemporaryFolder
{
public:
    TemporaryFolder();
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;
    std::string path(const std::string& name) const { return m_folder + "/" + name; }
    const std::string& folder() const { return m_folder; }
    // Writes the parts one after the other into the file `name`; returns its path.
    std::string write(const std::string& name, std::initializer_list<Bytes> parts) const;

private:
    std::string m_folder;
};

// Checks count samples, every stride-th, against a steady sine: frequency from
// interpolated rising zero crossings, peak level (RMS × √2), and no sample
// further than maxJump from the sine's own recurrence x[n] = 2cos(w)x[n-1] -
// x[n-2] (a gap, repeat or drop breaks it; coding noise stays far below 0.01).
// Returns what is wrong, "" for a good tone.
std::string toneFaults(const float* samples, size_t count, size_t stride, double sampleRate,
                       double frequency, double level, double frequencyTolerance = 0.05,
                       double levelTolerance = 0.01, double maxJump = 0.01);

void writeFile(const std::string& path, const Bytes& bytes);

// A WAV file as float channels.
struct Recording
{
    int sampleRate = 0;
    std::vector<std::vector<float>> channels;
    size_t frames() const { return channels.empty() ? 0 : channels.front().size(); }
};
// No channels when the file cannot be read.
Recording readWav(const std::string& path);
// Writes float channels of equal length (a device's input file, a pad);
// false when the file could not be written.
bool writeWav(const std::string& path, const Recording& recording);
// The same in any format libsndfile writes (SF_FORMAT_* major | subtype).
bool writeSoundFile(const std::string& path, const Recording& recording, int format);

// The stretches [begin, end) where a recording sounds: above 0.05, split by
// 10 ms of silence at 48000 Hz.
std::vector<std::pair<size_t, size_t>> soundingStretches(const std::vector<float>& samples);

} // namespace testkit
