// CMP3Info against files whose every byte the test controls: LAME-encoded
// tones behind and before hand-written ID3 tags, junk and damage.

#include "players/MP3Info.h"
#include "MP3TestFixtures.h"

#include <gtest/gtest.h>

namespace
{

// Ten seconds of tone, CBR 128 kbit/s 44100 Hz stereo unless told otherwise.
mp3test::EncodedMp3 tenSeconds(const mp3test::EncodeOptions& options = {})
{
    return mp3test::encodeTone(10.0, 440.0, 660.0, options);
}

TEST(MP3InfoTest, StreamFiguresMatchTheEncoding)
{
    mp3test::TemporaryFolder folder;
    struct Case
    {
        mp3test::EncodeOptions options;
        int version, channelMode, bitrate, bitrateTolerance, durationTolerance;
    };
    // MPEG 2 and 2.5: the MPEG 1 length formula spans two frames, so the walk
    // visits every second one and slides over padding to the next sync,
    // sometimes a false one: the figures are close, not exact.
    const Case cases[] = {{{}, 3, 1, 128, 0, 0},
                          {{44100, 1, 64}, 3, 3, 64, 0, 0},
                          {{22050, 2, 64}, 2, 1, 64, 8, 1},
                          {{8000, 2, 24}, 1, 1, 24, 8, 1},
                          {{44100, 2, 128, true}, 3, 1, 176, 144, 1}};
    for (const Case& kind : cases)
    {
        SCOPED_TRACE(testing::Message() << kind.options.sampleRate << " Hz " << kind.channelMode);
        const auto encoded = tenSeconds(kind.options);
        const CMP3Info info(folder.write("file.mp3", {encoded.bytes}));
        EXPECT_EQ(info.GetFlags(), unsigned{CMP3Info::HasFrameHeader});
        EXPECT_EQ(info.GetVersion(), kind.version);
        EXPECT_EQ(info.GetLayer(), 3);
        EXPECT_EQ(info.GetProtection(), 1);
        EXPECT_EQ(info.GetSampleRate(), kind.options.sampleRate);
        EXPECT_EQ(info.GetChannelMode(), kind.channelMode);
        EXPECT_NEAR(info.GetBitrate(), kind.bitrate, kind.bitrateTolerance);
        EXPECT_NEAR(info.GetDuration(), 10, kind.durationTolerance);
        // MPEG 1 stereo: every frame LAME wrote, the Info frame included.
        EXPECT_TRUE(kind.version != 3 || kind.channelMode != 1 ||
                    info.GetFrames() == encoded.audioFrames + 1);
        if (kind.bitrate != 128 || kind.options.variableBitrate)
            continue;
        // Each frame is 417 or 418 bytes (padding) and adds length × 8 /
        // 128000 s: the frames tile the file; the time is its bytes at 16000/s.
        EXPECT_GE(encoded.bytes.size(), 417u * static_cast<size_t>(info.GetFrames()));
        EXPECT_LE(encoded.bytes.size(), 418u * static_cast<size_t>(info.GetFrames()));
        EXPECT_EQ(info.GetDuration(), static_cast<int>(encoded.bytes.size() / 16000));
    }
}

TEST(MP3InfoTest, Id3v1TagsAndTheirFieldCuts)
{
    mp3test::TemporaryFolder folder;
    const auto encoded = tenSeconds();
    const std::string thirty = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcd"; // no zero byte after it
    const std::string comment = "0123456789012345678901234567890123";
    const CMP3Info v10(
        folder.write("v10.mp3", {encoded.bytes, mp3test::makeId3v1Tag(thirty, "Artist", "Album",
                                                                      "1999", comment, -1, 17)}));
    EXPECT_EQ(v10.GetFlags(), unsigned{CMP3Info::HasFrameHeader | CMP3Info::HasId3v1Tag});
    EXPECT_EQ(v10.GetTitle(), thirty);
    EXPECT_EQ(v10.GetArtist(), "Artist");
    EXPECT_EQ(v10.GetAlbum(), "Album");
    EXPECT_EQ(v10.GetYear(), "1999");
    EXPECT_EQ(v10.GetComment(), comment.substr(0, 30));
    EXPECT_EQ(v10.GetTrack(), 0);
    EXPECT_EQ(v10.GetGenre(), 255);
    // The tag is not a frame: the stream's figures stay those of the audio.
    EXPECT_EQ(v10.GetFrames(), encoded.audioFrames + 1);

    const CMP3Info v11(folder.write(
        "v11.mp3",
        {encoded.bytes, mp3test::makeId3v1Tag("Title", "Artist", "", "2024", comment, 200, 147)}));
    EXPECT_EQ(v11.GetTitle(), "Title");
    EXPECT_EQ(v11.GetAlbum(), "");
    EXPECT_EQ(v11.GetComment(), comment.substr(0, 28));
    EXPECT_EQ(v11.GetTrack(), 200);
    EXPECT_EQ(v11.GetGenre(), 147);
    EXPECT_STREQ(CMP3Info::GenreName(147), "SynthPop");
    EXPECT_STREQ(CMP3Info::GenreName(148), "");
}

TEST(MP3InfoTest, HeaderSearchSlidesOverJunkAndTagsWithinItsLimit)
{
    mp3test::TemporaryFolder folder;
    const auto encoded = tenSeconds();
    const auto id3v1 = mp3test::makeId3v1Tag("T", "A", "", "", "", 1, 2);
    // 200 bytes of junk and a 9000-byte tag are within reach; 12000 bytes are not.
    for (const auto& [before, reached] : {std::pair{mp3test::junkBytes(), true},
                                          std::pair{mp3test::makeId3v2Tag(9000, "Near"), true},
                                          std::pair{mp3test::makeId3v2Tag(12000, "Far"), false}})
    {
        SCOPED_TRACE(before.size());
        const CMP3Info info(folder.write("before.mp3", {before, encoded.bytes, id3v1}));
        EXPECT_EQ(info.GetFlags(), reached ? 3u : unsigned{CMP3Info::HasId3v1Tag});
        EXPECT_EQ(info.GetFrames(), reached ? encoded.audioFrames + 1 : 0);
        EXPECT_EQ(info.GetDuration(), reached ? 10 : 0);
        EXPECT_EQ(info.GetSampleRate(), reached ? 44100 : 0);
        EXPECT_EQ(info.GetTitle(), "T");
    }
}

TEST(MP3InfoTest, TruncatedRandomEmptyAndMissingFiles)
{
    mp3test::TemporaryFolder folder;
    auto truncated = tenSeconds();
    const int allFrames = truncated.audioFrames + 1;
    truncated.bytes.resize(truncated.bytes.size() / 2 + 100);
    const CMP3Info cut(folder.write("cut.mp3", {truncated.bytes}));
    EXPECT_NEAR(cut.GetFrames(), allFrames / 2, 1);
    EXPECT_EQ(cut.GetDuration(), 5);

    // Random bytes hold false syncs of every kind (free format, reserved and
    // forbidden fields): the walk still ends.
    CMP3Info info;
    EXPECT_TRUE(info.Read(folder.write("noise.mp3", {mp3test::randomBytes(200000, 11)})));
    EXPECT_TRUE(info.Read(folder.write("short.mp3", {{'T', 'A', 'G', 'x'}})));
    EXPECT_EQ(info.GetFlags(), 0u);
    // An empty file, and a failed read after a good one, leave everything
    // reset; the failed one the path too.
    for (const std::string& path : {folder.write("empty.mp3", {}), folder.path("missing.mp3")})
    {
        const bool exists = path.ends_with("empty.mp3");
        EXPECT_TRUE(info.Read(folder.write("good.mp3", {tenSeconds().bytes})));
        EXPECT_EQ(info.Read(path), exists);
        EXPECT_EQ(info.GetPath(), exists ? path : "");
        EXPECT_EQ(info.GetFlags(), 0u);
        EXPECT_EQ(info.GetTitle(), "");
        EXPECT_EQ(info.GetGenre(), 255);
        EXPECT_EQ(info.GetTrack() + info.GetFrames() + info.GetDuration() + info.GetSampleRate() +
                      info.GetBitrate() + info.GetVersion() + info.GetLayer(),
                  0);
    }
    EXPECT_FALSE(info.Read(folder.folder()));
}

} // namespace
