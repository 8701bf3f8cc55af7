#pragma once

// What the recorder's tests measure a recording by: the file decoded with
// libmpg123 (gapless, so the encoder's delay and padding are trimmed as the
// LAME tag says), the pitch of a steady tone, and the recordings in a folder.

#include <mpg123.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

namespace recorded
{

struct DecodedMp3
{
    bool ok = false; // opened and decoded to the end without an error
    long rate = 0;
    // The length the file announces before decoding (its LAME tag's frame
    // count less delay and padding; a guess from the size without a tag).
    long long announcedFrames = -1;
    std::vector<float> left;
    std::vector<float> right;
    size_t frames() const { return left.size(); }
};

inline DecodedMp3 decode(const std::string& path)
{
    DecodedMp3 decoded;
    mpg123_init();
    int error = 0;
    mpg123_handle* handle = mpg123_new(nullptr, &error);
    if (handle == nullptr)
        return decoded;
    mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_FORCE_FLOAT | MPG123_GAPLESS, 0.0);
    mpg123_param(handle, MPG123_FORCE_RATE, 0, 0.0);
    int channels = 0;
    int encoding = 0;
    if (mpg123_open(handle, path.c_str()) == MPG123_OK &&
        mpg123_getformat(handle, &decoded.rate, &channels, &encoding) == MPG123_OK && channels == 2)
    {
        decoded.announcedFrames = mpg123_length(handle);
        std::vector<float> buffer(4096);
        for (;;)
        {
            size_t bytes = 0;
            const int result = mpg123_read(handle, reinterpret_cast<unsigned char*>(buffer.data()),
                                           buffer.size() * sizeof(float), &bytes);
            for (size_t sample = 0; sample + 1 < bytes / sizeof(float); sample += 2)
            {
                decoded.left.push_back(buffer[sample]);
                decoded.right.push_back(buffer[sample + 1]);
            }
            if (result == MPG123_DONE)
            {
                decoded.ok = true;
                break;
            }
            if (result != MPG123_OK && result != MPG123_NEW_FORMAT)
                break;
        }
        mpg123_close(handle);
    }
    mpg123_delete(handle);
    return decoded;
}

// Frequency of a steady tone from its interpolated rising zero crossings.
inline double pitch(const std::vector<float>& samples, double rate, size_t first, size_t last)
{
    double firstCrossing = -1.0;
    double lastCrossing = 0.0;
    int periods = -1;
    for (size_t index = std::max<size_t>(first, 1); index < std::min(last, samples.size()); ++index)
    {
        if (samples[index - 1] < 0.0f && samples[index] >= 0.0f)
        {
            const double crossing = static_cast<double>(index) - 1.0 +
                                    samples[index - 1] / (samples[index - 1] - samples[index]);
            if (firstCrossing < 0.0)
                firstCrossing = crossing;
            lastCrossing = crossing;
            ++periods;
        }
    }
    return periods > 0 ? periods * rate / (lastCrossing - firstCrossing) : 0.0;
}

// The MP3 files in a folder, sorted by name.
inline std::vector<std::string> recordings(const std::string& folder)
{
    std::vector<std::string> paths;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        if (entry.path().extension() == ".mp3")
            paths.push_back(entry.path().string());
    std::sort(paths.begin(), paths.end());
    return paths;
}

} // namespace recorded
