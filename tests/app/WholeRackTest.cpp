// Corvane as a person uses it, in one process: the real window and rack,
// driven through the panels' widgets, the selectors' menus, the keyboard and
// the real file dialog, heard through the Virtual Device's WAV file.

#include "support/WholeRack.h"
#include "PlaylistJourney.h"
#include "app/CorvaneView.h"
#include "app/MainFrame.h"
#include "engine/AmpRack.h"
#include "mixer/MixerRack.h"
#include "players/MP3Rack.h"
#include "skinkit/CMCombo.h"
#include "support/JackCapture.h"
#include "utilkit/Ini.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <cstdio>

namespace
{

using wholerack::WholeRackTest;

using journey::kFirstTrack;
using journey::kSecondTrack;

TEST_F(WholeRackTest, PlaylistPlaysThroughChannelThreeAtPitchAndLevel)
{
    journey::writeTracks(mediaPath(kFirstTrack), mediaPath(kSecondTrack));
    start();

    // The journey: channel 3 takes the MP3 player, its fader and masters 1-2
    // go up from the keyboard, power on, two files through the Open dialog.
    ASSERT_TRUE(choose(mixer().sourceSelector(2), "MP3 Player"));
    typeToMainWindow(QString(20, 'e') + QString(20, 'i'));
    EXPECT_EQ(mixer().channelFader(2).getvalue(), 100);
    EXPECT_EQ(mixer().masterSlider(0).getvalue(), 100);
    EXPECT_EQ(mixer().masterSlider(1).getvalue(), 100);
    ASSERT_TRUE(powerOn("Virtual Device", "48000HZ")) << amplifier().powerFailure().toStdString();

    const std::string mixerBefore = mixerSnapshot();
    ASSERT_TRUE(typeIntoFileDialog(mp3Player().openButton(),
                                   quotedPaths({mediaPath(kFirstTrack), mediaPath(kSecondTrack)})));
    EXPECT_EQ(mixerSnapshot(), mixerBefore) << "typing in the dialog moved the mixer";
    ASSERT_EQ(mp3Player().playlistSelector().getcount(), 3);

    click(mp3Player().playAllSwitch());
    ASSERT_TRUE(choose(mp3Player().playlistSelector(), kFirstTrack));
    click(mp3Player().playButton());
    waitMs(200);
    EXPECT_TRUE(mp3Player().playingLamp().getlightened());
    // Both tracks and a little of the wrap back to the first.
    waitMs(4200);
    click(mp3Player().stopButton());
    powerOff();

    // What the device played: both tracks at pitch and level, whole.
    const wholerack::Recording played = wholerack::readWav(deviceOutput());
    ASSERT_EQ(played.sampleRate, 48000);
    ASSERT_EQ(played.channels.size(), 4u);
    for (size_t side : {0u, 1u})
    {
        SCOPED_TRACE(side == 0 ? "output 1" : "output 2");
        journey::expectPlayed(played.channels[side], mixer().engine().gainLaws());
    }
    for (size_t output : {2u, 3u})
        for (float sample : played.channels[output])
            ASSERT_EQ(sample, 0.0f) << "output " << output + 1 << " is not routed";

    // Exit keeps the mixer and the playlist; a restart brings them back.
    ASSERT_TRUE(closeAnswering(true));
    const CIni settings(settingsPath());
    EXPECT_EQ(settings.GetInt("Mixer", "source3", -1), 1);
    EXPECT_EQ(settings.GetInt("Mixer", "fader3", -1), 100);
    EXPECT_EQ(settings.GetInt("Mixer", "bus1", -1), 100);
    EXPECT_EQ(settings.GetInt("MP3", "count", -1), 2);
    EXPECT_EQ(settings.GetString("MP3", "list1", ""), mediaPath(kFirstTrack));
    start();
    EXPECT_EQ(mixer().channelFader(2).getvalue(), 100);
    EXPECT_EQ(mp3Player().playlistSelector().getcount(), 3);
}

TEST_F(WholeRackTest, DialogsMenusAndQuestionsKeepTheirKeys)
{
    start();
    const std::string mixerBefore = mixerSnapshot();

    // A path typed into the Open dialog, then Escape: the dialog closes, the
    // mixer has not moved and nothing was added.
    bool escaped = false;
    QTimer::singleShot(0,
                       [&]
                       {
                           QTest::qWait(50);
                           auto* dialog =
                               qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
                           if (dialog == nullptr)
                               return;
                           dialog->activateWindow();
                           EXPECT_TRUE(QTest::qWaitForWindowActive(dialog));
                           QWidget* focused = QApplication::focusWidget();
                           if (focused == nullptr)
                               focused = dialog;
                           QTest::keyClicks(focused, "/stage/qwerty-uiop");
                           QTest::keyClick(focused, Qt::Key_Escape);
                           escaped = !dialog->isVisible();
                           if (!escaped)
                               dialog->reject();
                       });
    click(mp3Player().openButton());
    EXPECT_TRUE(escaped) << "Escape did not close the Open dialog";
    EXPECT_EQ(mixerSnapshot(), mixerBefore);
    EXPECT_EQ(mp3Player().playlistSelector().getcount(), 1);

    // A selector's menu takes the arrows and Return (choose() fails otherwise).
    EXPECT_TRUE(choose(mixer().sourceSelector(3), "MP3 Player"));
    // The exit question takes its keys: No keeps Corvane open.
    EXPECT_FALSE(closeAnswering(false));
    // The rack's own keys still act in the main window.
    typeToMainWindow("ww");
    EXPECT_EQ(mixer().channelFader(1).getvalue(), 10);
}

TEST_F(WholeRackTest, PlaylistPlaysOnJackAtTheServersRate)
{
    journey::writeTracks(mediaPath(kFirstTrack), mediaPath(kSecondTrack));
    start();
    ASSERT_TRUE(choose(mixer().sourceSelector(2), "MP3 Player"));
    typeToMainWindow(QString(20, 'e') + QString(20, 'i'));

    // The test JACK server runs at 48000 Hz; the user asked for 44100.
    ASSERT_TRUE(powerOn("JACK", "44100HZ")) << amplifier().powerFailure().toStdString();
    CMCombo& rate = amplifier().rateSelector();
    EXPECT_EQ(rate.itemText(rate.getitemindex()), "48000HZ");
    EXPECT_FLOAT_EQ(mp3Player().GetSampleRate(), 48000.0f);

    // Another JACK client hears output 1, as a recorder on the server would.
    testkit::JackCapture capture(5 * 48000);
    ASSERT_TRUE(capture.connectFrom("^Corvane[^:]*:out_1$"));
    ASSERT_TRUE(typeIntoFileDialog(mp3Player().openButton(),
                                   quotedPaths({mediaPath(kFirstTrack), mediaPath(kSecondTrack)})));
    click(mp3Player().playAllSwitch());
    ASSERT_TRUE(choose(mp3Player().playlistSelector(), kFirstTrack));
    click(mp3Player().playButton());
    ASSERT_TRUE(QTest::qWaitFor([&] { return capture.full(); }, 20000)) << "JACK heard nothing";
    click(mp3Player().stopButton());
    powerOff();
    if (capture.soundIsWhole())
        journey::expectPlayed(capture.samples(), mixer().engine().gainLaws());
    else
        std::printf("The capture missed %zu server cycles: its recording is not checked.\n",
                    capture.missedCycles());

    // The user's own choice comes back at power off, and stays stored.
    EXPECT_EQ(rate.itemText(rate.getitemindex()), "44100HZ");
    EXPECT_EQ(CIni(settingsPath()).GetInt("amp", "samplerate", -1), 0);
}

} // namespace
