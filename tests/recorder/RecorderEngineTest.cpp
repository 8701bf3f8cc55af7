// The recorder's engine without a panel: what it captures is exactly what the
// MP3 file decodes to (with libmpg123), at the device's rate, through Pause
// and a Stop made while blocks run; a stalled disk loses counted frames and
// nothing else; a full disk is reported; no file is ever replaced; the
// audio thread neither allocates nor locks.

#include "recorder/RecorderEngine.h"
#include "recorder/RecordedMp3.h"
#include "support/RealtimeTrap.h"
#include "support/Tones.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numbers>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace
{

using testkit::TemporaryFolder;
using namespace std::chrono_literals;

// A 0.5 tone gliding 1000 ± 50 Hz five times a second (right: 1500 ± 75 Hz),
// so every chunk boundary falls on a different waveform.
class VibratoTone
{
public:
    explicit VibratoTone(double rate, bool vibrato = true) : m_rate(rate), m_vibrato(vibrato) {}
    void fill(float* left, float* right, long frames)
    {
        for (long frame = 0; frame < frames; ++frame, ++m_frame)
        {
            const double wobble =
                m_vibrato ? std::sin(2.0 * std::numbers::pi * 5.0 * m_frame / m_rate) : 0.0;
            m_leftPhase += 2.0 * std::numbers::pi * (1000.0 + 50.0 * wobble) / m_rate;
            m_rightPhase += 2.0 * std::numbers::pi * (1500.0 + 75.0 * wobble) / m_rate;
            left[frame] = static_cast<float>(0.5 * std::sin(m_leftPhase));
            right[frame] = static_cast<float>(0.5 * std::sin(m_rightPhase));
        }
    }

private:
    double m_rate;
    bool m_vibrato;
    size_t m_frame = 0;
    double m_leftPhase = 0.0;
    double m_rightPhase = 0.0;
};

// Feeds `frames` frames of the tone in blocks of `block` frames, each block
// with the real-time trap armed.
void feed(RecorderEngine& engine, VibratoTone& tone, size_t frames, long block = 512)
{
    std::vector<float> left(static_cast<size_t>(block)), right(static_cast<size_t>(block));
    for (size_t done = 0; done < frames; done += static_cast<size_t>(block))
    {
        const long count = std::min<long>(block, static_cast<long>(frames - done));
        tone.fill(left.data(), right.data(), count);
        float* in[] = {left.data(), right.data()};
        const realtime_trap::ScopedArm audioThread;
        engine.process(in, nullptr, 2, 0, count);
    }
}

// Every armed block of a test (conversion, chunk hand-over, wake-ups, Pause):
// no allocation, free or lock on the audio thread.
struct Fixture
{
    explicit Fixture(double rate = 44100.0)
    {
        realtime_trap::resetCounts();
        engine.setFolder(folder.folder());
        engine.prepare(rate);
    }
    ~Fixture() { EXPECT_EQ(realtime_trap::violations(), 0u); }
    std::string onlyRecording() const
    {
        const auto files = recorded::recordings(folder.folder());
        return files.size() == 1 ? files.front() : std::string();
    }
    TemporaryFolder folder;
    RecorderEngine engine;
};

// One channel's gain against what was captured (least squares), and the
// worst signal-to-noise ratio of any whole second after that gain.
struct Fidelity
{
    double gainDb;
    double worstSnrDb;
};
Fidelity fidelity(const std::vector<float>& decoded, const std::vector<float>& captured,
                  size_t second)
{
    double cross = 0.0, power = 0.0;
    for (size_t index = 0; index < captured.size(); ++index)
    {
        cross += static_cast<double>(decoded[index]) * captured[index];
        power += static_cast<double>(captured[index]) * captured[index];
    }
    const double gain = cross / power;
    double worst = 1e9;
    for (size_t start = 0; start + second <= captured.size(); start += second)
    {
        double signal = 0.0, noise = 0.0;
        for (size_t index = start; index < start + second; ++index)
        {
            const double wanted = gain * captured[index];
            signal += wanted * wanted;
            noise += (decoded[index] - wanted) * (decoded[index] - wanted);
        }
        worst = std::min(worst, 10.0 * std::log10(signal / noise));
    }
    return {20.0 * std::log10(gain), worst};
}

// Blocks of 441 and 300 frames run on their own thread at ten times real
// time while this thread pauses, resumes and stops: the file decodes to
// exactly the blocks that were captured, at LAME's own fidelity at 192
// kbit/s (measured 65-79 dB a second; a frame moved, lost or repeated at a
// chunk or at the resume would cost tens of dB).
TEST(RecorderEngineTest, FileHoldsExactlyTheCapturedBlocksThroughPauseAndStop)
{
    Fixture fixture;
    RecorderEngine& engine = fixture.engine;
    ASSERT_TRUE(engine.rec()) << engine.failure();
    std::vector<float> capturedLeft, capturedRight;
    std::atomic<bool> feeding{true};
    std::atomic<int> partialBlocks{0};
    std::thread audio(
        [&]
        {
            VibratoTone tone(44100.0);
            std::vector<float> left(441), right(441);
            for (int block = 0; feeding.load(); ++block)
            {
                const long frames = block % 2 == 0 ? 441 : 300;
                // A block not captured is offered again, so the captured
                // frames are one unbroken tone and a seam would show.
                const VibratoTone beforeBlock = tone;
                tone.fill(left.data(), right.data(), frames);
                float* in[] = {left.data(), right.data()};
                const uint64_t before = engine.capturedFrames();
                {
                    const realtime_trap::ScopedArm audioThread;
                    engine.process(in, nullptr, 2, 0, frames);
                }
                const uint64_t captured = engine.capturedFrames() - before;
                if (captured == static_cast<uint64_t>(frames))
                {
                    capturedLeft.insert(capturedLeft.end(), left.begin(), left.begin() + frames);
                    capturedRight.insert(capturedRight.end(), right.begin(),
                                         right.begin() + frames);
                }
                else
                {
                    tone = beforeBlock;
                    if (captured != 0)
                        partialBlocks.fetch_add(1);
                }
                std::this_thread::sleep_for(1ms);
            }
        });
    auto waitForSeconds = [&](double seconds)
    {
        while (engine.capturedFrames() < static_cast<uint64_t>(seconds * 44100))
            std::this_thread::sleep_for(1ms);
    };
    waitForSeconds(2.0);
    engine.pause();
    EXPECT_EQ(engine.state(), RecorderState::Paused);
    std::this_thread::sleep_for(30ms);
    engine.pause();
    EXPECT_EQ(engine.state(), RecorderState::Recording);
    waitForSeconds(6.0);
    engine.stop();
    feeding = false;
    audio.join();

    EXPECT_EQ(partialBlocks.load(), 0);
    EXPECT_EQ(engine.droppedFrames(), 0u);
    EXPECT_EQ(engine.failure(), "");
    EXPECT_EQ(engine.capturedFrames(), capturedLeft.size());
    const recorded::DecodedMp3 decoded = recorded::decode(fixture.onlyRecording());
    ASSERT_TRUE(decoded.ok);
    EXPECT_EQ(decoded.rate, 44100);
    ASSERT_EQ(decoded.frames(), capturedLeft.size());
    EXPECT_EQ(decoded.announcedFrames, static_cast<long long>(capturedLeft.size()));
    for (const auto& [side, captured, played] :
         {std::tuple{"left", &capturedLeft, &decoded.left},
          std::tuple{"right", &capturedRight, &decoded.right}})
    {
        SCOPED_TRACE(side);
        const Fidelity measured = fidelity(*played, *captured, 44100);
        EXPECT_NEAR(measured.gainDb, -0.265, 0.3);
        EXPECT_GE(measured.worstSnrDb, 55.0);
    }
    // The tag frame written over the start gives players the exact length.
    std::ifstream file(fixture.onlyRecording(), std::ios::binary);
    const std::string head(std::istreambuf_iterator<char>(file), {});
    EXPECT_EQ(static_cast<unsigned char>(head[0]), 0xFF);
    EXPECT_NE(head.substr(0, 200).find("Info"), std::string::npos);
}

// Rec, Pause and Stop in quick cycles against blocks that never stop (the
// hand-over a thread sanitizer run checks), all within a second or two:
// every recording has a file of its own that decodes to exactly the frames
// it captured, its last chunk partly filled (the first one's only chunk).
TEST(RecorderEngineTest, QuickCyclesAgainstRunningBlocksLoseNothing)
{
    Fixture fixture;
    RecorderEngine& engine = fixture.engine;
    std::vector<std::pair<std::string, uint64_t>> made;
    VibratoTone shortTone(44100.0);
    ASSERT_TRUE(engine.rec());
    feed(engine, shortTone, 500, 250);
    engine.stop();
    made.emplace_back(engine.filePath(), 500);
    std::atomic<bool> feeding{true};
    std::thread audio(
        [&]
        {
            VibratoTone tone(44100.0);
            while (feeding.load())
            {
                feed(engine, tone, 300, 300);
                std::this_thread::sleep_for(200us);
            }
        });
    for (int cycle = 0; cycle < 12; ++cycle)
    {
        ASSERT_TRUE(engine.rec());
        std::this_thread::sleep_for(std::chrono::milliseconds(1 + cycle % 4));
        engine.pause();
        std::this_thread::sleep_for(1ms);
        engine.pause();
        std::this_thread::sleep_for(std::chrono::milliseconds(cycle % 3));
        engine.stop();
        made.emplace_back(engine.filePath(), engine.capturedFrames());
    }
    feeding = false;
    audio.join();
    EXPECT_EQ(recorded::recordings(fixture.folder.folder()).size(), made.size());
    for (const auto& [path, captured] : made)
        EXPECT_EQ(recorded::decode(path).frames(), captured) << path;
}

// The encoder takes the device's rate at each Rec: a 1 kHz tone stays 1 kHz
// (taken as 44.1 kHz it would play at 918.75 Hz from 48 kHz, 459 Hz from
// 96 kHz), and LAME halves 96 kHz to 48 kHz.
TEST(RecorderEngineTest, RecordsAtTheDeviceRate)
{
    const std::pair<int, int> rates[] = {{44100, 44100}, {48000, 48000}, {96000, 48000}};
    for (const auto& [deviceRate, fileRate] : rates)
    {
        SCOPED_TRACE(deviceRate);
        Fixture fixture(deviceRate);
        ASSERT_TRUE(fixture.engine.rec());
        EXPECT_EQ(fixture.engine.fileRate(), fileRate);
        VibratoTone tone(deviceRate, false);
        feed(fixture.engine, tone, static_cast<size_t>(2 * deviceRate));
        fixture.engine.stop();
        const recorded::DecodedMp3 decoded = recorded::decode(fixture.onlyRecording());
        ASSERT_TRUE(decoded.ok);
        EXPECT_EQ(decoded.rate, fileRate);
        EXPECT_NEAR(static_cast<double>(decoded.frames()), 2.0 * deviceRate * fileRate / deviceRate,
                    1.0);
        EXPECT_NEAR(recorded::pitch(decoded.left, fileRate, fileRate / 4, fileRate * 7 / 4), 1000.0,
                    0.5);
    }
}

// A worker held up longer than the ring lasts: the frames that found no free
// chunk are counted and reported, and everything else is in the file.
TEST(RecorderEngineTest, StalledDiskDropsCountedFramesOnly)
{
    Fixture fixture;
    std::atomic<bool> stalled{true};
    fixture.engine.setBeforeEachChunk(
        [&]
        {
            while (stalled.load())
                std::this_thread::sleep_for(1ms);
        });
    ASSERT_TRUE(fixture.engine.rec());
    VibratoTone tone(44100.0);
    // 15 s: more than the ring's 512 chunks of 1152 frames (13.4 s).
    const size_t offered = 15 * 44100;
    feed(fixture.engine, tone, offered);
    stalled = false;
    fixture.engine.stop();
    const uint64_t dropped = fixture.engine.droppedFrames();
    EXPECT_GT(dropped, 0u);
    const recorded::DecodedMp3 decoded = recorded::decode(fixture.onlyRecording());
    ASSERT_TRUE(decoded.ok);
    EXPECT_EQ(decoded.frames() + dropped, offered);
    EXPECT_EQ(decoded.frames(), fixture.engine.capturedFrames());
    EXPECT_NE(fixture.engine.failure().find("were lost"), std::string::npos);
}

// A file that reaches the process's size limit (as a full disk would) stops
// the recording with the path and the system's reason, and what was written
// still plays. Run in a child process: the limit is process-wide.
TEST(RecorderEngineTest, FileSizeLimitIsReportedAndTheFileStaysPlayable)
{
    TemporaryFolder folder;
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0)
    {
        // 100 kB: about four seconds at 192 kbit/s.
        const rlimit limit{100000, 100000};
        setrlimit(RLIMIT_FSIZE, &limit);
        RecorderEngine engine;
        engine.setFolder(folder.folder());
        engine.prepare(44100.0);
        std::string report = "no recording";
        if (engine.rec())
        {
            VibratoTone tone(44100.0);
            for (int second = 0; second < 10 && !engine.failed(); ++second)
            {
                feed(engine, tone, 44100);
                std::this_thread::sleep_for(20ms);
            }
            for (int wait = 0; wait < 500 && !engine.failed(); ++wait)
                std::this_thread::sleep_for(10ms);
            engine.stop();
            report = engine.failure() + "|" + engine.filePath();
        }
        (void)!write(pipeEnds[1], report.data(), report.size());
        _exit(0);
    }
    close(pipeEnds[1]);
    std::string report;
    char buffer[512];
    for (ssize_t count; (count = read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
        report.append(buffer, static_cast<size_t>(count));
    close(pipeEnds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status)) << "the child died of signal " << WTERMSIG(status);

    const std::string path = report.substr(report.find('|') + 1);
    EXPECT_EQ(report.substr(0, report.find('|')),
              "Can not write " + path + ": " + std::strerror(EFBIG));
    const recorded::DecodedMp3 decoded = recorded::decode(path);
    EXPECT_TRUE(decoded.ok);
    EXPECT_GT(decoded.frames(), 3u * 44100u);
}

// A power cut or a kill -9 in the middle of a set: the file holds what was
// recorded up to within a second of the end, and decodes.
TEST(RecorderEngineTest, AKilledProgramLeavesAPlayableFileUpToTheLastSecond)
{
    TemporaryFolder folder;
    auto* fed = static_cast<std::atomic<uint64_t>*>(mmap(nullptr, sizeof(std::atomic<uint64_t>),
                                                         PROT_READ | PROT_WRITE,
                                                         MAP_SHARED | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(fed, MAP_FAILED);
    new (fed) std::atomic<uint64_t>(0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0)
    {
        RecorderEngine engine;
        engine.setFolder(folder.folder());
        engine.prepare(44100.0);
        if (!engine.rec())
            _exit(1);
        // At the device's pace: 4410 frames every 100 ms, until killed.
        VibratoTone tone(44100.0);
        for (auto next = std::chrono::steady_clock::now();; next += 100ms)
        {
            std::this_thread::sleep_until(next);
            feed(engine, tone, 4410, 441);
            fed->fetch_add(4410);
        }
    }
    std::this_thread::sleep_for(3s);
    const uint64_t fedAtKill = fed->load();
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    munmap(fed, sizeof(std::atomic<uint64_t>));
    ASSERT_TRUE(WIFSIGNALED(status));

    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder.folder()))
        files.push_back(entry.path().string());
    ASSERT_EQ(files.size(), 1u);
    const recorded::DecodedMp3 decoded = recorded::decode(files.front());
    EXPECT_GE(fedAtKill, 2u * 44100u);
    EXPECT_GE(decoded.frames() + 44100u, fedAtKill) << "more than a second lost";
    EXPECT_LE(decoded.frames(), fedAtKill + 4410u);
}

// Names from the start time; a name taken gets "-2", "-3" and the earlier
// file keeps its bytes.
TEST(RecorderEngineTest, NoRecordingIsEverReplaced)
{
    TemporaryFolder folder;
    setenv("TZ", "UTC", 1);
    tzset();
    const std::time_t start = 1774751400; // 2026-03-29 02:30:00 UTC
    RecordingFile first, second, third;
    ASSERT_EQ(first.create(folder.folder(), start), 0);
    const unsigned char bytes[] = {1, 2, 3};
    ASSERT_EQ(first.append(bytes, sizeof bytes), 0);
    ASSERT_EQ(first.finish(), 0);
    ASSERT_EQ(second.create(folder.folder(), start), 0);
    ASSERT_EQ(third.create(folder.folder(), start), 0);
    EXPECT_EQ(first.name(), "20260329023000.mp3");
    EXPECT_EQ(second.name(), "20260329023000-2.mp3");
    EXPECT_EQ(third.name(), "20260329023000-3.mp3");
    EXPECT_EQ(std::filesystem::file_size(first.path()), 3u);
}

// ±0.9999 × 32768 truncated is ±32764; NaN (a broken plug-in upstream) is
// silence. The feed is clamped in place; the meters read it before that.
TEST(RecorderEngineTest, SamplesClampNaNIsSilenceAndMetersReadTheFeed)
{
    const std::pair<float, short> conversions[] = {
        {2.0f, 32764},   {-2.0f, -32764}, {0.9999f, 32764},  {0.5f, 16384},
        {-0.5f, -16384}, {-1e-5f, 0},     {std::nanf(""), 0}};
    for (const auto& [sample, recorded] : conversions)
        EXPECT_EQ(RecorderEngine::toSixteenBits(sample), recorded) << sample;

    RecorderEngine engine;
    float left[] = {2.0f, -0.25f, std::nanf("")};
    float right[] = {-2.0f, 0.0f, 0.0f};
    float* in[] = {left, right};
    engine.process(in, nullptr, 2, 0, 3);
    EXPECT_FLOAT_EQ(left[0], 0.9999f);
    EXPECT_FLOAT_EQ(right[0], -0.9999f);
    EXPECT_EQ(left[2], 0.0f);
    EXPECT_NEAR(engine.leftPeakDb(), 20.0 * std::log10(2.0), 1e-4);
    EXPECT_NEAR(engine.rightPeakDb(), 20.0 * std::log10(2.0), 1e-4);
}

} // namespace
