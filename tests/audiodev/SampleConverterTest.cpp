// The sample conversions between driver formats and float blocks, byte by
// byte: the edge values the engine relies on, round trips for every format
// converted, and the silence written for formats Corvane does not convert.

#include "audiodev/SampleConverter.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <vector>

using audiodev::SampleConverter;
using namespace audiodev;

namespace
{

std::vector<unsigned char> toBytes(const std::vector<float>& samples, long type)
{
    std::vector<unsigned char> bytes(SampleConverter::bytesPerSample(type) * samples.size(), 0xAA);
    SampleConverter::fromFloat(samples.data(), bytes.data(), long(samples.size()), type);
    return bytes;
}

std::vector<float> toFloats(const std::vector<unsigned char>& bytes, long type)
{
    std::vector<float> samples(bytes.size() / SampleConverter::bytesPerSample(type), 99.0f);
    SampleConverter::toFloat(bytes.data(), samples.data(), long(samples.size()), type);
    return samples;
}

} // namespace

TEST(SampleConverter, Int16EdgesAndTruncation)
{
    using Bytes = std::vector<unsigned char>;
    // +1.0 → 32767 (7F FF), −1.0 → −32767 (01 80), never −32768.
    EXPECT_EQ(toBytes({1.0f}, SampleInt16LSB), (Bytes{0xFF, 0x7F}));
    EXPECT_EQ(toBytes({-1.0f}, SampleInt16LSB), (Bytes{0x01, 0x80}));
    EXPECT_EQ(toBytes({0.0f}, SampleInt16LSB), (Bytes{0x00, 0x00}));
    // 0.5 × 32767.49999 = 16383.749995, truncated toward zero.
    EXPECT_EQ(toBytes({0.5f}, SampleInt16LSB), (Bytes{0xFF, 0x3F}));
    EXPECT_EQ(toBytes({-0.5f}, SampleInt16LSB), (Bytes{0x01, 0xC0}));
    // Into float: s × 2^-15.
    EXPECT_EQ(toFloats({0x00, 0x80}, SampleInt16LSB)[0], -1.0f);
    EXPECT_EQ(toFloats({0xFF, 0x7F}, SampleInt16LSB)[0], 32767.0f / 32768.0f);
    EXPECT_EQ(toFloats({0x01, 0x00}, SampleInt16LSB)[0], 1.0f / 32768.0f);
}

TEST(SampleConverter, Int24EdgesAndByteOrder)
{
    using Bytes = std::vector<unsigned char>;
    EXPECT_EQ(toFloats({0x00, 0x00, 0x80}, SampleInt24LSB)[0], -1.0f);
    EXPECT_EQ(toFloats({0xFF, 0xFF, 0x7F}, SampleInt24LSB)[0], 8388607.0f / 8388608.0f);
    EXPECT_EQ(toFloats({0x01, 0x00, 0x00}, SampleInt24LSB)[0], 1.0f / 8388608.0f);
    EXPECT_EQ(toFloats({0xFF, 0xFF, 0xFF}, SampleInt24LSB)[0], -1.0f / 8388608.0f);
    EXPECT_EQ(toBytes({1.0f}, SampleInt24LSB), (Bytes{0xFF, 0xFF, 0x7F}));
    EXPECT_EQ(toBytes({-1.0f}, SampleInt24LSB), (Bytes{0x01, 0x00, 0x80}));
    // 0x123456 / 2^23 × 8388607 = 0x123456 − 0.14, truncated to 0x123455.
    EXPECT_EQ(toBytes({float(0x123456) / 8388608.0f}, SampleInt24LSB), (Bytes{0x55, 0x34, 0x12}));
    // Three bytes per sample, packed: the second sample starts at byte 3.
    EXPECT_EQ(toBytes({0.0f, -1.0f}, SampleInt24LSB), (Bytes{0, 0, 0, 0x01, 0x00, 0x80}));
}

TEST(SampleConverter, Int32Edges)
{
    using Bytes = std::vector<unsigned char>;
    EXPECT_EQ(toBytes({1.0f}, SampleInt32LSB), (Bytes{0xFF, 0xFF, 0xFF, 0x7F}));
    EXPECT_EQ(toBytes({-1.0f}, SampleInt32LSB), (Bytes{0x01, 0x00, 0x00, 0x80}));
    // 0.25 × 2147483647.49999 = 536870911.87…, truncated.
    EXPECT_EQ(toBytes({0.25f}, SampleInt32LSB), (Bytes{0xFF, 0xFF, 0xFF, 0x1F}));
    EXPECT_EQ(toFloats({0x00, 0x00, 0x00, 0x80}, SampleInt32LSB)[0], -1.0f);
    EXPECT_EQ(toFloats({0x00, 0x00, 0x00, 0x40}, SampleInt32LSB)[0], 0.5f);
}

TEST(SampleConverter, Float32IsCopiedBitForBit)
{
    const std::vector<float> samples{0.0f, -0.0f, 1.5f, -3.25e-20f, 1e30f};
    const auto bytes = toBytes(samples, SampleFloat32LSB);
    EXPECT_EQ(std::memcmp(bytes.data(), samples.data(), bytes.size()), 0);
    const auto back = toFloats(bytes, SampleFloat32LSB);
    EXPECT_EQ(std::memcmp(back.data(), samples.data(), bytes.size()), 0);
}

TEST(SampleConverter, OutOfRangeSaturatesInsteadOfWrapping)
{
    using Bytes = std::vector<unsigned char>;
    EXPECT_EQ(toBytes({1.5f}, SampleInt16LSB), (Bytes{0xFF, 0x7F}));
    EXPECT_EQ(toBytes({-1.5f}, SampleInt16LSB), (Bytes{0x00, 0x80}));
    EXPECT_EQ(toBytes({2.0f}, SampleInt24LSB), (Bytes{0xFF, 0xFF, 0x7F}));
    EXPECT_EQ(toBytes({-7.0f}, SampleInt32LSB), (Bytes{0x00, 0x00, 0x00, 0x80}));
    EXPECT_EQ(toBytes({std::nanf("")}, SampleInt16LSB), (Bytes{0x00, 0x00}));
}

// Integer codes read in and written back move exactly one code toward zero:
// the input side scales by 2^-15 (2^-31) while the output side scales by
// 32767.49999 (8388607) and truncates. Checked for every Int16 code and a
// stride through the Int24 codes.
TEST(SampleConverter, IntegerRoundTripsMoveOneCodeTowardZero)
{
    for (int code = -32768; code <= 32767; ++code)
    {
        const auto word = static_cast<uint16_t>(code);
        const std::vector<unsigned char> original{static_cast<unsigned char>(word),
                                                  static_cast<unsigned char>(word >> 8)};
        const auto back = toBytes(toFloats(original, SampleInt16LSB), SampleInt16LSB);
        int16_t result = 0;
        std::memcpy(&result, back.data(), 2);
        ASSERT_EQ(result, code - (code > 0) + (code < 0)) << code;
    }
    for (int code = -8388608; code <= 8388607; code += 997)
    {
        const auto word = static_cast<uint32_t>(code);
        const std::vector<unsigned char> original{static_cast<unsigned char>(word),
                                                  static_cast<unsigned char>(word >> 8),
                                                  static_cast<unsigned char>(word >> 16)};
        const auto back = toBytes(toFloats(original, SampleInt24LSB), SampleInt24LSB);
        const int32_t result =
            static_cast<int32_t>((uint32_t(back[0]) << 8) | (uint32_t(back[1]) << 16) |
                                 (uint32_t(back[2]) << 24)) >>
            8;
        ASSERT_EQ(result, code - (code > 0) + (code < 0)) << code;
    }
}

// Floats written out and read back: Int32 keeps about as many bits as a
// float, so the float comes back within a few units of its last place; the
// narrower formats come back within one
// and a half codes: one for truncation, half for the output scale falling
// half a code short of the input's at full scale.
TEST(SampleConverter, FloatRoundTripsStayWithinOneAndAHalfCodes)
{
    for (int step = -1000; step <= 1000; ++step)
    {
        const float value = float(step) / 1000.0f;
        EXPECT_FLOAT_EQ(toFloats(toBytes({value}, SampleInt32LSB), SampleInt32LSB)[0], value);
        EXPECT_NEAR(toFloats(toBytes({value}, SampleInt24LSB), SampleInt24LSB)[0], value,
                    1.5 / 8388608.0)
            << value;
        EXPECT_NEAR(toFloats(toBytes({value}, SampleInt16LSB), SampleInt16LSB)[0], value,
                    1.5 / 32768.0)
            << value;
    }
}

TEST(SampleConverter, UnconvertedFormatsReadSilenceAndWriteZeroBytes)
{
    struct Case
    {
        long type;
        size_t bytes;
    };
    const std::array<Case, 14> cases{{{SampleInt16MSB, 2},
                                      {SampleInt24MSB, 3},
                                      {SampleInt32MSB, 4},
                                      {SampleFloat32MSB, 4},
                                      {SampleFloat64MSB, 8},
                                      {SampleInt32MSB16, 4},
                                      {SampleInt32MSB18, 4},
                                      {SampleInt32MSB20, 4},
                                      {SampleInt32MSB24, 4},
                                      {SampleFloat64LSB, 8},
                                      {SampleInt32LSB16, 4},
                                      {SampleInt32LSB18, 4},
                                      {SampleInt32LSB20, 4},
                                      {SampleInt32LSB24, 4}}};
    constexpr long kFrames = 5;
    for (const Case& c : cases)
    {
        EXPECT_EQ(SampleConverter::bytesPerSample(c.type), c.bytes) << c.type;
        std::vector<unsigned char> driver(c.bytes * kFrames + 4, 0x5A);
        const std::vector<float> loud(kFrames, 0.75f);
        SampleConverter::fromFloat(loud.data(), driver.data(), kFrames, c.type);
        for (size_t b = 0; b < c.bytes * kFrames; ++b)
            ASSERT_EQ(driver[b], 0) << c.type;
        // Nothing written past the block.
        EXPECT_EQ(driver[c.bytes * kFrames], 0x5A);

        std::vector<unsigned char> input(c.bytes * kFrames, 0x5A);
        std::vector<float> floats(kFrames, 3.0f);
        SampleConverter::toFloat(input.data(), floats.data(), kFrames, c.type);
        for (float sample : floats)
            ASSERT_EQ(sample, 0.0f) << c.type;
    }
}

TEST(SampleConverter, UnknownFormatLeavesDriverBufferAlone)
{
    constexpr long kUnknownType = 99;
    EXPECT_EQ(SampleConverter::bytesPerSample(kUnknownType), 0u);
    std::vector<unsigned char> driver(16, 0x5A);
    const std::vector<float> loud(4, 0.75f);
    SampleConverter::fromFloat(loud.data(), driver.data(), 4, kUnknownType);
    EXPECT_EQ(driver, std::vector<unsigned char>(16, 0x5A));
    std::vector<float> floats(4, 3.0f);
    SampleConverter::toFloat(driver.data(), floats.data(), 4, kUnknownType);
    EXPECT_EQ(floats, std::vector<float>(4, 0.0f));
}
