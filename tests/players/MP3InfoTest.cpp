// CMP3Info against files whose every byte the test controls: LAME-encoded
// tones behind and before hand-written ID3 tags, junk and damage; ID3v2Tag
// against hostile tags.

#include "players/MP3Info.h"
#include "MP3TestFixtures.h"
#include "players/ID3v2Tag.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <random>

namespace
{

using mp3test::Bytes;
using mp3test::id3v2Text;

// Ten seconds of tone, CBR 128 kbit/s 44100 Hz stereo unless told otherwise.
mp3test::EncodedMp3 tenSeconds(const mp3test::EncodeOptions& options = {})
{
    return mp3test::encodeTone(10.0, 440.0, 660.0, options);
}

// "artist|title" as ID3v2Tag reads them from a buffer of exactly the tag's
// size, so the sanitizer build catches any read past it.
std::string readTag(const Bytes& tag)
{
    const Bytes exact(tag);
    ID3v2Tag reader;
    reader.parse(exact.data(), exact.size());
    return reader.artist() + "|" + reader.title();
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
}

TEST(MP3InfoTest, Id3v2TagsAreSkippedByTheirSizeJunkWithinTheSearchLimit)
{
    mp3test::TemporaryFolder folder;
    const auto encoded = tenSeconds();
    // An ID3v2 tag of about `size` bytes.
    const auto padded = [](size_t size) {
        return mp3test::makeId3v2Tag({{"TIT2", id3v2Text(0, "Tag")}}, {.padding = size});
    };
    Bytes twoTags = padded(3000);
    const Bytes second = padded(50000);
    twoTags.insert(twoTags.end(), second.begin(), second.end());
    // A frame claiming more than its tag holds: the tag is skipped, its text
    // not read, and the player falls back to the ID3v1 title.
    Bytes lyingFrame = padded(0);
    lyingFrame[14] = 0x7F;
    const struct
    {
        Bytes before;
        bool reached;
        std::string id3v2Title;
    } cases[] = {
        // Junk is searched 10000 positions far; a tag of any size is skipped.
        {mp3test::junkBytes(), true, ""},
        {mp3test::junkBytes(12000), false, ""},
        {padded(9000), true, "Tag"},
        {padded(12000), true, "Tag"},
        {twoTags, true, "Tag"},
        {lyingFrame, true, ""},
        // Cover art: a 200 kB picture whose bytes hold false syncs, as a
        // JPEG's do, before the title.
        {mp3test::makeId3v2Tag(
             {{"APIC", mp3test::randomBytes(200000, 5)}, {"TIT2", id3v2Text(3, "Żółw 🌙")}},
             {.version = 4, .footer = true}),
         true, "Żółw 🌙"},
        // A tag claiming more than the file holds says nothing about where
        // the audio starts: the header search looks from the start.
        {{'I', 'D', '3', 3, 0, 0, 0x7F, 0x7F, 0x7F, 0x7F}, true, ""},
    };
    for (const auto& entry : cases)
    {
        SCOPED_TRACE(entry.before.size());
        const CMP3Info info(
            folder.write("before.mp3", {entry.before, encoded.bytes,
                                        mp3test::makeId3v1Tag("T", "A", "", "", "", 1, 2)}));
        EXPECT_EQ(info.GetFlags(), entry.reached ? 3u : unsigned{CMP3Info::HasId3v1Tag});
        EXPECT_EQ(info.GetFrames(), entry.reached ? encoded.audioFrames + 1 : 0);
        EXPECT_EQ(info.GetDuration(), entry.reached ? 10 : 0);
        EXPECT_EQ(info.GetSampleRate(), entry.reached ? 44100 : 0);
        EXPECT_EQ(info.GetId3v2Title(), entry.id3v2Title);
        EXPECT_EQ(info.GetTitle(), "T");
    }
}

TEST(MP3InfoTest, Id3v2ArtistAndTitleInEveryVersionEncodingAndLayout)
{
    // Latin-1 text with 0xFF before 0xE9 (a stuffed zero under
    // unsynchronisation); text beyond Latin-1, with a pair of UTF-16 surrogates.
    const std::string latin = "Zoë ÿé", wide = "Żółw 東京 🌙";
    // The artist's and the title's frame, by the version's ids, in the given encodings.
    const auto tag = [](mp3test::Id3v2Layout layout, int artistEncoding, const std::string& artist,
                        int titleEncoding, const std::string& title)
    {
        const bool v22 = layout.version == 2;
        return mp3test::makeId3v2Tag({{v22 ? "TP1" : "TPE1", id3v2Text(artistEncoding, artist)},
                                      {v22 ? "TT2" : "TIT2", id3v2Text(titleEncoding, title)}},
                                     layout);
    };
    const auto join = [](Bytes bytes, const Bytes& more)
    {
        bytes.insert(bytes.end(), more.begin(), more.end());
        return bytes;
    };
    const struct
    {
        const char* what;
        Bytes tag;
        std::string text;
    } cases[] = {
        {"2.3 Latin-1", tag({.padding = 1000}, 0, latin, 0, "Café"), latin + "|Café"},
        {"2.3 UTF-16", tag({}, 1, wide, 1, latin), wide + "|" + latin},
        {"2.4 UTF-16BE", tag({.version = 4}, 2, wide, 2, "B"), wide + "|B"},
        {"2.4 UTF-8", tag({.version = 4}, 3, wide, 3, latin), wide + "|" + latin},
        {"2.2 UTF-16", tag({.version = 2}, 1, "A", 1, wide), "A|" + wide},
        {"2.3 unsynchronised", tag({.unsynchronise = true}, 1, wide, 0, latin), wide + "|" + latin},
        {"2.2 unsynchronised", tag({.version = 2, .unsynchronise = true}, 0, latin, 1, wide),
         latin + "|" + wide},
        // Per-frame unsynchronisation, extended header, footer; a frame with a
        // group byte and a data length before its text.
        {"2.4 unsynchronised, every extra",
         mp3test::makeId3v2Tag(
             {{"TPE1", id3v2Text(1, latin)},
              {"TIT2", join({7, 0, 0, 0, 5}, id3v2Text(0, "ÿé")), 0x41}},
             {.version = 4, .unsynchronise = true, .extendedHeader = true, .footer = true}),
         latin + "|ÿé"},
        // A compressed frame cannot be read and is passed over; a terminator
        // ends the first of several values.
        {"2.3 compressed frame, several values",
         mp3test::makeId3v2Tag({{"TIT2", {0, 'x', 0x9C}, 0x80},
                                {"TPE1", join(id3v2Text(1, "One"), {0, 0, 'T', 0})},
                                {"TIT2", join(id3v2Text(0, "First"), {0, 'S'})}},
                               {.extendedHeader = true}),
         "One|First"},
    };
    for (const auto& entry : cases)
        EXPECT_EQ(readTag(entry.tag), entry.text) << entry.what;
}

TEST(MP3InfoTest, HostileId3v2TagsAreReadOnlyWithinTheirBytes)
{
    const Bytes title = id3v2Text(0, "Fine");
    const auto frame = [&](const char* id, Bytes content, unsigned char flags = 0) {
        return mp3test::Id3v2Frame{id, std::move(content), flags};
    };
    Bytes lyingFrame = mp3test::makeId3v2Tag({frame("TIT2", title)});
    lyingFrame[14] = 0x7F; // the frame claims far more than the tag holds
    Bytes lyingTag = mp3test::makeId3v2Tag({frame("TIT2", title)});
    lyingTag[6] = 0x7F; // the tag claims 256 MB
    Bytes cutTag = mp3test::makeId3v2Tag({frame("TPE1", title), frame("TIT2", title)});
    cutTag.resize(cutTag.size() - 3);
    Bytes lyingExtended = mp3test::makeId3v2Tag({frame("TIT2", title)}, {.extendedHeader = true});
    lyingExtended[13] = 0xFF;
    const struct
    {
        Bytes tag;
        std::string text;
    } cases[] = {
        {lyingFrame, "|"},
        {lyingTag, "|Fine"},
        {cutTag, "Fine|"},
        {lyingExtended, "|"},
        {mp3test::makeId3v2Tag({frame("TIT2", {}), frame("TPE1", {}), frame("TIT2", title)}),
         "|Fine"},
        {mp3test::makeId3v2Tag({frame("TIT2", {1}), frame("TPE1", {1, 0xFF})}), "|"},
        {mp3test::makeId3v2Tag({frame("TIT2", {9, 'A'})}), "|"},
        {mp3test::makeId3v2Tag({frame("TIT2", {0, 1, 2}, 0x41)}, {.version = 4}), "|"},
        {mp3test::makeId3v2Tag({frame("TIT2", title)}, {.version = 4, .unsynchronise = true}),
         "|Fine"},
        {{'I', 'D', '3', 4, 0, 0, 0, 0, 0x80, 0}, "|"},
        {{'I', 'D', '3', 3, 0, 0, 0, 0, 0, 20, 'T', 'I', 'T'}, "|"},
    };
    for (const auto& entry : cases)
        EXPECT_EQ(readTag(entry.tag), entry.text) << testing::PrintToString(entry.tag);

    // Odd UTF-16 lengths, lone surrogates, broken UTF-8, terminators: each
    // decodes within its bytes.
    const struct
    {
        Bytes content;
        std::string text;
    } texts[] = {
        {{1, 0xFF, 0xFE, 'A', 0, 'B'}, "A"},
        {{2, 0, 'A', 0xD8, 0x3C}, "A\uFFFD"},
        {{1, 0xFF, 0xFE, 0x3C, 0xD8, 'A', 0}, "\uFFFDA"},
        {{1, 0xFF}, ""},
        {{3, 'A', 0xC3}, "A\uFFFD"},
        {{3, 0xE0, 0x80, 0x80}, "\uFFFD\uFFFD\uFFFD"},
        {{0, 'A', 0, 'B'}, "A"},
    };
    for (const auto& entry : texts)
    {
        const Bytes exact(entry.content);
        EXPECT_EQ(ID3v2Tag::decodeText(exact.data(), exact.size()), entry.text)
            << testing::PrintToString(entry.content);
    }

    // Random damage to a good tag: every read stays inside the bytes.
    const Bytes good =
        mp3test::makeId3v2Tag({frame("TPE1", id3v2Text(1, "Artist")), frame("TIT2", title)},
                              {.version = 4, .unsynchronise = true, .extendedHeader = true});
    std::mt19937 random(17);
    for (int round = 0; round < 20000; ++round)
    {
        Bytes damaged = good;
        for (int change = 0; change < 3; ++change)
            damaged[random() % damaged.size()] = static_cast<unsigned char>(random());
        damaged.resize(random() % (damaged.size() + 1));
        readTag(damaged);
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
    // A named pipe is not waited on.
    ASSERT_EQ(::mkfifo(folder.path("pipe.mp3").c_str(), 0600), 0);
    EXPECT_FALSE(info.Read(folder.path("pipe.mp3")));
}

} // namespace
