// The three-call decoder contract: a caller that reads the file exactly as the
// player does gets the encoded tone back, stereo, at the file's rate, in
// pieces of at most 9216 bytes, and end of stream stays end of stream.

#include "madxlib/madx.h"
#include "MP3TestFixtures.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>

namespace
{

struct DecodeOutcome
{
    std::vector<float> samples; // interleaved stereo
    madx_result lastResult = MADX_ERROR;
    long sampleRate = 0;
    int streamChannels = 0;
    size_t largestOutput = 0;
    bool allOutputsWholeFrames = true;
};

// Reads the file the way the player does: asked-for bytes to the asked-for
// address, the end-of-file flag once the file is exhausted.
DecodeOutcome decodeFile(const std::string& path)
{
    DecodeOutcome outcome;
    std::vector<unsigned char> input(MADX_INPUT_BUFFER_BYTES);
    std::vector<unsigned char> output(MADX_OUTPUT_BUFFER_BYTES);
    madx_house working;
    madx_stat status;
    std::memset(&working, 0, sizeof working);
    std::memset(&status, 0, sizeof status);
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr || !madx_init(output.data(), &working))
        return outcome;
    // A bound far above any fixture's needs, so a broken decoder fails instead of hanging.
    for (int call = 0; call < 100000; ++call)
    {
        const madx_result result = madx_read(input.data(), output.data(), &working, &status);
        outcome.lastResult = result;
        if (result == MADX_MORE_INPUT)
        {
            const size_t got = std::fread(status.read_address, 1, status.read_bytes, file);
            if (got < status.read_bytes && std::feof(file))
                status.end_of_file = 1;
            status.read_bytes = got;
            continue;
        }
        if (result == MADX_OUTPUT || result == MADX_END)
        {
            outcome.largestOutput = std::max(outcome.largestOutput, status.output_bytes);
            if (status.output_bytes % 4 != 0)
                outcome.allOutputsWholeFrames = false;
            for (size_t byte = 0; byte + 1 < status.output_bytes; byte += 2)
            {
                const int16_t value = static_cast<int16_t>(output[byte] | (output[byte + 1] << 8));
                outcome.samples.push_back(value / 32768.0f);
            }
        }
        if (result == MADX_END || result == MADX_ERROR)
            break;
    }
    outcome.sampleRate = status.sample_rate;
    outcome.streamChannels = status.stream_channels;
    // The contract: after the end, end again with nothing, never an error.
    if (outcome.lastResult == MADX_END)
    {
        for (int again = 0; again < 3; ++again)
        {
            status.output_bytes = 99;
            EXPECT_EQ(madx_read(input.data(), output.data(), &working, &status), MADX_END);
            EXPECT_EQ(status.output_bytes, 0u);
        }
    }
    madx_deinit(&working);
    std::fclose(file);
    return outcome;
}

class MadxTest : public ::testing::Test
{
protected:
    std::string writeMp3(const std::string& name, const mp3test::EncodedMp3& encoded,
                         const std::vector<unsigned char>& before = {})
    {
        const std::string path = folder.path(name);
        mp3test::writeFile(path, mp3test::concatenate({before, encoded.bytes}));
        return path;
    }

    mp3test::TemporaryFolder folder;
};

constexpr size_t twoSecondsAt44100 = 88200;

TEST_F(MadxTest, StereoFileGivesBothTonesBackSampleCountExact)
{
    const auto tone = mp3test::makeStereoTone(44100, twoSecondsAt44100, 440.0, 660.0, 0.5);
    const auto path = writeMp3("stereo.mp3", mp3test::encodeMp3(tone, {}));
    const DecodeOutcome decoded = decodeFile(path);

    EXPECT_EQ(decoded.lastResult, MADX_END);
    EXPECT_EQ(decoded.sampleRate, 44100);
    EXPECT_EQ(decoded.streamChannels, 2);
    EXPECT_LE(decoded.largestOutput, MADX_OUTPUT_BUFFER_BYTES);
    EXPECT_EQ(decoded.largestOutput, MADX_OUTPUT_BUFFER_BYTES);
    EXPECT_TRUE(decoded.allOutputsWholeFrames);
    // The Info frame's encoder delay and padding are trimmed: exactly what went in.
    ASSERT_EQ(decoded.samples.size(), twoSecondsAt44100 * 2);
    // Measure away from the edges (a quarter second each side).
    const float* middle = decoded.samples.data() + 11025 * 2;
    EXPECT_NEAR(mp3test::measureFrequency(middle, 66150, 2, 44100), 440.0, 0.05);
    EXPECT_NEAR(mp3test::measureFrequency(middle + 1, 66150, 2, 44100), 660.0, 0.05);
    EXPECT_NEAR(mp3test::measureSineAmplitude(middle, 66150, 2), 0.5 * mp3test::lameLevelFactor,
                0.006);
    EXPECT_NEAR(mp3test::measureSineAmplitude(middle + 1, 66150, 2), 0.5 * mp3test::lameLevelFactor,
                0.006);
}

TEST_F(MadxTest, MonoFileComesOutOnBothSides)
{
    const auto tone = mp3test::makeMonoTone(44100, twoSecondsAt44100, 1000.0, 0.25);
    mp3test::EncodeOptions options;
    options.channels = 1;
    options.bitrateKbps = 64;
    const DecodeOutcome decoded =
        decodeFile(writeMp3("mono.mp3", mp3test::encodeMp3(tone, options)));

    EXPECT_EQ(decoded.streamChannels, 1);
    ASSERT_EQ(decoded.samples.size(), twoSecondsAt44100 * 2);
    for (size_t frame = 0; frame < twoSecondsAt44100; ++frame)
        ASSERT_EQ(decoded.samples[frame * 2], decoded.samples[frame * 2 + 1]) << frame;
    const float* middle = decoded.samples.data() + 11025 * 2;
    EXPECT_NEAR(mp3test::measureFrequency(middle, 66150, 2, 44100), 1000.0, 0.05);
    EXPECT_NEAR(mp3test::measureSineAmplitude(middle, 66150, 2), 0.25 * mp3test::lameLevelFactor,
                0.003);
}

TEST_F(MadxTest, VariableBitrateFileDecodesLikeAConstantOne)
{
    const auto tone = mp3test::makeStereoTone(44100, twoSecondsAt44100, 440.0, 660.0, 0.5);
    mp3test::EncodeOptions options;
    options.variableBitrate = true;
    const DecodeOutcome decoded =
        decodeFile(writeMp3("vbr.mp3", mp3test::encodeMp3(tone, options)));
    EXPECT_EQ(decoded.lastResult, MADX_END);
    ASSERT_EQ(decoded.samples.size(), twoSecondsAt44100 * 2);
    const float* middle = decoded.samples.data() + 11025 * 2;
    EXPECT_NEAR(mp3test::measureFrequency(middle, 66150, 2, 44100), 440.0, 0.05);
    EXPECT_NEAR(mp3test::measureFrequency(middle + 1, 66150, 2, 44100), 660.0, 0.05);
    EXPECT_NEAR(mp3test::measureSineAmplitude(middle, 66150, 2), 0.5, 0.01);
}

TEST_F(MadxTest, LowRateFilesDecodeAtTheirOwnRate)
{
    struct Case
    {
        int rate;
        int bitrate;
    };
    for (const Case& lowRate : {Case{22050, 64}, Case{8000, 24}})
    {
        SCOPED_TRACE(lowRate.rate);
        const size_t frames = static_cast<size_t>(lowRate.rate) * 2;
        const auto tone = mp3test::makeStereoTone(lowRate.rate, frames, 440.0, 550.0, 0.5);
        mp3test::EncodeOptions options;
        options.sampleRate = lowRate.rate;
        options.bitrateKbps = lowRate.bitrate;
        const DecodeOutcome decoded = decodeFile(writeMp3(
            "low" + std::to_string(lowRate.rate) + ".mp3", mp3test::encodeMp3(tone, options)));
        EXPECT_EQ(decoded.lastResult, MADX_END);
        EXPECT_EQ(decoded.sampleRate, lowRate.rate);
        ASSERT_EQ(decoded.samples.size(), frames * 2);
        const size_t quarter = frames / 8;
        const float* middle = decoded.samples.data() + quarter * 2;
        EXPECT_NEAR(mp3test::measureFrequency(middle, frames - 2 * quarter, 2, lowRate.rate), 440.0,
                    0.1);
        EXPECT_NEAR(mp3test::measureFrequency(middle + 1, frames - 2 * quarter, 2, lowRate.rate),
                    550.0, 0.1);
        EXPECT_NEAR(mp3test::measureSineAmplitude(middle, frames - 2 * quarter, 2),
                    0.5 * mp3test::lameLevelFactor, 0.01);
    }
}

TEST_F(MadxTest, LeadingJunkAndLargeId3v2TagAreSkipped)
{
    const auto tone = mp3test::makeStereoTone(44100, twoSecondsAt44100, 440.0, 660.0, 0.5);
    const auto encoded = mp3test::encodeMp3(tone, {});
    const DecodeOutcome plain = decodeFile(writeMp3("plain.mp3", encoded));
    std::vector<unsigned char> junk(200);
    for (size_t index = 0; index < junk.size(); ++index)
        junk[index] = static_cast<unsigned char>(index * 7 + 1); // never 0xFF
    const DecodeOutcome afterJunk = decodeFile(writeMp3("junk.mp3", encoded, junk));
    const DecodeOutcome afterTag =
        decodeFile(writeMp3("id3v2.mp3", encoded, mp3test::makeId3v2Tag(12000, "Tagged")));

    EXPECT_EQ(afterTag.lastResult, MADX_END);
    EXPECT_EQ(afterTag.samples, plain.samples);
    EXPECT_EQ(afterJunk.lastResult, MADX_END);
    // Junk in front hides the Info frame's position, so only the tone itself is compared.
    ASSERT_GE(afterJunk.samples.size(), twoSecondsAt44100 * 2);
    EXPECT_NEAR(mp3test::measureFrequency(afterJunk.samples.data() + 22050, 44100, 2, 44100), 440.0,
                0.05);
}

TEST_F(MadxTest, DamagedFilesEndWithoutHanging)
{
    const auto tone = mp3test::makeStereoTone(44100, twoSecondsAt44100, 440.0, 660.0, 0.5);
    auto encoded = mp3test::encodeMp3(tone, {});
    // Cut in the middle of a frame, a little over half way.
    encoded.bytes.resize(encoded.bytes.size() / 2 + 200);
    const DecodeOutcome truncated = decodeFile(writeMp3("truncated.mp3", encoded));
    EXPECT_EQ(truncated.lastResult, MADX_END);
    EXPECT_GT(truncated.samples.size(), twoSecondsAt44100 / 2);
    EXPECT_LT(truncated.samples.size(), twoSecondsAt44100 * 2);

    const std::string emptyPath = folder.path("empty.mp3");
    mp3test::writeFile(emptyPath, {});
    const DecodeOutcome empty = decodeFile(emptyPath);
    EXPECT_EQ(empty.lastResult, MADX_END);
    EXPECT_TRUE(empty.samples.empty());

    std::mt19937 random(7);
    std::vector<unsigned char> noise(100000);
    for (auto& byte : noise)
        byte = static_cast<unsigned char>(random());
    const std::string noisePath = folder.path("noise.mp3");
    mp3test::writeFile(noisePath, noise);
    const DecodeOutcome garbage = decodeFile(noisePath);
    EXPECT_TRUE(garbage.lastResult == MADX_END || garbage.lastResult == MADX_ERROR);
}

TEST_F(MadxTest, RecordsCanBeReusedAfterDeinit)
{
    const auto tone = mp3test::makeStereoTone(44100, 44100, 440.0, 660.0, 0.5);
    const auto path = writeMp3("again.mp3", mp3test::encodeMp3(tone, {}));
    const DecodeOutcome first = decodeFile(path);
    const DecodeOutcome second = decodeFile(path);
    EXPECT_EQ(first.samples, second.samples);
    EXPECT_EQ(first.samples.size(), 44100u * 2);
}

} // namespace
