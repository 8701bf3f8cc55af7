// The decoder's contract: read as the player reads, every kind of file gives
// its tone back, stereo, at its rate, in whole pieces; the end stays the end.

#include "madxlib/madx.h"
#include "MP3TestFixtures.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace
{

struct Decoded
{
    std::vector<float> samples; // interleaved stereo
    madx_result last = MADX_ERROR;
    long sampleRate = 0;
    int streamChannels = 0;
    size_t largestOutput = 0;
    bool wholeFrames = true;
};

// Reads the file the way the player does: asked-for bytes to the asked-for
// address, the end-of-file flag once the file is exhausted.
Decoded decodeFile(const std::string& path)
{
    Decoded decoded;
    std::vector<unsigned char> input(MADX_INPUT_BUFFER_BYTES), output(MADX_OUTPUT_BUFFER_BYTES);
    madx_house working{};
    madx_stat status{};
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr || !madx_init(output.data(), &working))
        return decoded;
    // A bound far above any fixture's needs: a broken decoder fails, not hangs.
    for (int call = 0; call < 100000 && decoded.last != MADX_END; ++call)
    {
        decoded.last = madx_read(input.data(), output.data(), &working, &status);
        if (decoded.last == MADX_ERROR)
            break;
        if (decoded.last == MADX_MORE_INPUT)
        {
            const size_t got = std::fread(status.read_address, 1, status.read_bytes, file);
            status.end_of_file = got < status.read_bytes && std::feof(file) ? 1 : 0;
            status.read_bytes = got;
            continue;
        }
        decoded.largestOutput = std::max(decoded.largestOutput, status.output_bytes);
        decoded.wholeFrames &= status.output_bytes % 4 == 0;
        for (size_t byte = 0; byte + 1 < status.output_bytes; byte += 2)
            decoded.samples.push_back(static_cast<int16_t>(output[byte] | (output[byte + 1] << 8)) /
                                      32768.0f);
    }
    decoded.sampleRate = status.sample_rate;
    decoded.streamChannels = status.stream_channels;
    // After the end: the end again, with nothing, never an error.
    for (int again = 0; again < 2 && decoded.last == MADX_END; ++again)
    {
        status.output_bytes = 99;
        EXPECT_EQ(madx_read(input.data(), output.data(), &working, &status), MADX_END);
        EXPECT_EQ(status.output_bytes, 0u);
    }
    madx_deinit(&working);
    std::fclose(file);
    return decoded;
}

TEST(MadxTest, EveryKindOfFileGivesItsToneBackAtItsOwnRate)
{
    mp3test::TemporaryFolder folder;
    const auto plain = mp3test::encodeTone(2.0, 440.0, 660.0);
    const Decoded reference = decodeFile(folder.write("plain.mp3", {plain.bytes}));
    struct Case
    {
        mp3test::EncodeOptions options;
        mp3test::Bytes before; // in front of the first frame
        double level;          // VBR keeps the level
    };
    const Case cases[] = {
        {{}, {}, mp3test::decodedLevel},
        {{44100, 1, 64}, {}, mp3test::decodedLevel},
        {{44100, 2, 128, true}, {}, 0.5},
        {{22050, 2, 64}, {}, mp3test::decodedLevel},
        {{8000, 2, 24}, {}, mp3test::decodedLevel},
        {{}, mp3test::junkBytes(), mp3test::decodedLevel},
        {{},
         mp3test::makeId3v2Tag({{"TIT2", mp3test::id3v2Text(0, "Tagged")}}, {.padding = 12000}),
         mp3test::decodedLevel}};
    for (const Case& kind : cases)
    {
        const int rate = kind.options.sampleRate;
        const bool mono = kind.options.channels == 1, junk = kind.before.size() == 200;
        SCOPED_TRACE(testing::Message() << rate << " Hz, " << kind.before.size() << " before");
        const auto encoded = mp3test::encodeTone(2.0, 440.0, mono ? 440.0 : 660.0, kind.options);
        const Decoded decoded = decodeFile(folder.write("file.mp3", {kind.before, encoded.bytes}));
        EXPECT_EQ(decoded.last, MADX_END);
        EXPECT_EQ(decoded.sampleRate, rate);
        EXPECT_EQ(decoded.streamChannels, kind.options.channels);
        EXPECT_EQ(decoded.largestOutput, MADX_OUTPUT_BUFFER_BYTES);
        EXPECT_TRUE(decoded.wholeFrames);
        // The Info frame's delay and padding are trimmed: exactly what went in;
        // the ID3v2 tag skipped and nothing else. Junk in front hides the
        // Info frame, so that file keeps LAME's edges.
        const size_t frames = static_cast<size_t>(rate) * 2;
        ASSERT_EQ(junk ? frames * 2 : decoded.samples.size(), frames * 2);
        ASSERT_GE(decoded.samples.size(), frames * 2);
        EXPECT_TRUE(kind.before.empty() || junk || decoded.samples == reference.samples);
        for (size_t frame = 0; mono && frame < frames; ++frame)
            ASSERT_EQ(decoded.samples[frame * 2], decoded.samples[frame * 2 + 1]) << frame;
        // Measured away from the edges (an eighth of the file each side).
        for (size_t side = 0; side < 2; ++side)
            EXPECT_EQ(mp3test::toneFaults(
                          decoded.samples.data() + frames / 8 * 2 + side, frames * 3 / 4, 2, rate,
                          side == 0 || mono ? 440.0 : 660.0, kind.level, 0.1, 0.01, 1.0),
                      "");
    }
}

TEST(MadxTest, TruncatedEmptyAndRandomFilesEndWithoutHanging)
{
    mp3test::TemporaryFolder folder;
    auto encoded = mp3test::encodeTone(2.0, 440.0, 660.0);
    encoded.bytes.resize(encoded.bytes.size() / 2 + 200); // cut inside a frame
    const Decoded truncated = decodeFile(folder.write("truncated.mp3", {encoded.bytes}));
    EXPECT_EQ(truncated.last, MADX_END);
    EXPECT_GT(truncated.samples.size(), 88200u / 2);
    EXPECT_LT(truncated.samples.size(), 88200u * 2);

    const Decoded empty = decodeFile(folder.write("empty.mp3", {}));
    EXPECT_EQ(empty.last, MADX_END);
    EXPECT_TRUE(empty.samples.empty());

    const Decoded noise = decodeFile(folder.write("noise.mp3", {mp3test::randomBytes(100000, 7)}));
    EXPECT_TRUE(noise.last == MADX_END || noise.last == MADX_ERROR);
}

} // namespace
