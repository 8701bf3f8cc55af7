// The wave scope: the peak cache's bytes and geometry for files written with
// libsndfile, when a cache is trusted and when rebuilt (loop flag kept), the
// mirror folder for a cache that cannot be written beside its file, the
// loop flag, the widget's columns and play line, one analysis at a time, and
// a destroy during analysis.

#include "skinkit/CWaveScope.h"
#include "skinkit/WaveScopeCache.h"
#include "support/RackTest.h"
#include "support/Tones.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>
#include <sndfile.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <thread>

namespace
{

using testkit::Recording;

constexpr int kRate = 44100;
constexpr int kWidth = 400;

Recording silence(size_t frames, size_t channels)
{
    return {kRate, std::vector<std::vector<float>>(channels, std::vector<float>(frames, 0.0f))};
}

std::vector<unsigned char> fileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// A record's 16-bit value, read with memcpy as the cache's odd offsets demand.
int16_t recordValue(const std::vector<unsigned char>& cache, size_t byteOffset)
{
    int16_t value = 0;
    std::memcpy(&value, cache.data() + byteOffset, sizeof value);
    return value;
}

class WaveScopeTest : public testkit::RackTest
{
protected:
    void SetUp() override
    {
        RackTest::SetUp();
        setenv("XDG_CACHE_HOME", folder.path("xdg-cache").c_str(), 1);
    }

    // Opens `sound` in `cache` and waits for its analysis to end.
    bool openAndWait(WaveScopeCache& cache, const std::string& sound, int width = kWidth)
    {
        m_done = false;
        cache.finished = [this] { m_done = true; };
        if (!cache.open(sound, width))
            return false;
        while (!m_done)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return true;
    }
    // The cache's path after a whole analysis, "" when the file was refused.
    std::string analyse(const std::string& sound, int width = kWidth)
    {
        WaveScopeCache cache;
        return openAndWait(cache, sound, width) ? cache.cachePath() : "";
    }

    testkit::TemporaryFolder folder;
    std::atomic<bool> m_done{false};
};

TEST_F(WaveScopeTest, CacheHoldsTheGeometryHeaderAndEachPointsPeaks)
{
    // 441000 stereo frames at 400 px: 441000 / 4000 = 110 frames per point,
    // 441000 / 110 + 1 = 4010 points, 2 × 4010 × 4 = 32080 data bytes.
    Recording stereo = silence(441000, 2);
    constexpr size_t kSpikePoint = 1234;
    stereo.channels[0][kSpikePoint * 110 + 17] = 12345.0f / 32768.0f;
    stereo.channels[1][kSpikePoint * 110 + 90] = -2000.0f / 32768.0f;
    const std::string sound = folder.path("stereo.wav");
    ASSERT_TRUE(testkit::writeSoundFile(sound, stereo, SF_FORMAT_WAV | SF_FORMAT_PCM_16));

    const wavescope::Geometry geometry = wavescope::geometryFor(441000, 2, kWidth);
    EXPECT_EQ(geometry.framesPerPoint, 110);
    EXPECT_EQ(geometry.points, 4010);
    EXPECT_EQ(geometry.dataSize, 32080u);

    ASSERT_EQ(analyse(sound), sound + ".tuv");
    const std::vector<unsigned char> cache = fileBytes(sound + ".tuv");
    ASSERT_EQ(cache.size(), 32111u);
    const unsigned char header[31] = {'T', 'U', 'V', 'O', 0,   0,    2,    0,  0, 0, 0,
                                      0,   0,   0,   0,   0,   0,    0,    16, 0, 0, 0,
                                      1,   'd', 'a', 't', 'a', 0x50, 0x7D, 0,  0};
    EXPECT_EQ(std::memcmp(cache.data(), header, sizeof header), 0);
    const size_t spike = 31 + kSpikePoint * 8;
    EXPECT_EQ(recordValue(cache, spike), 12345);     // left maximum
    EXPECT_EQ(recordValue(cache, spike + 2), 0);     // left minimum
    EXPECT_EQ(recordValue(cache, spike + 4), 0);     // right maximum
    EXPECT_EQ(recordValue(cache, spike + 6), -2000); // right minimum
    EXPECT_EQ(recordValue(cache, spike - 8), 0) << "the spike stays in its own point";
    EXPECT_EQ(recordValue(cache, spike + 8), 0);
}

TEST_F(WaveScopeTest, FloatShortAndWideFilesAnalyse)
{
    struct Case
    {
        const char* name;
        size_t frames;
        size_t channels;
        int format;
        int64_t points;
        int cacheChannels;
        int16_t firstMaximum; // of point 0, channel 1
    };
    // A 0.5 float peak is 16383 ± 1 (reading floats as shorts drew a flat
    // line); 2205 frames give one frame per point, 2206 points; six channels
    // keep the first two.
    const Case cases[] = {
        {"float.wav", 44100, 1, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 4010, 1, 16383},
        {"short.wav", 2205, 2, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2206, 2, 16384},
        {"wide.wav", 44100, 6, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 4010, 2, 16384},
    };
    for (const Case& test : cases)
    {
        Recording recording = silence(test.frames, test.channels);
        recording.channels[0][0] = 0.5f;
        const std::string sound = folder.path(test.name);
        ASSERT_TRUE(testkit::writeSoundFile(sound, recording, test.format));
        const wavescope::Geometry geometry = wavescope::geometryFor(
            static_cast<int64_t>(test.frames), static_cast<int>(test.channels), kWidth);
        EXPECT_EQ(geometry.points, test.points) << test.name;
        ASSERT_FALSE(analyse(sound).empty()) << test.name;
        const std::vector<unsigned char> cache = fileBytes(sound + ".tuv");
        EXPECT_EQ(cache[6], test.cacheChannels) << test.name;
        EXPECT_EQ(cache.size(), 31 + static_cast<size_t>(test.points * test.cacheChannels * 4))
            << test.name;
        EXPECT_NEAR(recordValue(cache, 31), test.firstMaximum, 1) << test.name;
    }
    // A file without frames is refused.
    const std::string empty = folder.path("empty.wav");
    ASSERT_TRUE(testkit::writeSoundFile(empty, silence(0, 1), SF_FORMAT_WAV | SF_FORMAT_PCM_16));
    WaveScopeCache cache;
    EXPECT_FALSE(cache.open(empty, kWidth));
}

TEST_F(WaveScopeTest, StaleCachesAreRebuiltKeepingTheLoopFlag)
{
    const std::string sound = folder.path("loop.wav");
    auto write = [&](size_t frames) {
        return testkit::writeSoundFile(sound, silence(frames, 2), SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    };
    ASSERT_TRUE(write(44100));
    ASSERT_FALSE(analyse(sound).empty());
    const std::string cachePath = sound + ".tuv";
    auto cacheTime = [&]
    {
        struct stat info
        {
        };
        ::stat(cachePath.c_str(), &info);
        return info.st_mtim.tv_sec * 1000000000LL + info.st_mtim.tv_nsec;
    };
    // A valid cache is read, not written again.
    const long long firstWrite = cacheTime();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_FALSE(analyse(sound).empty());
    EXPECT_EQ(cacheTime(), firstWrite);

    struct Change
    {
        const char* what;
        std::function<void()> apply;
        int width;
        uint32_t dataSize;
    };
    // Points: 44100 frames at 400 px are 11 per point, 4010 points; at
    // 200 px 22 per point, 2005 points; 22050 frames at 400 px 5 per point, 4411.
    const Change changes[] = {
        {"touched", [&] { ::utimensat(AT_FDCWD, sound.c_str(), nullptr, 0); }, kWidth,
         2 * 4010 * 4},
        {"truncated", [&] { std::filesystem::resize_file(cachePath, 100); }, kWidth, 2 * 4010 * 4},
        {"resized", [] {}, 200, 2 * 2005 * 4},
        {"shortened", [&] { write(22050); }, kWidth, 2 * 4411 * 4},
    };
    for (const Change& change : changes)
    {
        {
            // Loop off for this file before the change.
            WaveScopeCache cache;
            ASSERT_TRUE(openAndWait(cache, sound));
            cache.setLoop(false);
            ASSERT_FALSE(cache.loop());
        }
        const long long before = cacheTime();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        change.apply();
        ASSERT_FALSE(analyse(sound, change.width).empty()) << change.what;
        const std::vector<unsigned char> bytes = fileBytes(cachePath);
        ASSERT_EQ(bytes.size(), 31 + change.dataSize) << change.what;
        EXPECT_EQ(bytes[22], 0) << change.what << ": the loop flag survives the rebuild";
        EXPECT_NE(cacheTime(), before) << change.what << ": rebuilt";
        // Back to the reference state for the next change.
        write(44100);
        ASSERT_FALSE(analyse(sound).empty());
    }
}

TEST_F(WaveScopeTest, CacheThatCannotBeWrittenBesideGoesToTheMirrorAndIsFoundThere)
{
    const std::string sound = folder.path("library.wav");
    ASSERT_TRUE(
        testkit::writeSoundFile(sound, silence(44100, 1), SF_FORMAT_WAV | SF_FORMAT_PCM_16));
    // A directory where the cache would go blocks it even for root.
    std::filesystem::create_directory(sound + ".tuv");
    const std::string mirror = folder.path("xdg-cache") + "/corvane/wavescope" + sound + ".tuv";
    EXPECT_EQ(wavescope::mirrorPath(sound), mirror);
    EXPECT_EQ(analyse(sound), mirror);
    EXPECT_EQ(fileBytes(mirror).size(), 31u + 4010 * 4);

    WaveScopeCache cache;
    ASSERT_TRUE(openAndWait(cache, sound));
    EXPECT_EQ(cache.cachePath(), mirror);
    cache.setLoop(false);
    EXPECT_EQ(fileBytes(mirror)[22], 0);
    // No temporary files are left behind.
    size_t entries = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator(std::filesystem::path(mirror).parent_path()))
        ++entries;
    EXPECT_EQ(entries, 1u);
}

TEST_F(WaveScopeTest, ScopeDrawsColumnsAndKeepsTheLoopFlagPerFile)
{
    // 40000 mono frames on the 200-pixel default screen: 20 frames per
    // point, 2001 points, about 10 points per column. A spike at frame
    // 20000 is point 1000, in column 99: 2001 / 200 = 10.005 points per
    // column puts its boundaries at round(99 × 10.005) = 990 and
    // round(100 × 10.005) = 1001.
    Recording mono = silence(40000, 1);
    mono.channels[0][20000] = 0.25f;
    const std::string sound = folder.path("mono.wav");
    ASSERT_TRUE(testkit::writeSoundFile(sound, mono, SF_FORMAT_WAV | SF_FORMAT_PCM_16));

    CWaveScope scope;
    scope.create(nullptr, QRect(0, 0, 10, 10), 7);
    ASSERT_EQ(scope.width(), 200);
    QSignalSpy finished(&scope, &CWaveScope::analysisFinished);
    ASSERT_TRUE(scope.LibLoadWAVFile(QString::fromStdString(sound)));
    EXPECT_TRUE(scope.showsBusyText());
    EXPECT_FALSE(scope.isIdle());
    EXPECT_TRUE(scope.getLoop()) << "a new cache loops";
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_TRUE(scope.isIdle());
    EXPECT_FALSE(scope.showsBusyText());
    EXPECT_FALSE(scope.isStereo());
    const auto& columns = scope.columns()[0];
    const auto loudest = std::max_element(columns.begin(), columns.end(),
                                          [](auto a, auto b) { return a.maximum < b.maximum; });
    EXPECT_EQ(loudest->maximum, 8192);
    EXPECT_EQ(loudest - columns.begin(), 99);

    scope.setPlayLine(120);
    scope.setPlayLine(201); // outside 0..width: ignored
    scope.setPlayLine(-1);
    EXPECT_EQ(scope.getPlayLine(), 120);

    scope.setLoop(false);
    EXPECT_FALSE(scope.getLoop());
    std::filesystem::remove(sound + ".tuv");
    EXPECT_TRUE(scope.getLoop()) << "without a cache the file loops";
    EXPECT_FALSE(scope.LibLoadWAVFile(QString::fromStdString(folder.path("missing.wav"))));
}

TEST_F(WaveScopeTest, OneAnalysisRunsAtATimeAndDestroyingCancelsIt)
{
    // Four hours of 16-bit stereo whose data is a hole in the file: written
    // in an instant, seconds to analyse, far past the half second a destroy
    // may take.
    constexpr uint32_t kHugeFrames = 4 * 3600 * kRate;
    testkit::Bytes header = {'R', 'I', 'F',  'F',  0,   0,   0,    0,    'W', 'A', 'V',
                             'E', 'f', 'm',  't',  ' ', 16,  0,    0,    0,   1,   0,
                             2,   0,   0x44, 0xAC, 0,   0,   0x10, 0xB1, 2,   0,   4,
                             0,   16,  0,    'd',  'a', 't', 'a',  0,    0,   0,   0};
    for (int byte = 0; byte < 4; ++byte)
    {
        header[4 + byte] = static_cast<unsigned char>((kHugeFrames * 4 + 36) >> (8 * byte));
        header[40 + byte] = static_cast<unsigned char>((kHugeFrames * 4) >> (8 * byte));
    }
    const std::string huge = folder.write("huge.wav", {header});
    std::filesystem::resize_file(huge, header.size() + kHugeFrames * 4ULL);
    const std::string other = folder.path("other.wav");
    ASSERT_TRUE(testkit::writeSoundFile(other, silence(4000, 1), SF_FORMAT_WAV | SF_FORMAT_PCM_16));
    auto analysisThreads = []
    {
        int count = 0;
        for (const auto& task : std::filesystem::directory_iterator("/proc/self/task"))
        {
            std::string name;
            std::getline(std::ifstream(task.path() / "comm"), name);
            count += name == "wavescope";
        }
        return count;
    };

    // Switching files mid-analysis: one worker takes them in turn, the
    // newest is drawn, a dropped analysis writes no cache.
    auto scope = std::make_unique<CWaveScope>();
    QSignalSpy finished(scope.get(), &CWaveScope::analysisFinished);
    for (int round = 0; round < 3; ++round)
    {
        for (const std::string& sound : {huge, other})
        {
            ASSERT_TRUE(scope->LibLoadWAVFile(QString::fromStdString(sound)));
            EXPECT_LE(analysisThreads(), 1);
        }
    }
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_EQ(scope->cache().cachePath(), other + ".tuv");
    EXPECT_FALSE(scope->isStereo());

    // Destroyed mid-analysis: cancelled (a join alone would run on and write
    // the cache) and joined within half a second; no temporary file is left.
    ASSERT_TRUE(scope->LibLoadWAVFile(QString::fromStdString(huge)));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_TRUE(scope->cache().busy());
    const auto before = std::chrono::steady_clock::now();
    scope.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(500));
    EXPECT_EQ(analysisThreads(), 0);
    QTest::qWait(50); // a posted result for the gone scope is dropped
    EXPECT_FALSE(std::filesystem::exists(huge + ".tuv"));
    for (const auto& entry : std::filesystem::directory_iterator(folder.folder()))
        EXPECT_EQ(entry.path().string().find(".tuv."), std::string::npos) << entry.path();
}

TEST_F(WaveScopeTest, OwnWavParserNamesWhatIsWrong)
{
    const testkit::Bytes pcm16Format = {16, 0, 0,    0,    1, 0, 1, 0, 0x44, 0xAC,
                                        0,  0, 0x88, 0x58, 1, 0, 2, 0, 16,   0};
    auto wav = [](testkit::Bytes format, const char* next)
    {
        testkit::Bytes bytes = {'R', 'I', 'F', 'F', 36,  0,   0,   0,
                                'W', 'A', 'V', 'E', 'f', 'm', 't', ' '};
        for (const unsigned char byte : format)
            bytes.push_back(byte);
        // The next chunk's tag and an empty size.
        for (int index = 0; index < 8; ++index)
            bytes.push_back(index < 4 ? static_cast<unsigned char>(next[index]) : 0);
        return bytes;
    };
    testkit::Bytes pcm8Format = pcm16Format;
    pcm8Format[18] = 8;
    const testkit::Bytes longFormat = {18, 0, 0, 0};
    struct Case
    {
        const char* name;
        testkit::Bytes bytes;
        QString message;
        bool silent;
    };
    const Case cases[] = {
        {"good.wav", wav(pcm16Format, "data"), "", false},
        {"notriff.wav",
         {'R', 'I', 'F', 'X', 0, 0, 0, 0, 'W', 'A', 'V', 'E'},
         "Invalide WAV File",
         false},
        {"nofmt.wav",
         {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'L', 'I', 'S', 'T', 0, 0, 0, 0},
         "unsurported WAV",
         false},
        {"eightbit.wav", wav(pcm8Format, "data"), "support only 16bit PCM", false},
        {"nodata.wav", wav(pcm16Format, "LIST"),
         QString::fromUtf8("WAV\u6587\u4ef6\u6570\u636e\u65e0\u6cd5\u8bfb\u53d6"), false},
        {"longfmt.wav", wav(longFormat, "data"), "", true},
    };
    for (const Case& test : cases)
    {
        const wavescope::WavCheck check =
            wavescope::checkWavFile(folder.write(test.name, {test.bytes}));
        EXPECT_EQ(check.message, test.message) << test.name;
        EXPECT_EQ(check.silent, test.silent) << test.name;
    }
    EXPECT_EQ(wavescope::checkWavFile(folder.path("missing.wav")).message,
              QStringLiteral("Can not open WAV File"));
}

} // namespace
