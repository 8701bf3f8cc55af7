// CMP3Info against files whose every byte the test controls: LAME-encoded
// tones with hand-written ID3 tags, and hand-made frame headers.

#include "players/MP3Info.h"
#include "MP3TestFixtures.h"

#include <gtest/gtest.h>

#include <random>

namespace
{

class MP3InfoTest : public ::testing::Test
{
protected:
    std::string write(const std::string& name, const std::vector<unsigned char>& bytes)
    {
        const std::string path = folder.path(name);
        mp3test::writeFile(path, bytes);
        return path;
    }

    // Ten seconds of tone, CBR 128 kbit/s 44100 Hz stereo unless told otherwise.
    static mp3test::EncodedMp3 tenSecondFile(mp3test::EncodeOptions options = {})
    {
        const size_t frames = static_cast<size_t>(options.sampleRate) * 10;
        const auto tone = mp3test::makeStereoTone(options.sampleRate, frames, 440.0, 660.0, 0.5);
        if (options.channels == 1)
            return mp3test::encodeMp3(mp3test::makeMonoTone(options.sampleRate, frames, 440.0, 0.5),
                                      options);
        return mp3test::encodeMp3(tone, options);
    }

    static std::vector<unsigned char> repeatedHeader(uint32_t word, int count)
    {
        std::vector<unsigned char> bytes;
        for (int index = 0; index < count; ++index)
            for (int shift = 24; shift >= 0; shift -= 8)
                bytes.push_back(static_cast<unsigned char>(word >> shift));
        return bytes;
    }

    static void expectResetFields(const CMP3Info& info)
    {
        EXPECT_EQ(info.GetFlags(), 0u);
        EXPECT_EQ(info.GetTitle(), "");
        EXPECT_EQ(info.GetArtist(), "");
        EXPECT_EQ(info.GetTrack(), 0);
        EXPECT_EQ(info.GetGenre(), 255);
        EXPECT_EQ(info.GetFrames(), 0);
        EXPECT_EQ(info.GetDuration(), 0);
        EXPECT_EQ(info.GetSampleRate(), 0);
        EXPECT_EQ(info.GetBitrate(), 0);
        EXPECT_EQ(info.GetVersion(), 0);
        EXPECT_EQ(info.GetLayer(), 0);
    }

    mp3test::TemporaryFolder folder;
};

// MPEG 1 Layer III, no CRC, 128 kbit/s, 44100 Hz, joint stereo, original.
constexpr uint32_t headerMpeg1Layer3At128 = 0xFFFB9064;

TEST_F(MP3InfoTest, ConstantBitrateStreamPropertiesMatchTheEncoding)
{
    const auto encoded = tenSecondFile();
    const size_t audioBytes = encoded.bytes.size();
    CMP3Info info(write("cbr.mp3", encoded.bytes));

    EXPECT_EQ(info.GetFlags(), unsigned{CMP3Info::HasFrameHeader});
    EXPECT_EQ(info.GetVersion(), 3);
    EXPECT_EQ(info.GetLayer(), 3);
    EXPECT_EQ(info.GetProtection(), 1);
    EXPECT_EQ(info.GetSampleRate(), 44100);
    EXPECT_EQ(info.GetBitrate(), 128);
    EXPECT_EQ(info.GetChannelMode(), 1);
    // Every frame LAME wrote, the Info frame included, and nothing else.
    EXPECT_EQ(info.GetFrames(), encoded.audioFrames + 1);
    // 417 or 418 bytes each (padding), so the frames tile the file exactly.
    EXPECT_GE(audioBytes, 417u * info.GetFrames());
    EXPECT_LE(audioBytes, 418u * info.GetFrames());
    // Each frame adds length × 8 / 128000 s, so the sum is the file's bytes at 16000 bytes/s.
    EXPECT_EQ(info.GetDuration(), static_cast<int>(audioBytes * 8 / 128000));
    EXPECT_EQ(info.GetDuration(), 10);
}

TEST_F(MP3InfoTest, OtherRatesModesAndVariableBitrate)
{
    mp3test::EncodeOptions mono;
    mono.channels = 1;
    mono.bitrateKbps = 64;
    CMP3Info monoInfo(write("mono.mp3", tenSecondFile(mono).bytes));
    EXPECT_EQ(monoInfo.GetChannelMode(), 3);
    EXPECT_EQ(monoInfo.GetBitrate(), 64);
    EXPECT_EQ(monoInfo.GetDuration(), 10);

    mp3test::EncodeOptions mpeg2;
    mpeg2.sampleRate = 22050;
    mpeg2.bitrateKbps = 64;
    CMP3Info mpeg2Info(write("mpeg2.mp3", tenSecondFile(mpeg2).bytes));
    EXPECT_EQ(mpeg2Info.GetVersion(), 2);
    EXPECT_EQ(mpeg2Info.GetLayer(), 3);
    EXPECT_EQ(mpeg2Info.GetSampleRate(), 22050);
    // The MPEG 1 length formula spans two MPEG 2 frames, so the walk visits
    // every second one; where padding makes it land a byte off it slides to
    // the next sync, sometimes a false one inside audio data. The figures are
    // therefore close, not exact.
    EXPECT_NEAR(mpeg2Info.GetBitrate(), 64, 8);
    EXPECT_NEAR(mpeg2Info.GetDuration(), 10, 1);

    mp3test::EncodeOptions mpeg25;
    mpeg25.sampleRate = 8000;
    mpeg25.bitrateKbps = 24;
    CMP3Info mpeg25Info(write("mpeg25.mp3", tenSecondFile(mpeg25).bytes));
    EXPECT_EQ(mpeg25Info.GetVersion(), 1);
    EXPECT_EQ(mpeg25Info.GetSampleRate(), 8000);
    EXPECT_NEAR(mpeg25Info.GetDuration(), 10, 1);

    mp3test::EncodeOptions variable;
    variable.variableBitrate = true;
    const auto vbr = tenSecondFile(variable);
    CMP3Info vbrInfo(write("vbr.mp3", vbr.bytes));
    EXPECT_EQ(vbrInfo.GetFrames(), vbr.audioFrames + 1);
    EXPECT_NEAR(vbrInfo.GetDuration(), 10, 1);
    EXPECT_GT(vbrInfo.GetBitrate(), 32);
    EXPECT_LT(vbrInfo.GetBitrate(), 320);
}

TEST_F(MP3InfoTest, Id3v1TagsAndTheirFieldCuts)
{
    const auto encoded = tenSecondFile();
    const std::string thirtyCharacters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcd";
    const std::string longComment = "0123456789012345678901234567890123";

    CMP3Info version10(write(
        "v10.mp3", mp3test::concatenate(
                       {encoded.bytes, mp3test::makeId3v1Tag(thirtyCharacters, "Artist", "Album",
                                                             "1999", longComment, -1, 17)})));
    EXPECT_EQ(version10.GetFlags(), unsigned{CMP3Info::HasFrameHeader | CMP3Info::HasId3v1Tag});
    EXPECT_EQ(version10.GetTitle(), thirtyCharacters);
    EXPECT_EQ(version10.GetArtist(), "Artist");
    EXPECT_EQ(version10.GetAlbum(), "Album");
    EXPECT_EQ(version10.GetYear(), "1999");
    EXPECT_EQ(version10.GetComment(), longComment.substr(0, 30));
    EXPECT_EQ(version10.GetTrack(), 0);
    EXPECT_EQ(version10.GetGenre(), 255);
    // The tag is not a frame: the stream's figures stay those of the audio.
    EXPECT_EQ(version10.GetFrames(), encoded.audioFrames + 1);

    CMP3Info version11(write(
        "v11.mp3",
        mp3test::concatenate({encoded.bytes, mp3test::makeId3v1Tag("Title", "Artist", "", "2024",
                                                                   longComment, 200, 147)})));
    EXPECT_EQ(version11.GetTitle(), "Title");
    EXPECT_EQ(version11.GetAlbum(), "");
    EXPECT_EQ(version11.GetComment(), longComment.substr(0, 28));
    EXPECT_EQ(version11.GetTrack(), 200);
    EXPECT_EQ(version11.GetGenre(), 147);
    EXPECT_STREQ(CMP3Info::GenreName(0), "Blues");
    EXPECT_STREQ(CMP3Info::GenreName(79), "Hard Rock");
    EXPECT_STREQ(CMP3Info::GenreName(147), "SynthPop");
    EXPECT_STREQ(CMP3Info::GenreName(148), "");
    EXPECT_STREQ(CMP3Info::GenreName(255), "");
}

TEST_F(MP3InfoTest, HeaderSearchSlidesOverJunkWithinItsLimit)
{
    const auto encoded = tenSecondFile();
    const CMP3Info plain(write("plain.mp3", encoded.bytes));

    std::vector<unsigned char> junk(200);
    for (size_t index = 0; index < junk.size(); ++index)
        junk[index] = static_cast<unsigned char>(index * 7 + 1); // never 0xFF
    const CMP3Info afterJunk(write("junk.mp3", mp3test::concatenate({junk, encoded.bytes})));
    EXPECT_EQ(afterJunk.GetFrames(), plain.GetFrames());
    EXPECT_EQ(afterJunk.GetDuration(), plain.GetDuration());
    EXPECT_EQ(afterJunk.GetSampleRate(), 44100);

    // 9000 bytes of tag are within reach; 12000 are not.
    const CMP3Info smallTag(write(
        "small.mp3", mp3test::concatenate({mp3test::makeId3v2Tag(9000, "Near"), encoded.bytes})));
    EXPECT_EQ(smallTag.GetFrames(), plain.GetFrames());
    const CMP3Info largeTag(write(
        "large.mp3", mp3test::concatenate({mp3test::makeId3v2Tag(12000, "Far"), encoded.bytes,
                                           mp3test::makeId3v1Tag("T", "A", "", "", "", 1, 2)})));
    EXPECT_EQ(largeTag.GetFlags(), unsigned{CMP3Info::HasId3v1Tag});
    EXPECT_EQ(largeTag.GetFrames(), 0);
    EXPECT_EQ(largeTag.GetSampleRate(), 0);
    EXPECT_EQ(largeTag.GetDuration(), 0);
    EXPECT_EQ(largeTag.GetTitle(), "T");
}

TEST_F(MP3InfoTest, OddHeadersKeepTheWalkBounded)
{
    // Reserved sample-rate index in the first header: no frame counted.
    const CMP3Info reservedRate(write("rate3.mp3", repeatedHeader(0xFFFB9C64, 10)));
    EXPECT_EQ(reservedRate.GetFrames(), 0);
    EXPECT_EQ(reservedRate.GetVersion(), 3);
    EXPECT_EQ(reservedRate.GetFlags(), 0u);

    // Free format: every header counts, none adds bitrate or time.
    const CMP3Info freeFormat(write("free.mp3", repeatedHeader(0xFFFB0064, 25)));
    EXPECT_EQ(freeFormat.GetFrames(), 25);
    EXPECT_EQ(freeFormat.GetBitrate(), 0);
    EXPECT_EQ(freeFormat.GetDuration(), 0);
    EXPECT_EQ(freeFormat.GetSampleRate(), 44100);

    // Forbidden bitrate and reserved layer: lengths that would not move
    // forward; the walk still steps header by header to the end.
    const CMP3Info forbidden(write("forbidden.mp3", repeatedHeader(0xFFFBF064, 40)));
    EXPECT_EQ(forbidden.GetFrames(), 40);
    EXPECT_EQ(forbidden.GetDuration(), 0);
    const CMP3Info reservedLayer(write("layer0.mp3", repeatedHeader(0xFFF99064, 30)));
    EXPECT_EQ(reservedLayer.GetLayer(), 0);
    EXPECT_EQ(reservedLayer.GetFrames(), 30);

    // Real frames after free-format ones are walked normally.
    const CMP3Info mixed(write(
        "mixed.mp3", mp3test::concatenate({repeatedHeader(0xFFFB0064, 3), tenSecondFile().bytes})));
    EXPECT_EQ(mixed.GetFrames(), tenSecondFile().audioFrames + 1 + 3);
    EXPECT_EQ(mixed.GetDuration(), 10);
}

TEST_F(MP3InfoTest, DamagedEmptyAndMissingFiles)
{
    auto truncated = tenSecondFile();
    const int allFrames = truncated.audioFrames + 1;
    truncated.bytes.resize(truncated.bytes.size() / 2 + 100);
    const CMP3Info cut(write("cut.mp3", truncated.bytes));
    EXPECT_GT(cut.GetFrames(), allFrames / 2 - 2);
    EXPECT_LT(cut.GetFrames(), allFrames / 2 + 2);
    EXPECT_EQ(cut.GetDuration(), 5);

    std::mt19937 random(11);
    std::vector<unsigned char> noise(200000);
    for (auto& byte : noise)
        byte = static_cast<unsigned char>(random());
    CMP3Info garbage;
    EXPECT_TRUE(garbage.Read(write("noise.mp3", noise)));

    const std::string emptyPath = write("empty.mp3", {});
    CMP3Info empty;
    EXPECT_TRUE(empty.Read(emptyPath));
    expectResetFields(empty);
    EXPECT_EQ(empty.GetPath(), emptyPath);

    CMP3Info shortFile;
    EXPECT_TRUE(shortFile.Read(write("short.mp3", {'T', 'A', 'G', 'x'})));
    EXPECT_EQ(shortFile.GetFlags(), 0u);

    // A failed read leaves everything reset, the path included, even after a good one.
    CMP3Info reused(write("good.mp3", tenSecondFile().bytes));
    EXPECT_NE(reused.GetFrames(), 0);
    EXPECT_FALSE(reused.Read(folder.path("missing.mp3")));
    expectResetFields(reused);
    EXPECT_EQ(reused.GetPath(), "");
    EXPECT_FALSE(reused.Read(folder.folder()));
}

} // namespace
