#include "audiodev/SampleConverter.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace audiodev
{

static_assert(std::endian::native == std::endian::little,
              "the LSB formats are copied as they stand in memory");

namespace
{

// Full-scale factors of the output conversion. The 0.49999 keeps +1.0 just
// inside the positive limit while truncation maps -1.0 to -(limit).
constexpr double kInt16OutScale = 32767.49999;
constexpr double kInt24OutScale = 8388607.0;
constexpr double kInt32OutScale = 2147483647.49999;
// 2^-15 and 2^-31: an integer's weight when its full scale is +-1.0.
constexpr float kInt16InScale = 1.0f / 32768.0f;
constexpr float kInt32InScale = 1.0f / 2147483648.0f;

// trunc(value) kept inside [minimum, maximum]; NaN becomes 0.
template <typename Integer>
inline Integer truncateSaturating(double value, double minimum, double maximum) noexcept
{
    if (!(value == value))
        return 0;
    return static_cast<Integer>(std::clamp(value, minimum, maximum));
}

void int16ToFloat(const unsigned char* source, float* destination, long frames) noexcept
{
    for (long frame = 0; frame < frames; ++frame)
    {
        int16_t sample;
        std::memcpy(&sample, source + 2 * frame, 2);
        destination[frame] = static_cast<float>(sample) * kInt16InScale;
    }
}

void int24ToFloat(const unsigned char* source, float* destination, long frames) noexcept
{
    for (long frame = 0; frame < frames; ++frame)
    {
        const unsigned char* bytes = source + 3 * frame;
        // The three bytes fill bits 8..31, so the sign lands in bit 31.
        const uint32_t word =
            (uint32_t(bytes[0]) << 8) | (uint32_t(bytes[1]) << 16) | (uint32_t(bytes[2]) << 24);
        destination[frame] = static_cast<float>(static_cast<int32_t>(word)) * kInt32InScale;
    }
}

void int32ToFloat(const unsigned char* source, float* destination, long frames) noexcept
{
    for (long frame = 0; frame < frames; ++frame)
    {
        int32_t sample;
        std::memcpy(&sample, source + 4 * frame, 4);
        destination[frame] = static_cast<float>(sample) * kInt32InScale;
    }
}

void floatToInt16(const float* source, unsigned char* destination, long frames) noexcept
{
    for (long frame = 0; frame < frames; ++frame)
    {
        const int16_t sample =
            truncateSaturating<int16_t>(source[frame] * kInt16OutScale, -32768.0, 32767.0);
        std::memcpy(destination + 2 * frame, &sample, 2);
    }
}

void floatToInt24(const float* source, unsigned char* destination, long frames) noexcept
{
    for (long frame = 0; frame < frames; ++frame)
    {
        const int32_t sample =
            truncateSaturating<int32_t>(source[frame] * kInt24OutScale, -8388608.0, 8388607.0);
        const auto word = static_cast<uint32_t>(sample);
        unsigned char* bytes = destination + 3 * frame;
        bytes[0] = static_cast<unsigned char>(word);
        bytes[1] = static_cast<unsigned char>(word >> 8);
        bytes[2] = static_cast<unsigned char>(word >> 16);
    }
}

void floatToInt32(const float* source, unsigned char* destination, long frames) noexcept
{
    for (long frame = 0; frame < frames; ++frame)
    {
        const int32_t sample = truncateSaturating<int32_t>(source[frame] * kInt32OutScale,
                                                           -2147483648.0, 2147483647.0);
        std::memcpy(destination + 4 * frame, &sample, 4);
    }
}

} // namespace

size_t SampleConverter::bytesPerSample(long sampleType) noexcept
{
    switch (sampleType)
    {
    case SampleInt16MSB:
    case SampleInt16LSB:
        return 2;
    case SampleInt24MSB:
    case SampleInt24LSB:
        return 3;
    case SampleInt32MSB:
    case SampleFloat32MSB:
    case SampleInt32MSB16:
    case SampleInt32MSB18:
    case SampleInt32MSB20:
    case SampleInt32MSB24:
    case SampleInt32LSB:
    case SampleFloat32LSB:
    case SampleInt32LSB16:
    case SampleInt32LSB18:
    case SampleInt32LSB20:
    case SampleInt32LSB24:
        return 4;
    case SampleFloat64MSB:
    case SampleFloat64LSB:
        return 8;
    default:
        return 0;
    }
}

void SampleConverter::toFloat(const void* source, float* destination, long frames,
                              long sampleType) noexcept
{
    const auto* bytes = static_cast<const unsigned char*>(source);
    switch (sampleType)
    {
    case SampleInt16LSB:
        int16ToFloat(bytes, destination, frames);
        return;
    case SampleInt24LSB:
        int24ToFloat(bytes, destination, frames);
        return;
    case SampleInt32LSB:
        int32ToFloat(bytes, destination, frames);
        return;
    case SampleFloat32LSB:
        std::memcpy(destination, source, sizeof(float) * static_cast<size_t>(frames));
        return;
    default:
        std::fill_n(destination, frames, 0.0f);
        return;
    }
}

void SampleConverter::fromFloat(const float* source, void* destination, long frames,
                                long sampleType) noexcept
{
    auto* bytes = static_cast<unsigned char*>(destination);
    switch (sampleType)
    {
    case SampleInt16LSB:
        floatToInt16(source, bytes, frames);
        return;
    case SampleInt24LSB:
        floatToInt24(source, bytes, frames);
        return;
    case SampleInt32LSB:
        floatToInt32(source, bytes, frames);
        return;
    case SampleFloat32LSB:
        std::memcpy(destination, source, sizeof(float) * static_cast<size_t>(frames));
        return;
    default:
        // Formats not converted send silence; unknown ones are left alone.
        std::memset(destination, 0, bytesPerSample(sampleType) * static_cast<size_t>(frames));
        return;
    }
}

} // namespace audiodev
