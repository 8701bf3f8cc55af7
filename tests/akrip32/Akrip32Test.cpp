// The CD reading layer on generated BIN/CUE images: what it lists and opens,
// the table of contents in both address forms, byte-exact reads, and the
// reads it refuses because libcdio would answer them wrongly.

#include "akrip32/akrip32.h"
#include "akrip32/CueSheet.h"
#include "support/CDImages.h"

#include <gtest/gtest.h>

#include <cstring>

namespace
{

class Akrip32Test : public ::testing::Test
{
protected:
    // Lists `path` first and opens the first drive; 0 when that fails.
    HCDROM open(const std::string& path)
    {
        m_environment.reset();
        m_environment = std::make_unique<testkit::ScopedEnvironment>(CD_DEVICE_VARIABLE, path);
        CDLIST list{};
        if (GetCDList(&list) != 1 || list.count == 0)
            return 0;
        EXPECT_EQ(list.drives[0].isImage, 1);
        EXPECT_STREQ(list.drives[0].name, path.c_str());
        GETCDHAND request{sizeof(GETCDHAND), 1, list.drives[0].hostAdapter, 0, 0, 0, {}};
        m_handle = GetCDHandle(&request);
        return m_handle;
    }
    void TearDown() override
    {
        if (m_handle != 0)
        {
            EXPECT_EQ(CloseCDHandle(m_handle), 1);
        }
    }

    static int block(const TOCTRACK& entry)
    {
        return (entry.address[0] << 24) | (entry.address[1] << 16) | (entry.address[2] << 8) |
               entry.address[3];
    }
    static int read(HCDROM handle, TRACKBUF& buffer, int first, int count)
    {
        buffer.startBlock = first;
        buffer.blockCount = count;
        buffer.capacityBytes = CD_CHUNK_BYTES;
        return ReadCDAudioLBA(handle, &buffer);
    }

    testkit::TemporaryFolder m_folder;
    std::unique_ptr<testkit::ScopedEnvironment> m_environment;
    HCDROM m_handle = 0;
};

TEST_F(Akrip32Test, TableOfContentsGivesBlocksAndMinuteSecondFrameAddresses)
{
    const testkit::CdImage image = testkit::writeStandardCdImage(m_folder);
    const HCDROM handle = open(image.cuePath);
    ASSERT_NE(handle, 0);

    TOC blocks{}, msf{};
    ASSERT_EQ(ReadTOC(handle, &blocks), 1);
    ASSERT_EQ(ModifyCDParms(handle, CDP_MSF, 1), 1);
    ASSERT_EQ(ReadTOC(handle, &msf), 1);
    EXPECT_EQ(blocks.firstTrack, 1);
    EXPECT_EQ(blocks.lastTrack, 4);
    // Four tracks and the lead-out, 8 bytes each, after the 2 bytes of count.
    EXPECT_EQ((blocks.length[0] << 8) | blocks.length[1], 2 + 5 * 8);
    for (int entry = 0; entry <= 4; ++entry)
    {
        SCOPED_TRACE(entry);
        // The pregap of 32 blocks is block 0 onwards: track 1 starts at 32.
        const int expected =
            entry < 4 ? image.startBlocks[entry] : image.startBlocks[3] + image.blockCounts[3];
        EXPECT_EQ(block(blocks.tracks[entry]), expected);
        EXPECT_EQ(blocks.tracks[entry].trackNumber, entry < 4 ? entry + 1 : TOC_LEADOUT_TRACK);
        EXPECT_EQ(blocks.tracks[entry].adrControl & TOC_DATA_TRACK, 0);
        // Minute/second/frame addresses count the 150-block lead-in.
        const int counted = expected + CD_PREGAP_BLOCKS;
        EXPECT_EQ(msf.tracks[entry].address[1], counted / 4500);
        EXPECT_EQ(msf.tracks[entry].address[2], counted / 75 % 60);
        EXPECT_EQ(msf.tracks[entry].address[3], counted % 75);
    }
}

TEST_F(Akrip32Test, ReadsAreByteExactAndImpossibleReadsAreRefused)
{
    const testkit::CdImage image = testkit::writeStandardCdImage(m_folder);
    const HCDROM handle = open(image.cuePath);
    ASSERT_NE(handle, 0);
    const int leadOut = image.startBlocks[3] + 1;
    auto buffer = std::make_unique<TRACKBUF>();

    // Track 2's first chunk, as stored: little-endian, left before right.
    ASSERT_EQ(read(handle, *buffer, image.startBlocks[1], CD_CHUNK_BLOCKS), 1);
    EXPECT_EQ(buffer->lengthBytes, CD_CHUNK_BYTES);
    EXPECT_EQ(buffer->status, 1);
    EXPECT_EQ(std::memcmp(buffer->audio, image.trackSamples(2), CD_CHUNK_BYTES), 0);
    EXPECT_EQ(buffer->audio[0], 0x34);
    EXPECT_EQ(buffer->audio[1], 0x12);

    struct Case
    {
        int first, count, result;
        const char* what;
    };
    const Case cases[] = {
        {leadOut - 1, 1, 1, "the last block"},
        {leadOut - 1, 2, 0, "one block past the lead-out (libcdio says success)"},
        {leadOut, 1, 0, "at the lead-out"},
        {10, 0, 0, "no block (libcdio says success and writes nothing)"},
        {-1, 1, 0, "before block 0"},
        {0, CD_CHUNK_BLOCKS + 1, 0, "more than the buffer holds"},
    };
    for (const Case& read : cases)
    {
        SCOPED_TRACE(read.what);
        std::memset(buffer->audio, 0x5A, CD_BLOCK_BYTES);
        EXPECT_EQ(this->read(handle, *buffer, read.first, read.count), read.result);
        EXPECT_EQ(buffer->status, read.result);
        if (read.result == 0)
        {
            EXPECT_EQ(buffer->audio[0], 0x5A) << "a refused read wrote into the buffer";
        }
    }
}

TEST_F(Akrip32Test, DataTracksAndDamagedImagesAreRefused)
{
    const testkit::CdImage mixed =
        testkit::writeCdImage(m_folder, "mixed", {{40, 0, 0, true}, {20, 1000.0, 1000.0}});
    const HCDROM handle = open(mixed.cuePath);
    ASSERT_NE(handle, 0);
    TOC toc{};
    ASSERT_EQ(ReadTOC(handle, &toc), 1);
    EXPECT_NE(toc.tracks[0].adrControl & TOC_DATA_TRACK, 0);
    EXPECT_EQ(toc.tracks[1].adrControl & TOC_DATA_TRACK, 0);
    auto buffer = std::make_unique<TRACKBUF>();
    EXPECT_EQ(read(handle, *buffer, 0, 1), 0) << "a data sector read as audio";
    EXPECT_EQ(read(handle, *buffer, 39, 2), 0) << "a read reaching back into the data track";
    EXPECT_EQ(read(handle, *buffer, 40, 20), 1);
    EXPECT_EQ(CloseCDHandle(handle), 1);
    m_handle = 0;

    // Not a CUE sheet: opened as BIN/CUE only, so no other parser sees it.
    const std::string damaged =
        m_folder.write("damaged.nrg", {{'N', 'E', 'R', '5', 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}});
    EXPECT_EQ(open(damaged), 0);
    EXPECT_EQ(CloseCDHandle(0), 0);

    // Sheets libcdio's parser must never see: more than 99 TRACK lines (it
    // writes past its track table), falling numbers, control bytes, a line
    // longer than any real sheet's. Each has a BIN of 300 silent sectors.
    using namespace std::string_literals;
    std::string repeated = "FILE \"hostile.bin\" BINARY\n";
    for (int track = 0; track < 120; ++track)
        repeated += "  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n";
    const std::string sheets[] = {
        repeated,
        "FILE \"hostile.bin\" BINARY\n  TRACK 02 AUDIO\n    INDEX 01 00:00:00\n"
        "  TRACK 01 AUDIO\n    INDEX 01 00:00:10\n",
        "FILE \"hostile.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
        "  TRACK 02z AUDIO\n    INDEX 01 00:00:10\n",
        "FILE \"hostile.bin\" BINARY\n  TRACK 01 AUDIO\0 TRACK 01\n"s,
        "TITLE \"" + std::string(2000, 'a') + "\"\nFILE \"hostile.bin\" BINARY\n  TRACK 01 AUDIO\n",
    };
    m_folder.write("hostile.bin", {testkit::Bytes(300 * 2352, 0)});
    EXPECT_TRUE(akrip32::cueSheetIsSane(mixed.cuePath));
    for (const std::string& sheet : sheets)
    {
        const std::string cue =
            m_folder.write("hostile.cue", {testkit::Bytes(sheet.begin(), sheet.end())});
        EXPECT_FALSE(akrip32::cueSheetIsSane(cue)) << sheet.substr(0, 80);
        EXPECT_EQ(open(cue), 0);
    }
}

} // namespace
