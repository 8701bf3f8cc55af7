// The sample conversions between driver formats and float blocks, byte by
// byte: the edge values the engine relies on, round trips for every format
// converted, and the silence written for formats Corvane does not convert.

#include "audiodev/SampleConverter.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <tuple>
#include <vector>

using namespace audiodev;
using Bytes = std::vector<unsigned char>;

namespace
{

Bytes toBytes(const std::vector<float>& samples, long type)
{
    Bytes bytes(SampleConverter::bytesPerSample(type) * samples.size(), 0xAA);
    SampleConverter::fromFloat(samples.data(), bytes.data(), long(samples.size()), type);
    return bytes;
}

std::vector<float> toFloats(const Bytes& bytes, long type)
{
    std::vector<float> samples(bytes.size() / SampleConverter::bytesPerSample(type), 99.0f);
    SampleConverter::toFloat(bytes.data(), samples.data(), long(samples.size()), type);
    return samples;
}

} // namespace

TEST(SampleConverter, EdgeValuesBothWays)
{
    // Out of float: full scale is 32767.49999 (Int16), 8388607 (Int24) or
    // 2147483647.49999 (Int32), truncated toward zero and saturated, so −1.0
    // never reaches the most negative code but out-of-range values do.
    struct Case
    {
        long type;
        std::vector<float> floats;
        Bytes bytes;
    };
    const Case outCases[] = {
        {SampleInt16LSB,
         {1.0f, -1.0f, 0.0f, 0.5f, -0.5f, 1.5f, -1.5f, std::nanf("")},
         {0xFF, 0x7F, 0x01, 0x80, 0x00, 0x00, 0xFF, 0x3F, 0x01, 0xC0, 0xFF, 0x7F, 0x00, 0x80, 0,
          0}},
        {SampleInt24LSB,
         {1.0f, -1.0f, 2.0f, float(0x123456) / 8388608.0f, 0.0f},
         {0xFF, 0xFF, 0x7F, 0x01, 0x00, 0x80, 0xFF, 0xFF, 0x7F, 0x55, 0x34, 0x12, 0, 0, 0}},
        {SampleInt32LSB,
         {1.0f, -1.0f, 0.25f, -7.0f},
         {0xFF, 0xFF, 0xFF, 0x7F, 0x01, 0, 0, 0x80, 0xFF, 0xFF, 0xFF, 0x1F, 0, 0, 0, 0x80}}};
    for (const auto& c : outCases)
        EXPECT_EQ(toBytes(c.floats, c.type), c.bytes) << c.type;

    // Into float: the code times 2^-15, 2^-23 or 2^-31.
    const Case inCases[] = {
        {SampleInt16LSB,
         {-1.0f, 32767.0f / 32768.0f, 1.0f / 32768.0f},
         {0, 0x80, 0xFF, 0x7F, 1, 0}},
        {SampleInt24LSB,
         {-1.0f, 8388607.0f / 8388608.0f, 1.0f / 8388608.0f, -1.0f / 8388608.0f},
         {0, 0, 0x80, 0xFF, 0xFF, 0x7F, 1, 0, 0, 0xFF, 0xFF, 0xFF}},
        {SampleInt32LSB, {-1.0f, 0.5f}, {0, 0, 0, 0x80, 0, 0, 0, 0x40}}};
    for (const auto& c : inCases)
        EXPECT_EQ(toFloats(c.bytes, c.type), c.floats) << c.type;

    // Float32 is copied bit for bit both ways.
    const std::vector<float> samples{0.0f, -0.0f, 1.5f, -3.25e-20f, 1e30f};
    const Bytes bytes = toBytes(samples, SampleFloat32LSB);
    EXPECT_EQ(std::memcmp(bytes.data(), samples.data(), bytes.size()), 0);
    EXPECT_EQ(std::memcmp(toFloats(bytes, SampleFloat32LSB).data(), samples.data(), bytes.size()),
              0);
}

// Integer codes read in and written back move exactly one code toward zero
// (every Int16 code, a stride through the Int24 ones). Floats written out and
// read back stay within one and a half codes: one for truncation, half for
// the output scale falling half a code short of the input's at full scale;
// Int32 keeps about as many bits as a float.
TEST(SampleConverter, RoundTrips)
{
    for (const auto& [type, width, step] :
         {std::tuple{SampleInt16LSB, size_t(2), 1}, std::tuple{SampleInt24LSB, size_t(3), 997}})
    {
        // The bytes of a code (on this little-endian host).
        const auto bytes = [&](int64_t code)
        {
            const auto all = std::bit_cast<std::array<unsigned char, 8>>(code);
            return Bytes(all.begin(), all.begin() + long(width));
        };
        const int64_t top = int64_t(1) << (8 * width - 1);
        for (int64_t code = -top; code < top; code += step)
        {
            const int64_t expected = code - (code > 0) + (code < 0);
            ASSERT_EQ(toBytes(toFloats(bytes(code), type), type), bytes(expected)) << code;
        }
    }
    for (int step = -1000; step <= 1000; ++step)
    {
        const float value = float(step) / 1000.0f;
        EXPECT_FLOAT_EQ(toFloats(toBytes({value}, SampleInt32LSB), SampleInt32LSB)[0], value);
        EXPECT_NEAR(toFloats(toBytes({value}, SampleInt24LSB), SampleInt24LSB)[0], value,
                    1.5 / 8388608.0);
        EXPECT_NEAR(toFloats(toBytes({value}, SampleInt16LSB), SampleInt16LSB)[0], value,
                    1.5 / 32768.0);
    }
}

// Formats Corvane does not convert read as silence and are written as zero
// bytes, never past the block; an unknown type (size 0) leaves the buffer
// alone.
TEST(SampleConverter, UnconvertedFormatsReadSilenceAndWriteZeroBytes)
{
    const std::pair<long, size_t> cases[] = {
        {SampleInt16MSB, 2},   {SampleInt24MSB, 3},   {SampleInt32MSB, 4},
        {SampleFloat32MSB, 4}, {SampleFloat64MSB, 8}, {SampleInt32MSB16, 4},
        {SampleInt32MSB18, 4}, {SampleInt32MSB20, 4}, {SampleInt32MSB24, 4},
        {SampleFloat64LSB, 8}, {SampleInt32LSB16, 4}, {SampleInt32LSB18, 4},
        {SampleInt32LSB20, 4}, {SampleInt32LSB24, 4}, {99, 0}};
    constexpr long kFrames = 5;
    for (const auto& [type, width] : cases)
    {
        EXPECT_EQ(SampleConverter::bytesPerSample(type), width) << type;
        Bytes driver(width * kFrames + 4, 0x5A);
        const std::vector<float> loud(kFrames, 0.75f);
        SampleConverter::fromFloat(loud.data(), driver.data(), kFrames, type);
        Bytes expected(width * kFrames, 0);
        expected.resize(driver.size(), 0x5A);
        EXPECT_EQ(driver, expected) << type;

        std::vector<float> floats(kFrames, 3.0f);
        SampleConverter::toFloat(driver.data(), floats.data(), kFrames, type);
        EXPECT_EQ(floats, std::vector<float>(kFrames, 0.0f)) << type;
    }
}
