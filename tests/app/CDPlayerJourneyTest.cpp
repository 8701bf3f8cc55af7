// The CD player in the whole program: a disc image named in the environment,
// the player on mixer channel 3, the track dragged to 2 on its selector, Play:
// the device's output 1 holds the track from its first frame to its last at
// its pitch and level, at pitch 100 and again at pitch 150, on the Virtual
// Device and on JACK.

#include "app/CorvaneView.h"
#include "app/MainFrame.h"
#include "engine/AmpRack.h"
#include "mixer/MixerRack.h"
#include "players/CDRack.h"
#include "support/CDImages.h"
#include "support/JackCapture.h"
#include "support/WholeRack.h"

#include <QTest>
#include <cstdio>
#include <gtest/gtest.h>

namespace
{

constexpr int kRate = 48000;

class CDPlayerJourney : public wholerack::WholeRackTest
{
protected:
    // Drags a display upwards by `steps` (one step per mouse move).
    static void dragUp(QWidget& display, int steps)
    {
        const QPoint centre(display.width() / 2, display.height() / 2);
        drag(display, centre, centre - QPoint(0, steps), steps);
    }

    // Channel 3 takes the CD player, fader and masters 1-2 go up from the
    // keyboard, the track selector is dragged to 2.
    CCDRack* startWithTrackTwoOnChannelThree()
    {
        start();
        auto* player = dynamic_cast<CCDRack*>(view().unit(rack::CDPlayer));
        if (player == nullptr || !player->engine().hasDrive() ||
            !choose(mixer().sourceSelector(2), "CD Player"))
            return nullptr;
        typeToMainWindow(QString(20, 'e') + QString(20, 'i'));
        dragUp(player->trackSelector(), 1);
        return player->trackSelector().getvalue() == 2 ? player : nullptr;
    }

    // The pitch switch on and the display dragged from 100 to 150.
    static void setPitch150(CCDRack& player)
    {
        click(player.pitchSwitch());
        dragUp(player.pitchDisplay(), 50);
        EXPECT_EQ(player.pitchDisplay().getvalue(), 150);
    }

    double expectedLevel()
    {
        const MixerGainLaws& laws = mixer().engine().gainLaws();
        return 0.5 * 32767.0 / 32768.0 * laws.trim(0) * laws.fader(100) * laws.panLeft(50) *
               laws.fader(100);
    }

    // Presses Play and waits for the lamp to go out by itself.
    void playToTheEnd(CCDRack& player)
    {
        click(player.playButton());
        EXPECT_TRUE(QTest::qWaitFor([&] { return player.playingLamp().getlightened(); }, 2000));
        EXPECT_TRUE(QTest::qWaitFor([&] { return !player.playingLamp().getlightened(); }, 6000))
            << "the track did not end by itself";
        waitMs(100);
    }

    // On the Virtual Device at 48 kHz: output 1.
    std::vector<float> playOnVirtualDevice(CCDRack& player)
    {
        EXPECT_TRUE(powerOn("Virtual Device", "48000HZ"))
            << amplifier().powerFailure().toStdString();
        playToTheEnd(player);
        powerOff();
        const wholerack::Recording played = wholerack::readWav(deviceOutput());
        return played.channels.empty() ? std::vector<float>{} : played.channels[0];
    }

    // While powered on the test JACK server (48 kHz): what another client
    // hears on out_1.
    // A capture that missed a server cycle holds a hole that is not the
    // player's, so the track is played again, up to three times; empty when
    // no capture was whole.
    std::vector<float> playOnJack(CCDRack& player)
    {
        for (int attempt = 0; attempt < 3; ++attempt)
        {
            testkit::JackCapture capture(3 * kRate);
            EXPECT_TRUE(capture.connectFrom("^Corvane[^:]*:out_1$"));
            playToTheEnd(player);
            if (capture.soundIsWhole())
                return capture.samples();
            std::printf("The capture missed %zu server cycles.\n", capture.missedCycles());
        }
        return {};
    }

    void expectTrack(const std::vector<float>& output, double speed, double level)
    {
        // The channel's equaliser leaves a tail far below one 16-bit step.
        const auto sounds = [](float sample) { return std::abs(sample) > 1.0f / 32768.0f; };
        size_t first = 0, last = output.size();
        while (first < output.size() && !sounds(output[first]))
            ++first;
        while (last > first && !sounds(output[last - 1]))
            --last;
        // 163 blocks of 588 frames at 44.1 kHz, played at 48 kHz and `speed`.
        EXPECT_NEAR(static_cast<double>(last - first), 163.0 * 588 * kRate / 44100.0 / speed, 2.0);
        EXPECT_EQ(testkit::toneFaults(output.data() + first + 64, last - first - 128, 1, kRate,
                                      1000.0 * speed, level, 0.05, 0.01, 0.02),
                  "");
    }
};

TEST_F(CDPlayerJourney, TrackOfADiscImagePlaysWholeOnTheVirtualDevice)
{
    testkit::TemporaryFolder media;
    const testkit::CdImage image = testkit::writeStandardCdImage(media);
    const testkit::ScopedEnvironment disc(CD_DEVICE_VARIABLE, image.cuePath);
    CCDRack* player = startWithTrackTwoOnChannelThree();
    ASSERT_NE(player, nullptr);
    {
        SCOPED_TRACE("pitch 100");
        expectTrack(playOnVirtualDevice(*player), 1.0, expectedLevel());
        EXPECT_EQ(player->currentTrackDisplay().getvalue(), 2);
    }
    {
        SCOPED_TRACE("pitch 150");
        setPitch150(*player);
        expectTrack(playOnVirtualDevice(*player), 2.0, expectedLevel());
    }
}

TEST_F(CDPlayerJourney, TrackOfADiscImagePlaysWholeOnJack)
{
    testkit::TemporaryFolder media;
    const testkit::CdImage image = testkit::writeStandardCdImage(media);
    const testkit::ScopedEnvironment disc(CD_DEVICE_VARIABLE, image.cuePath);
    CCDRack* player = startWithTrackTwoOnChannelThree();
    ASSERT_NE(player, nullptr);
    // One power-on for both, as a set is played.
    ASSERT_TRUE(powerOn("JACK", "48000HZ")) << amplifier().powerFailure().toStdString();
    for (const double speed : {1.0, 2.0})
    {
        SCOPED_TRACE(speed == 1.0 ? "pitch 100" : "pitch 150");
        if (speed == 2.0)
            setPitch150(*player);
        const std::vector<float> heard = playOnJack(*player);
        if (!heard.empty())
            expectTrack(heard, speed, expectedLevel());
    }
    powerOff();
}

} // namespace
