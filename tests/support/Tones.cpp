#include "support/Tones.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <sstream>
#include <stdexcept>

namespace testkit
{

std::vector<float> makeStereoTone(int sampleRate, size_t frames, double leftFrequency,
                                  double rightFrequency, double amplitude)
{
    std::vector<float> samples(frames * 2);
    for (size_t index = 0; index < samples.size(); ++index)
        samples[index] =
            static_cast<float>(amplitude * std::sin(2.0 * std::numbers::pi *
                                                    (index % 2 ? rightFrequency : leftFrequency) *
                                                    static_cast<double>(index / 2) / sampleRate));
    return samples;
}

std::vector<float> makeSine(int sampleRate, size_t frames, double frequency, double amplitude)
{
    std::vector<float> samples(frames);
    for (size_t frame = 0; frame < frames; ++frame)
        samples[frame] =
            static_cast<float>(amplitude * std::sin(2.0 * std::numbers::pi * frequency *
                                                    static_cast<double>(frame) / sampleRate));
    return samples;
}

double rms(const std::vector<float>& samples)
{
    double sum = 0.0;
    for (float sample : samples)
        sum += static_cast<double>(sample) * sample;
    return std::sqrt(sum / static_cast<double>(samples.size()));
}

double toneLevel(const std::vector<float>& samples, int sampleRate, double frequency)
{
    size_t first = 0;
    while (first < samples.size() && std::fabs(samples[first]) < 1e-3f)
        ++first;
    first += static_cast<size_t>(sampleRate * 3 / 10);
    const size_t length = static_cast<size_t>(sampleRate / 5);
    if (first + length > samples.size())
        return 0.0;
    std::complex<double> sum;
    for (size_t frame = first; frame < first + length; ++frame)
        sum += static_cast<double>(samples[frame]) *
               std::polar(1.0, -2.0 * std::numbers::pi * frequency * static_cast<double>(frame) /
                                   sampleRate);
    return 2.0 * std::abs(sum) / static_cast<double>(length);
}

void writeFile(const std::string& path, const Bytes& bytes)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    if (!file)
        throw std::runtime_error("cannot write " + path);
}

TemporaryFolder::TemporaryFolder()
    : m_folder((std::filesystem::temp_directory_path() / "corvane-test-XXXXXX").string())
{
    if (mkdtemp(m_folder.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
}

TemporaryFolder::~TemporaryFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_folder, ignored);
}

std::string TemporaryFolder::write(const std::string& name,
                                   std::initializer_list<Bytes> parts) const
{
    Bytes joined;
    for (const auto& part : parts)
        joined.insert(joined.end(), part.begin(), part.end());
    writeFile(path(name), joined);
    return path(name);
}

std::string toneFaults(const float* samples, size_t count, size_t stride, double sampleRate,
                       double frequency, double level, double frequencyTolerance,
                       double levelTolerance, double maxJump)
{
    const auto at = [&](size_t index) { return static_cast<double>(samples[index * stride]); };
    const double coefficient = 2.0 * std::cos(2.0 * std::numbers::pi * frequency / sampleRate);
    double first = 0.0, last = 0.0, squares = 0.0, jump = 0.0;
    size_t crossings = 0;
    for (size_t index = 0; index < count; ++index)
    {
        squares += at(index) * at(index);
        if (index >= 2)
            jump =
                std::max(jump, std::abs(at(index) - coefficient * at(index - 1) + at(index - 2)));
        if (index >= 1 && at(index - 1) < 0.0 && at(index) >= 0.0)
        {
            last = static_cast<double>(index - 1) + at(index - 1) / (at(index - 1) - at(index));
            first = crossings++ == 0 ? last : first;
        }
    }
    const double measuredFrequency =
        crossings < 2 ? 0.0 : static_cast<double>(crossings - 1) * sampleRate / (last - first);
    const double measuredLevel =
        std::sqrt(squares / static_cast<double>(count)) * std::numbers::sqrt2;
    std::ostringstream faults;
    if (std::abs(measuredFrequency - frequency) > frequencyTolerance)
        faults << "frequency " << measuredFrequency << " Hz, not " << frequency << "; ";
    if (std::abs(measuredLevel - level) > levelTolerance)
        faults << "level " << measuredLevel << ", not " << level << "; ";
    if (jump > maxJump)
        faults << "a jump of " << jump << "; ";
    return faults.str();
}

Recording readWav(const std::string& path)
{
    Recording recording;
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr)
        return recording;
    std::vector<float> interleaved(static_cast<size_t>(info.frames * info.channels));
    const sf_count_t frames = sf_readf_float(file, interleaved.data(), info.frames);
    sf_close(file);
    recording.sampleRate = info.samplerate;
    recording.channels.assign(static_cast<size_t>(info.channels),
                              std::vector<float>(static_cast<size_t>(frames)));
    for (sf_count_t frame = 0; frame < frames; ++frame)
        for (int channel = 0; channel < info.channels; ++channel)
            recording.channels[static_cast<size_t>(channel)][static_cast<size_t>(frame)] =
                interleaved[static_cast<size_t>(frame * info.channels + channel)];
    return recording;
}

bool writeWav(const std::string& path, const Recording& recording)
{
    return writeSoundFile(path, recording, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
}

bool writeSoundFile(const std::string& path, const Recording& recording, int format)
{
    const size_t channels = recording.channels.size();
    const size_t frames = recording.frames();
    std::vector<float> interleaved(frames * channels);
    for (size_t frame = 0; frame < frames; ++frame)
        for (size_t channel = 0; channel < channels; ++channel)
            interleaved[frame * channels + channel] = recording.channels[channel][frame];
    SF_INFO info{0, recording.sampleRate, static_cast<int>(channels), format, 0, 0};
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    const bool written = file != nullptr && sf_writef_float(file, interleaved.data(),
                                                            static_cast<sf_count_t>(frames)) ==
                                                static_cast<sf_count_t>(frames);
    sf_close(file);
    return written;
}

std::vector<std::pair<size_t, size_t>> soundingStretches(const std::vector<float>& samples)
{
    constexpr size_t silence = 480;
    std::vector<std::pair<size_t, size_t>> stretches;
    size_t lastLoud = 0;
    for (size_t index = 0; index < samples.size(); ++index)
    {
        if (std::abs(samples[index]) <= 0.05f)
            continue;
        if (stretches.empty() || index - lastLoud >= silence)
            stretches.emplace_back(index, index);
        stretches.back().second = lastLoud = index + 1;
    }
    return stretches;
}

} // namespace testkit
