// The three-call decoder contract: a caller that reads the file exactly as the
// player does gets the encoded tone back, stereo, at the file's rate, in
// pieces of at most 9216 bytes, and end of stream stays end of stream.

#include "madxlib/madx.h"
#include "MP3TestFixtures.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

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
    std::vector<unsigned char> input(MADX_INPUT_BUFFER_BYTES), output(MADX_OUTPUT_BUFFER_BYTES);
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
        outcome.lastResult = madx_read(input.data(), output.data(), &working, &status);
        if (outcome.lastResult == MADX_MORE_INPUT)
        {
            const size_t got = std::fread(status.read_address, 1, status.read_bytes, file);
            status.end_of_file = got < status.read_bytes && std::feof(file) ? 1 : 0;
            status.read_bytes = got;
            continue;
        }
        if (outcome.lastResult == MADX_OUTPUT || outcome.lastResult == MADX_END)
        {
            outcome.largestOutput = std::max(outcome.largestOutput, status.output_bytes);
            outcome.allOutputsWholeFrames &= status.output_bytes % 4 == 0;
            for (size_t byte = 0; byte + 1 < status.output_bytes; byte += 2)
                outcome.samples.push_back(
                    static_cast<int16_t>(output[byte] | (output[byte + 1] << 8)) / 32768.0f);
        }
        if (outcome.lastResult == MADX_END || outcome.lastResult == MADX_ERROR)
            break;
    }
    outcome.sampleRate = status.sample_rate;
    outcome.streamChannels = status.stream_channels;
    // The contract: after the end, end again with nothing, never an error.
    for (int again = 0; again < 2 && outcome.lastResult == MADX_END; ++again)
    {
        status.output_bytes = 99;
        EXPECT_EQ(madx_read(input.data(), output.data(), &working, &status), MADX_END);
        EXPECT_EQ(status.output_bytes, 0u);
    }
    madx_deinit(&working);
    std::fclose(file);
    return outcome;
}

TEST(MadxTest, EveryKindOfFileGivesItsToneBackAtItsOwnRate)
{
    mp3test::TemporaryFolder folder;
    const auto plain = mp3test::encodeTone(2.0, 440.0, 660.0);
    const DecodeOutcome reference = decodeFile(folder.write("plain.mp3", {plain.bytes}));
    struct Case
    {
        const char* name;
        mp3test::EncodeOptions options;
        std::vector<unsigned char> before; // bytes before the first frame
        double level;                      // VBR keeps the level
    };
    const Case cases[] = {
        {"cbr", {}, {}, mp3test::decodedLevel},
        {"mono", {44100, 1, 64}, {}, mp3test::decodedLevel},
        {"vbr", {44100, 2, 128, true}, {}, 0.5},
        {"mpeg2", {22050, 2, 64}, {}, mp3test::decodedLevel},
        {"mpeg25", {8000, 2, 24}, {}, mp3test::decodedLevel},
        {"junk", {}, mp3test::junkBytes(), mp3test::decodedLevel},
        {"id3v2", {}, mp3test::makeId3v2Tag(12000, "Tagged"), mp3test::decodedLevel},
    };
    for (const Case& kind : cases)
    {
        SCOPED_TRACE(kind.name);
        const int rate = kind.options.sampleRate;
        const bool mono = kind.options.channels == 1;
        const bool junk = kind.before.size() == 200;
        const auto encoded = mp3test::encodeTone(2.0, 440.0, mono ? 440.0 : 660.0, kind.options);
        const DecodeOutcome decoded =
            decodeFile(folder.write(std::string(kind.name) + ".mp3", {kind.before, encoded.bytes}));
        EXPECT_EQ(decoded.lastResult, MADX_END);
        EXPECT_EQ(decoded.sampleRate, rate);
        EXPECT_EQ(decoded.streamChannels, kind.options.channels);
        EXPECT_EQ(decoded.largestOutput, MADX_OUTPUT_BUFFER_BYTES);
        EXPECT_TRUE(decoded.allOutputsWholeFrames);
        const size_t frames = static_cast<size_t>(rate) * 2;
        // The Info frame's delay and padding are trimmed: exactly what went in.
        // Junk in front hides the Info frame, so that file keeps LAME's edges.
        ASSERT_GE(decoded.samples.size(), frames * 2);
        if (!junk)
        {
            ASSERT_EQ(decoded.samples.size(), frames * 2);
        }
        if (!kind.before.empty() && !junk)
        {
            EXPECT_EQ(decoded.samples, reference.samples) << "the tag is skipped, nothing else";
        }
        for (size_t frame = 0; mono && frame < frames; ++frame)
            ASSERT_EQ(decoded.samples[frame * 2], decoded.samples[frame * 2 + 1]) << frame;
        // Measured away from the edges (an eighth of the file each side).
        const float* middle = decoded.samples.data() + frames / 8 * 2;
        const size_t count = frames * 3 / 4;
        EXPECT_EQ(mp3test::toneFaults(middle, count, 2, rate, 440.0, kind.level, 0.1, 0.01, 1.0),
                  "");
        EXPECT_EQ(mp3test::toneFaults(middle + 1, count, 2, rate, mono ? 440.0 : 660.0, kind.level,
                                      0.1, 0.01, 1.0),
                  "");
    }
}

TEST(MadxTest, DamagedFilesEndWithoutHanging)
{
    mp3test::TemporaryFolder folder;
    auto encoded = mp3test::encodeTone(2.0, 440.0, 660.0);
    // Cut in the middle of a frame, a little over half way.
    encoded.bytes.resize(encoded.bytes.size() / 2 + 200);
    const DecodeOutcome truncated = decodeFile(folder.write("truncated.mp3", {encoded.bytes}));
    EXPECT_EQ(truncated.lastResult, MADX_END);
    EXPECT_GT(truncated.samples.size(), 88200u / 2);
    EXPECT_LT(truncated.samples.size(), 88200u * 2);

    const DecodeOutcome empty = decodeFile(folder.write("empty.mp3", {}));
    EXPECT_EQ(empty.lastResult, MADX_END);
    EXPECT_TRUE(empty.samples.empty());

    const DecodeOutcome noise =
        decodeFile(folder.write("noise.mp3", {mp3test::randomBytes(100000, 7)}));
    EXPECT_TRUE(noise.lastResult == MADX_END || noise.lastResult == MADX_ERROR);
}

} // namespace
