#include "MP3TestFixtures.h"

#include <lame/lame.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <stdexcept>

namespace mp3test
{

std::vector<float> makeStereoTone(int sampleRate, size_t frames, double leftFrequency,
                                  double rightFrequency, double amplitude)
{
    std::vector<float> samples(frames * 2);
    for (size_t frame = 0; frame < frames; ++frame)
    {
        const double time = static_cast<double>(frame) / sampleRate;
        samples[frame * 2] =
            static_cast<float>(amplitude * std::sin(2.0 * std::numbers::pi * leftFrequency * time));
        samples[frame * 2 + 1] = static_cast<float>(
            amplitude * std::sin(2.0 * std::numbers::pi * rightFrequency * time));
    }
    return samples;
}

std::vector<float> makeMonoTone(int sampleRate, size_t frames, double frequency, double amplitude)
{
    std::vector<float> samples(frames);
    for (size_t frame = 0; frame < frames; ++frame)
        samples[frame] = static_cast<float>(
            amplitude * std::sin(2.0 * std::numbers::pi * frequency * frame / sampleRate));
    return samples;
}

EncodedMp3 encodeMp3(const std::vector<float>& samples, const EncodeOptions& options)
{
    lame_global_flags* encoder = lame_init();
    lame_set_in_samplerate(encoder, options.sampleRate);
    lame_set_out_samplerate(encoder, options.sampleRate);
    lame_set_num_channels(encoder, options.channels);
    lame_set_mode(encoder, options.channels == 1 ? MONO : JOINT_STEREO);
    lame_set_quality(encoder, 5);
    lame_set_bWriteVbrTag(encoder, options.writeInfoFrame ? 1 : 0);
    lame_set_write_id3tag_automatic(encoder, 0);
    if (options.variableBitrate)
    {
        lame_set_VBR(encoder, vbr_default);
        lame_set_VBR_quality(encoder, 4.0f);
    }
    else
    {
        lame_set_VBR(encoder, vbr_off);
        lame_set_brate(encoder, options.bitrateKbps);
    }
    if (lame_init_params(encoder) < 0)
        throw std::runtime_error("lame_init_params failed");

    const size_t frames = samples.size() / options.channels;
    std::vector<float> left(frames), right(frames);
    for (size_t frame = 0; frame < frames; ++frame)
    {
        left[frame] = samples[frame * options.channels];
        right[frame] = samples[frame * options.channels + options.channels - 1];
    }
    // LAME's worst case: 1.25 × samples + 7200 bytes.
    std::vector<unsigned char> output(frames * 5 / 4 + 7200);
    EncodedMp3 encoded;
    const int written = lame_encode_buffer_ieee_float(
        encoder, left.data(), options.channels == 1 ? nullptr : right.data(),
        static_cast<int>(frames), output.data(), static_cast<int>(output.size()));
    if (written < 0)
        throw std::runtime_error("lame_encode_buffer_ieee_float failed");
    encoded.bytes.assign(output.begin(), output.begin() + written);
    const int flushed = lame_encode_flush(encoder, output.data(), static_cast<int>(output.size()));
    if (flushed < 0)
        throw std::runtime_error("lame_encode_flush failed");
    encoded.bytes.insert(encoded.bytes.end(), output.begin(), output.begin() + flushed);
    encoded.audioFrames = lame_get_frameNum(encoder);
    if (options.writeInfoFrame)
    {
        // The stream starts with a placeholder of the same size; put the real one there.
        unsigned char infoFrame[2880];
        const size_t infoBytes = lame_get_lametag_frame(encoder, infoFrame, sizeof infoFrame);
        if (infoBytes > 0 && infoBytes <= encoded.bytes.size())
            std::copy(infoFrame, infoFrame + infoBytes, encoded.bytes.begin());
        encoded.infoFrameBytes = infoBytes;
    }
    lame_close(encoder);
    return encoded;
}

namespace
{
void putField(std::vector<unsigned char>& tag, size_t offset, const std::string& text, size_t width)
{
    for (size_t index = 0; index < width && index < text.size(); ++index)
        tag[offset + index] = static_cast<unsigned char>(text[index]);
}
} // namespace

std::vector<unsigned char> makeId3v1Tag(const std::string& title, const std::string& artist,
                                        const std::string& album, const std::string& year,
                                        const std::string& comment, int track, int genre)
{
    std::vector<unsigned char> tag(128, 0);
    putField(tag, 0, "TAG", 3);
    putField(tag, 3, title, 30);
    putField(tag, 33, artist, 30);
    putField(tag, 63, album, 30);
    putField(tag, 93, year, 4);
    if (track < 0)
    {
        putField(tag, 97, comment, 30);
    }
    else
    {
        putField(tag, 97, comment, 28);
        tag[125] = 0;
        tag[126] = static_cast<unsigned char>(track);
    }
    tag[127] = static_cast<unsigned char>(genre);
    return tag;
}

std::vector<unsigned char> makeId3v2Tag(size_t totalBytes, const std::string& title)
{
    std::vector<unsigned char> tag(totalBytes, 0);
    const size_t bodyBytes = totalBytes - 10;
    tag[0] = 'I';
    tag[1] = 'D';
    tag[2] = '3';
    tag[3] = 3; // version 2.3.0
    // Syncsafe size: four 7-bit groups, most significant first.
    tag[6] = static_cast<unsigned char>((bodyBytes >> 21) & 0x7F);
    tag[7] = static_cast<unsigned char>((bodyBytes >> 14) & 0x7F);
    tag[8] = static_cast<unsigned char>((bodyBytes >> 7) & 0x7F);
    tag[9] = static_cast<unsigned char>(bodyBytes & 0x7F);
    // One TIT2 frame: 10-byte frame header, encoding byte 0 (Latin-1), the text.
    const size_t frameBytes = 1 + title.size();
    putField(tag, 10, "TIT2", 4);
    tag[14] = static_cast<unsigned char>(frameBytes >> 24);
    tag[15] = static_cast<unsigned char>(frameBytes >> 16);
    tag[16] = static_cast<unsigned char>(frameBytes >> 8);
    tag[17] = static_cast<unsigned char>(frameBytes);
    tag[20] = 0;
    putField(tag, 21, title, title.size());
    return tag;
}

void writeFile(const std::string& path, const std::vector<unsigned char>& bytes)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    if (!file)
        throw std::runtime_error("cannot write " + path);
}

std::vector<unsigned char> concatenate(std::initializer_list<std::vector<unsigned char>> parts)
{
    std::vector<unsigned char> joined;
    for (const auto& part : parts)
        joined.insert(joined.end(), part.begin(), part.end());
    return joined;
}

TemporaryFolder::TemporaryFolder()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "corvane-mp3-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    m_folder = pattern;
}

TemporaryFolder::~TemporaryFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_folder, ignored);
}

std::string TemporaryFolder::path(const std::string& fileName) const
{
    return m_folder + "/" + fileName;
}

double measureFrequency(const float* samples, size_t count, size_t stride, double sampleRate)
{
    double firstCrossing = -1.0;
    double lastCrossing = -1.0;
    size_t crossings = 0;
    for (size_t index = 1; index < count; ++index)
    {
        const double before = samples[(index - 1) * stride];
        const double after = samples[index * stride];
        if (before < 0.0 && after >= 0.0)
        {
            const double position = (index - 1) + before / (before - after);
            if (crossings == 0)
                firstCrossing = position;
            lastCrossing = position;
            ++crossings;
        }
    }
    if (crossings < 2)
        return 0.0;
    return (crossings - 1) * sampleRate / (lastCrossing - firstCrossing);
}

double measureSineAmplitude(const float* samples, size_t count, size_t stride)
{
    double sumOfSquares = 0.0;
    for (size_t index = 0; index < count; ++index)
        sumOfSquares += static_cast<double>(samples[index * stride]) * samples[index * stride];
    return count == 0 ? 0.0 : std::sqrt(sumOfSquares / count) * std::numbers::sqrt2;
}

double largestSinePredictionError(const float* samples, size_t count, size_t stride,
                                  double frequency, double sampleRate)
{
    const double coefficient = 2.0 * std::cos(2.0 * std::numbers::pi * frequency / sampleRate);
    double largest = 0.0;
    for (size_t index = 2; index < count; ++index)
    {
        const double predicted =
            coefficient * samples[(index - 1) * stride] - samples[(index - 2) * stride];
        largest = std::max(largest, std::abs(samples[index * stride] - predicted));
    }
    return largest;
}

} // namespace mp3test
