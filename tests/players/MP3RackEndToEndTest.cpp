// MP3 playback end to end: the panel on mixer channel 3 through the Virtual
// Device at 48000 Hz, whose WAV output file is measured.

#include "MP3ChainFixtures.h"

#include <sndfile.h>

#include <atomic>

namespace
{

using MP3RackEndToEndTest = mp3test::PanelTest;

constexpr double kLeadIn = 0.1;

TEST_F(MP3RackEndToEndTest, PlayAllPlaysEachEntryAtItsPitchFromTheFirstHalfToTheLastAndWraps)
{
    const std::string wavPath = m_files.path("device-output.wav");
    setenv("CORVANE_VIRTUAL_FAST", "1", 1);
    setenv("CORVANE_VIRTUAL_BLOCK_SIZE", "256", 1);
    setenv("CORVANE_VIRTUAL_OUTPUT_FILE", wavPath.c_str(), 1);
    unsetenv("CORVANE_VIRTUAL_OUTPUTS");
    CMP3Rack player;
    player.CreateControls();
    // Seven seconds at 44100 Hz span three halves of the store at 48000 Hz.
    // Each file starts with 100 ms of silence, which parts the tracks.
    openFiles(player, {encodeFile("first.mp3", 7.0, 440.0, 660.0, {}, kLeadIn),
                       encodeFile("second.mp3", 1.5, 880.0, 880.0, {}, kLeadIn)});
    mp3test::MixerChain chain(player, true);
    EXPECT_TRUE(player.m_bRouted) << "channel 3 selects the MP3 player";
    // Once the list has wrapped to entry 1, it sounds for 100 blocks and is
    // then stopped as a remote Stop would (from another thread).
    MP3PlayerEngine& engine = player.engine();
    bool reachedSecond = false;
    long blocksSinceWrap = 0;
    std::atomic<bool> stopped{false};
    chain.afterBlock = [&]
    {
        reachedSecond |= engine.currentIndex() == 2;
        if (!stopped.load() && reachedSecond && engine.currentIndex() == 1 &&
            engine.playingLampLit() && ++blocksSinceWrap == 100)
        {
            player.Stop();
            stopped.store(true);
        }
    };
    CAmpRack amp;
    ASSERT_TRUE(chain.powerOn(amp, "Virtual Device"));
    EXPECT_TRUE(player.m_bRunning);

    realtime_trap::resetCounts();
    player.playlistSelector().setitemindex(0); // "All"
    QTest::mouseClick(&player.playButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return stopped.load(); }, 60000));
    amp.powerSwitch().SetStatus(false);
    amp.PowerOff(); // the WAV file is complete
    unsetenv("CORVANE_VIRTUAL_OUTPUT_FILE");
    EXPECT_EQ(realtime_trap::allocations() + realtime_trap::deallocations(), 0u);
    EXPECT_EQ(realtime_trap::blockingLocks(), 0u);
    EXPECT_EQ(engine.lateRefillCount(), 0u);
    QCoreApplication::processEvents();
    EXPECT_TRUE(player.playAllSwitch().getStatus()) << "Play on \"All\" turns play-all on";
    EXPECT_EQ(player.playlistSelector().getitemindex(), 1);

    SF_INFO info{};
    SNDFILE* file = sf_open(wavPath.c_str(), SFM_READ, &info);
    ASSERT_NE(file, nullptr);
    ASSERT_GE(info.channels, 2);
    std::vector<float> interleaved(static_cast<size_t>(info.frames * info.channels));
    sf_readf_float(file, interleaved.data(), info.frames);
    sf_close(file);
    std::vector<float> left, right;
    for (size_t index = 0; index < interleaved.size(); index += static_cast<size_t>(info.channels))
    {
        left.push_back(interleaved[index]);
        right.push_back(interleaved[index + 1]);
    }
    mp3test::expectTracks(left, {{440.0, 7.0}, {880.0, 1.5}, {440.0, 0}}, chain.outputLevel());
    mp3test::expectTracks(right, {{660.0, 7.0}, {880.0, 1.5}, {660.0, 0}}, chain.outputLevel());
    // Between the tracks only the next file's lead-in, and the rest of the
    // block the last one ended in (the blocks wait for the loader).
    const auto stretches = mp3test::soundingStretches(left);
    for (size_t next = 1; next < stretches.size(); ++next)
        EXPECT_NEAR(static_cast<double>(stretches[next].first - stretches[next - 1].second),
                    kLeadIn * 48000 + 128, 256)
            << "before track " << next + 1;
}

} // namespace
