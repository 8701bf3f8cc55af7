// The MP3 player's engine driven block by block as the mixer would, with the
// real-time trap armed around every block: pitch, level and seams at every
// rate pair, transport rules, titles, late refills, threads; and the
// playlist's rules.

#include "players/MP3PlayerEngine.h"
#include "MP3TestFixtures.h"
#include "players/MP3StreamDecoder.h"
#include "support/RealtimeTrap.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>

namespace
{

constexpr size_t kBlock = 512;

struct Rendered
{
    std::vector<float> left, right;

    // Pitch, level and seams of both sides over frames [from, to).
    void expectTone(size_t from, size_t to, double rate, double leftHz, double rightHz) const
    {
        for (const auto& [side, frequency] : {std::pair{&left, leftHz}, std::pair{&right, rightHz}})
            EXPECT_EQ(mp3test::toneFaults(side->data() + from, to - from, 1, rate, frequency,
                                          mp3test::decodedLevel),
                      "")
                << "frames " << from << " to " << to;
    }
    bool silentFrom(size_t from) const
    {
        return std::all_of(left.begin() + static_cast<long>(from), left.end(),
                           [](float sample) { return sample == 0.0f; });
    }
};

class MP3PlayerEngineTest : public ::testing::Test
{
protected:
    void SetUp() override { realtime_trap::resetCounts(); }
    // Every block of every test: no allocation, free or lock on the audio thread.
    void TearDown() override { EXPECT_EQ(realtime_trap::violations(), 0u); }

    void start(double deviceRate, const std::vector<std::string>& files, int entry = -1)
    {
        engine = std::make_unique<MP3PlayerEngine>(unit);
        engine->prepare(deviceRate);
        unit.m_bRunning = unit.m_bRouted = true;
        engine->addFiles(files);
        if (entry >= 0)
            engine->selectEntry(entry);
        play();
    }

    void play()
    {
        engine->play();
        engine->waitUntilIdle();
    }

    std::string tone(double seconds, double leftHz, double rightHz,
                     const mp3test::EncodeOptions& options = {}, const mp3test::Bytes& before = {})
    {
        const std::string name = "tone" + std::to_string(++m_files) + ".mp3";
        return folder.write(name,
                            {before, mp3test::encodeTone(seconds, leftHz, rightHz, options).bytes});
    }

    // Plays blocks, letting the workers finish after each unless told not to;
    // with `untilEnd`, until the current entry stops or changes.
    Rendered render(size_t frames, bool untilEnd = false, bool waitForWorkers = true)
    {
        Rendered rendered;
        std::vector<float> left(kBlock), right(kBlock);
        float* outputs[2] = {left.data(), right.data()};
        const int entry = engine->currentIndex();
        while (rendered.left.size() < frames &&
               (!untilEnd || (engine->transportState() != MP3TransportState::Stopped &&
                              engine->currentIndex() == entry)))
        {
            const long count = static_cast<long>(std::min(kBlock, frames - rendered.left.size()));
            {
                const realtime_trap::ScopedArm audioThread;
                engine->process(nullptr, outputs, 0, 2, count);
            }
            rendered.left.insert(rendered.left.end(), left.begin(), left.begin() + count);
            rendered.right.insert(rendered.right.end(), right.begin(), right.begin() + count);
            if (waitForWorkers)
                engine->waitUntilIdle();
        }
        return rendered;
    }

    mp3test::TemporaryFolder folder;
    mp3test::StubRackUnit unit;
    std::unique_ptr<MP3PlayerEngine> engine;
    int m_files = 0;
};

TEST_F(MP3PlayerEngineTest, ConvertedRatesKeepPitchLevelAndLengthToTheLastHalf)
{
    struct Case
    {
        mp3test::EncodeOptions file;
        double deviceRate;
        mp3test::Bytes before;
    };
    // 8000 Hz on 96000 Hz converts at ratio 12, beyond the three-fold room of
    // a converted half; 22050 Hz is MPEG 2; behind 12000 bytes of junk the
    // tag reader sees no header (rate 0) and the decoder's rate decides;
    // behind a cover-art tag the tag reader finds the rate.
    const Case cases[] = {
        {{8000, 2, 24}, 96000.0, {}},
        {{22050, 2, 64}, 48000.0, {}},
        {{48000, 2, 128}, 44100.0, {}},
        {{32000, 2, 96}, 96000.0, {}},
        {{44100, 2, 128}, 48000.0, mp3test::junkBytes(12000)},
        {{44100, 2, 128},
         48000.0,
         mp3test::makeId3v2Tag({{"APIC", mp3test::randomBytes(200000, 5)}}, {.version = 4})}};
    for (const Case& pair : cases)
    {
        SCOPED_TRACE(testing::Message() << pair.file.sampleRate << " on " << pair.deviceRate);
        start(pair.deviceRate, {tone(6.0, 440.0, 550.0, pair.file, pair.before)});
        const Rendered rendered = render(30 * 48000, true);
        EXPECT_EQ(engine->transportState(), MP3TransportState::Stopped);
        EXPECT_EQ(engine->lateRefillCount(), 0u);
        // Neither cut nor stretched, within the decoder's 64 frames at the file rate.
        size_t end = rendered.left.size();
        while (end > 0 && std::abs(rendered.left[end - 1]) <= 0.05f)
            --end;
        EXPECT_NEAR(end, 6.0 * pair.deviceRate, pair.deviceRate / pair.file.sampleRate * 64);
        // The first half, the whole track across every seam, the last half.
        const auto margin = static_cast<size_t>(pair.deviceRate / 20);
        const auto twoSeconds = static_cast<size_t>(pair.deviceRate * 2);
        rendered.expectTone(margin, twoSeconds, pair.deviceRate, 440.0, 550.0);
        rendered.expectTone(margin, end - margin, pair.deviceRate, 440.0, 550.0);
        rendered.expectTone(end - twoSeconds, end - margin, pair.deviceRate, 440.0, 550.0);
    }
}

TEST_F(MP3PlayerEngineTest, UnconvertedPlaybackIsTheStreamSampleForSampleAcrossPauseAndStop)
{
    const std::string path = tone(3.5, 440.0, 660.0);
    MP3StreamDecoder decoder;
    decoder.adoptFile(std::fopen(path.c_str(), "rb"));
    decoder.begin();
    std::vector<float> reference(2 * 44100 * 4);
    reference.resize(decoder.decode(reference.data(), reference.size()).floatsWritten);
    ASSERT_EQ(reference.size(), 2u * 44100 * 7 / 2);
    const size_t frames = reference.size() / 2;
    const auto expectStream = [&](const Rendered& rendered, size_t offset, size_t count)
    {
        ASSERT_GE(rendered.left.size(), count);
        for (size_t frame = 0; frame < count; ++frame)
        {
            ASSERT_EQ(rendered.left[frame], reference[(offset + frame) * 2]) << offset + frame;
            ASSERT_EQ(rendered.right[frame], reference[(offset + frame) * 2 + 1]) << offset + frame;
        }
    };
    // 44101 Hz is within 1 Hz of the file's rate: not converted either.
    for (const double deviceRate : {44100.0, 44101.0})
    {
        SCOPED_TRACE(deviceRate);
        start(deviceRate, {path});
        expectStream(render(66150), 0, 66150); // 1.5 s
        EXPECT_NEAR(engine->leftPeakDb(), 20.0 * std::log10(mp3test::decodedLevel), 0.2);
        // Pause silences the output; Play with no new selection resumes
        // where it paused.
        engine->pause();
        EXPECT_TRUE(render(88200).silentFrom(0));
        EXPECT_FLOAT_EQ(engine->leftPeakDb(), -120.0f);
        engine->play();
        expectStream(render(44100), 66150, 44100);
        const Rendered rest = render(30 * 44100, true);
        expectStream(rest, 110250, frames - 110250);
        EXPECT_TRUE(rest.silentFrom(frames - 110250)) << "silence after the file";
        EXPECT_EQ(engine->displayedSeconds(), 0) << "the file ended and stopped";
        // The stop drained the decoder and rewound the file: Play starts the
        // same stream again from its first sample.
        play();
        expectStream(render(MP3HalfStore::halfFrames + 22050), 0, MP3HalfStore::halfFrames + 22050);
    }
}

TEST_F(MP3PlayerEngineTest, TransportRulesOfPlayStopAndPlayAll)
{
    // Each track's tone names it; the last two cannot play.
    const double toneOf[] = {0.0, 300.0, 500.0, 700.0};
    start(48000.0,
          {tone(2.0, 300.0, 300.0), tone(2.0, 500.0, 500.0), tone(2.0, 700.0, 700.0),
           folder.write("noise.mp3", {mp3test::randomBytes(50000, 3)}),
           folder.write("empty.mp3", {})},
          1);
    const auto expectTrack = [&](int index)
    {
        EXPECT_EQ(engine->currentIndex(), index);
        EXPECT_EQ(engine->transportState(), MP3TransportState::Playing);
        const Rendered rendered = render(24000);
        EXPECT_NEAR(rendered.left[0], 0.0f, 0.02f) << "from the start";
        rendered.expectTone(2400, 24000, 48000, toneOf[index], toneOf[index]);
    };
    // Play while playing acts only on a new selection; with play-all on,
    // replacing the playing track does not count as its end.
    engine->setPlayAll(true);
    render(48000);
    play();
    EXPECT_EQ(engine->elapsedSeconds(), 1) << "nothing restarted";
    engine->selectEntry(3);
    play();
    EXPECT_EQ(engine->title(), "tone3.mp3");
    expectTrack(3);

    // Stop in play-all mode does not advance; Play starts the same entry
    // again from its start, and its end then advances past the files that
    // cannot play, wrapping to the first.
    engine->stop();
    engine->waitUntilIdle();
    render(48000);
    EXPECT_EQ(engine->transportState(), MP3TransportState::Stopped);
    EXPECT_EQ(engine->currentIndex(), 3);
    play();
    expectTrack(3);
    render(20 * 48000, true);
    engine->waitUntilIdle();
    expectTrack(1);
    EXPECT_EQ(engine->selectedIndex(), 1);

    // Play while not running or not routed: the title shows, nothing plays,
    // and the next Play loads the file again.
    engine->stop();
    for (const auto& [running, routed] : {std::pair{true, false}, std::pair{false, true}})
    {
        unit.m_bRunning = running;
        unit.m_bRouted = routed;
        engine->selectEntry(2);
        play();
        EXPECT_EQ(engine->title(), "tone2.mp3");
        EXPECT_EQ(engine->transportState(), MP3TransportState::Stopped);
        EXPECT_TRUE(engine->selectionPending());
    }
    unit.m_bRunning = true;
    play();
    expectTrack(2);
    EXPECT_FALSE(engine->selectionPending());
}

TEST_F(MP3PlayerEngineTest, PlayAllGoesToTheNextTrackAtTheLastDecodedFrame)
{
    // Track 1 sounds on the left only, track 2 on the right only, so the end
    // of one and the start of the other are told apart however close.
    const auto oneSided = [&](const std::string& name, int sampleRate, bool left)
    {
        auto samples =
            mp3test::makeStereoTone(sampleRate, static_cast<size_t>(sampleRate), 440.0, 440.0, 0.5);
        for (size_t index = left ? 1 : 0; index < samples.size(); index += 2)
            samples[index] = 0.0f;
        return folder.write(name, {mp3test::encodeMp3(samples, {.sampleRate = sampleRate}).bytes});
    };
    const auto loud = [](float sample) { return std::abs(sample) > 0.05f; };
    // Unconverted, and converted to a device rate 44100 Hz files do not have.
    for (const double deviceRate : {44100.0, 48000.0})
    {
        SCOPED_TRACE(deviceRate);
        start(deviceRate, {oneSided("left.mp3", 44100, true), oneSided("right.mp3", 44100, false)},
              0);
        // The blocks wait for the workers: a load never takes longer than one.
        const Rendered rendered = render(static_cast<size_t>(1.8 * deviceRate));
        const auto lastLeft = static_cast<size_t>(
            std::find_if(rendered.left.rbegin(), rendered.left.rend(), loud).base() -
            rendered.left.begin());
        const auto firstRight =
            static_cast<size_t>(std::find_if(rendered.right.begin(), rendered.right.end(), loud) -
                                rendered.right.begin());
        EXPECT_EQ(engine->currentIndex(), 2);
        EXPECT_TRUE(engine->playAll()) << "Play on entry 0 (\"All\")";
        EXPECT_NEAR(lastLeft, deviceRate, 64) << "track 1 whole";
        // The rest of the block track 1 ended in, and the start of track 2.
        EXPECT_GT(firstRight, lastLeft);
        EXPECT_LT(firstRight - lastLeft, kBlock + 64) << "the gap between the tracks";
        EXPECT_EQ(mp3test::toneFaults(rendered.right.data() + firstRight + 2400, 21600, 1,
                                      deviceRate, 440.0, mp3test::decodedLevel),
                  "")
            << "track 2 from its start";
    }
}

TEST_F(MP3PlayerEngineTest, TitleComesFromTheTagsOrTheNameAndFilesThatCannotPlayShowFailed)
{
    // Every ID3v2 version and encoding is the tag reader's test; here the
    // choice: ID3v2, else ID3v1 (its Latin-1 shown as UTF-8), else the name.
    const mp3test::Bytes audio = mp3test::encodeTone(0.5, 440.0, 440.0).bytes;
    const mp3test::Bytes id3v1 = mp3test::makeId3v1Tag("Caf\xE9", "Kessa", "", "", "", 1, 0);
    const auto id3v2 = [](const char* secondId, const std::string& second)
    {
        return mp3test::makeId3v2Tag(
            {{"TPE1", mp3test::id3v2Text(1, "Żółw")}, {secondId, mp3test::id3v2Text(3, second)}});
    };
    mp3test::Bytes text;
    for (const char character : std::string("# Set list\n1. Opening\n2. Encore\n"))
        text.push_back(static_cast<unsigned char>(character));
    const std::pair<std::string, std::string> cases[] = {
        {folder.write("v2.mp3", {id3v2("TIT2", "東京 🌙"), audio, id3v1}), "Żółw-東京 🌙"},
        {folder.write("v1.mp3", {id3v2("TCON", "Rock"), audio, id3v1}), "Kessa-Café"},
        {folder.write("plain.mp3", {audio}), "plain.mp3"},
        {folder.write("empty.mp3", {}), "Failed"},
        {folder.write("noise.mp3", {mp3test::randomBytes(50000, 3)}), "Failed"},
        {folder.write("setlist.mp3", {text}), "Failed"},
        {folder.folder(), "Failed"},
        {folder.path("missing.mp3"), "Failed"},
    };
    std::vector<std::string> files;
    for (const auto& [path, shown] : cases)
        files.push_back(path);
    start(44100.0, files);
    for (size_t index = 0; index < files.size(); ++index)
    {
        SCOPED_TRACE(files[index]);
        engine->selectEntry(static_cast<int>(index) + 1);
        play();
        const bool failed = cases[index].second == "Failed";
        EXPECT_EQ(engine->title(), cases[index].second);
        EXPECT_EQ(engine->transportState(),
                  failed ? MP3TransportState::Stopped : MP3TransportState::Playing);
        EXPECT_EQ(render(4096).silentFrom(0), failed);
    }
    // With only such files left, play-all tries each once, then gives up.
    engine->selectEntry(1);
    for (int playable = 0; playable < 3; ++playable)
        engine->removeSelected();
    engine->setPlayAll(true);
    play();
    EXPECT_EQ(engine->title(), "Failed");
    EXPECT_EQ(engine->transportState(), MP3TransportState::Stopped);
    EXPECT_EQ(engine->currentIndex(), 5);
}

TEST_F(MP3PlayerEngineTest, LateRefillIsCountedAndPlaysSilenceAndAHeldWorkerStillShutsDown)
{
    start(44100.0, {tone(8.0, 440.0, 660.0)});
    engine->holdRefills(true);
    // Two halves play out; the first one is not refilled in time.
    const Rendered late = render(2 * MP3HalfStore::halfFrames + 4096, false, false);
    EXPECT_EQ(engine->lateRefillCount(), 1u);
    EXPECT_TRUE(late.silentFrom(2 * MP3HalfStore::halfFrames));
    EXPECT_EQ(engine->elapsedSeconds(), 5); // 230400 frames at 44100 Hz
    engine->holdRefills(false);
    engine->waitUntilIdle();
    render(44100).expectTone(0, 44100, 44100, 440.0, 660.0);
    EXPECT_EQ(engine->lateRefillCount(), 1u);

    // Destroyed with a refill pending behind the hold: the worker lets go
    // and is joined rather than waiting for a release that never comes.
    engine->holdRefills(true);
    render(MP3HalfStore::halfFrames + 4096, false, false);
    engine.reset();
}

TEST_F(MP3PlayerEngineTest, OperationsWhileAnAudioThreadRunsAndTeardownWhileBusy)
{
    // An audio thread pulls blocks without pause while the GUI side presses
    // buttons and the workers load, refill and advance: every hand-over is
    // exercised concurrently (the thread sanitizer build checks them).
    const std::string path = tone(1.0, 440.0, 660.0, {22050, 2, 64});
    start(48000.0, {path, path, path}, 0);
    std::atomic<bool> running{true};
    float largestSample = 0.0f;
    std::thread audio(
        [&]
        {
            std::vector<float> left(kBlock), right(kBlock);
            float* outputs[2] = {left.data(), right.data()};
            const realtime_trap::ScopedArm audioThread;
            while (running.load())
            {
                engine->process(nullptr, outputs, 0, 2, kBlock);
                for (float sample : left)
                    largestSample = std::max(largestSample, std::abs(sample));
                std::this_thread::yield();
            }
        });
    void (MP3PlayerEngine::*const presses[])() = {&MP3PlayerEngine::play, &MP3PlayerEngine::pause,
                                                  &MP3PlayerEngine::play, &MP3PlayerEngine::stop};
    for (int round = 0; round < 60; ++round)
    {
        (engine.get()->*presses[round % 4])();
        engine->selectEntry(1 + round % 3);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    engine->play();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    running.store(false);
    audio.join();
    EXPECT_GT(largestSample, 0.1f);
    EXPECT_LT(largestSample, 1.0f);

    // Destroyed while playing with refills pending, and while a load runs:
    // both stop and join their threads.
    render(130000, false, false);
    start(48000.0, {path});
    engine->play();
    engine.reset();
}

TEST(MP3PlaylistTest, FullAt49FilesRemoveInAllItsCases)
{
    using Names = std::vector<std::string>;
    const auto numbered = [](int count, const std::string& folder)
    {
        std::vector<std::string> paths;
        for (int index = 1; index <= count; ++index)
            paths.push_back(folder + "/track" + std::to_string(index) + ".mp3");
        return paths;
    };
    MP3Playlist playlist;
    EXPECT_EQ(playlist.removeSelected(), MP3Playlist::RemoveOutcome::Nothing);
    EXPECT_EQ(playlist.addFiles(numbered(30, "/music")), 30);
    EXPECT_EQ(playlist.addFiles(numbered(30, "/more")), 19);
    EXPECT_EQ(playlist.addFiles({"/x.mp3"}), 0);
    EXPECT_EQ(playlist.selectedIndex(), 49);
    EXPECT_EQ(playlist.names().back(), "track19.mp3");
    // Entry 0 ("All") selected: the whole list goes.
    playlist.setSelectedIndex(0);
    EXPECT_EQ(playlist.removeSelected(), MP3Playlist::RemoveOutcome::ClearedAll);
    EXPECT_EQ(playlist.names(), Names{"None"});

    // A middle entry: the ones after it move down. The selected last entry:
    // the selection moves to the new last one. The only entry: "None" again.
    playlist.addFiles(numbered(4, "/music"));
    playlist.setSelectedIndex(2);
    EXPECT_EQ(playlist.removeSelected(), MP3Playlist::RemoveOutcome::RemovedSelected);
    EXPECT_EQ(playlist.names(), (Names{"All", "track1.mp3", "track3.mp3", "track4.mp3"}));
    EXPECT_EQ(playlist.paths().back(), "/music/track4.mp3");
    playlist.setSelectedIndex(3);
    playlist.removeSelected();
    EXPECT_EQ(playlist.selectedIndex(), 2);
    playlist.removeSelected();
    playlist.removeSelected();
    EXPECT_EQ(playlist.names(), Names{"None"});
    EXPECT_EQ(playlist.selectedIndex(), 0);
}

} // namespace
