// The player's whole chain in real time: the panel on mixer channel 3 through
// the amplifier on the JACK test server (dummy backend, 48000 Hz), output 1
// heard by a second JACK client, the real-time trap armed on every block.

#include "MP3ChainFixtures.h"
#include "engine/AmpRack.h"
#include "players/MP3Rack.h"
#include "support/JackCapture.h"
#include "support/RackTest.h"
#include "support/RealtimeTrap.h"
#include "support/UnitChain.h"

#include <QTest>

namespace
{

using MP3RackJackTest = testkit::RackTest;

TEST_F(MP3RackJackTest, PlayOnAllPlaysTheListThroughJackAtItsPitch)
{
    // Entry 1 (3.5 s at 44100 Hz) plays across the seam between the store's
    // first and second half and ends at its last frame; the 1.5 s of entry 2
    // follow as soon as it is loaded. Each starts with 100 ms of silence,
    // which parts them in the capture; 6.5 s hold both with room for the load.
    mp3test::TemporaryFolder files;
    const auto track = [&](const char* name, double seconds, double frequency)
    {
        const auto tone =
            mp3test::encodeTone(seconds, frequency, frequency, {.leadInSeconds = 0.1});
        return files.write(name, {tone.bytes});
    };
    CMP3Rack player;
    player.CreateControls();
    player.engine().addFiles({track("first.mp3", 3.5, 440.0), track("second.mp3", 1.5, 880.0)});
    testkit::UnitChain chain(player, MixerSourceTable::Mp3Player);
    CAmpRack amp;
    ASSERT_TRUE(chain.powerOn(amp, "JACK")) << amp.device().getErrorMessage();
    testkit::JackCapture capture(6 * 48000 + 24000);
    ASSERT_TRUE(capture.connectFrom("^Corvane[^:]*:out_1$"));

    realtime_trap::resetCounts();
    QCoreApplication::processEvents();
    player.playlistSelector().setitemindex(0); // "All": the whole list in order
    QTest::mouseClick(&player.playButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return capture.full(); }, 60000));
    amp.powerSwitch().SetStatus(false);
    amp.PowerOff();
    EXPECT_EQ(realtime_trap::violations(), 0u);
    EXPECT_EQ(player.engine().lateRefillCount(), 0u);
    EXPECT_TRUE(player.playAllSwitch().getStatus()) << "Play on \"All\" switches play-all on";
    if (capture.soundIsWhole())
        mp3test::expectTracks(capture.samples(), {{440.0, 3.5}, {880.0, 1.5}},
                              mp3test::decodedLevel * chain.outputGain(), true);
}

} // namespace
