// The loop player in the whole program: channel 3 takes the loop player, its
// fader and masters 1-2 go up from the keyboard; each slot gets a file of
// another format through the real file dialog, its key selects it, Space
// plays it on the Virtual Device at 48 kHz and Space stops it. Every slot
// loops a half-second tone of whole periods, so the seams must not show: the
// device output is a steady tone at the slot's pitch and level. (Not Opus:
// libsndfile's Opus encoder garbles a file's last 10 ms, a seam the file
// itself carries; the engine test takes Opus files.)

#include "app/CorvaneView.h"
#include "app/MainFrame.h"
#include "engine/AmpRack.h"
#include "mixer/MixerRack.h"
#include "players/LoopRack.h"
#include "support/WholeRack.h"
#include "utilkit/Ini.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTest>
#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <numbers>

namespace
{

class LoopPlayerJourney : public wholerack::WholeRackTest
{
protected:
    CLoopRack& loopPlayer() { return *dynamic_cast<CLoopRack*>(view().unit(rack::LoopPlayer)); }
};

struct Slot
{
    const char* name;
    int format;
    int rate;
    double frequency; // even, so half a second holds whole periods
    const char* key;
    double levelTolerance; // lossy codecs shift the level a little
    double maxJump;        // the tone's own recurrence error after conversion and coding
};

constexpr double kAmplitude = 0.5;

TEST_F(LoopPlayerJourney, EachSlotKeyThenSpacePlaysItsLoopWithoutAClick)
{
    const Slot loopFiles[] = {
        {"one.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 44100, 440.0, "z", 0.01, 0.02},
        {"two.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 48000, 480.0, "x", 0.01, 0.01},
        {"three.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 22050, 600.0, "c", 0.01, 0.02},
        {"four.au", SF_FORMAT_AU | SF_FORMAT_FLOAT, 96000, 720.0, "v", 0.01, 0.02},
        {"five.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 44100, 800.0, "b", 0.05, 0.05},
        {"six.voc", SF_FORMAT_VOC | SF_FORMAT_PCM_16, 44100, 880.0, "n", 0.01, 0.02},
    };
    for (const Slot& slot : loopFiles)
    {
        const size_t frames = static_cast<size_t>(slot.rate / 2);
        testkit::Recording tone{slot.rate, {std::vector<float>(frames)}};
        for (size_t frame = 0; frame < frames; ++frame)
            tone.channels[0][frame] =
                static_cast<float>(kAmplitude * std::sin(2.0 * std::numbers::pi * slot.frequency *
                                                         static_cast<double>(frame) / slot.rate));
        ASSERT_TRUE(testkit::writeSoundFile(mediaPath(slot.name), tone, slot.format)) << slot.name;
    }

    start();
    ASSERT_TRUE(choose(mixer().sourceSelector(2), "Loop Player"));
    typeToMainWindow(QString(20, 'e') + QString(20, 'i'));
    const MixerGainLaws& laws = mixer().engine().gainLaws();
    const double level =
        kAmplitude * laws.trim(0) * laws.fader(100) * laws.panLeft(50) * laws.fader(100);

    for (int index = 0; index < 6; ++index)
    {
        const Slot& slot = loopFiles[index];
        SCOPED_TRACE(slot.name);
        ASSERT_TRUE(typeIntoFileDialog(loopPlayer().loadButton(index),
                                       QString::fromStdString(mediaPath(slot.name))));
        EXPECT_EQ(loopPlayer().selectBox(index).text(), slot.name);
        ASSERT_TRUE(powerOn("Virtual Device", "48000HZ"))
            << amplifier().powerFailure().toStdString();
        typeToMainWindow(slot.key);
        EXPECT_EQ(loopPlayer().engine().currentSlot(), index);
        typeToMainWindow(" ");
        EXPECT_TRUE(loopPlayer().playButton().getStatus());
        waitMs(1300);
        typeToMainWindow(" ");
        EXPECT_FALSE(loopPlayer().engine().playing());
        powerOff();

        const wholerack::Recording played = wholerack::readWav(deviceOutput());
        ASSERT_EQ(played.channels.size(), 4u);
        const auto stretches = testkit::soundingStretches(played.channels[0]);
        ASSERT_EQ(stretches.size(), 1u) << "one unbroken stretch of sound";
        // Past the converter's onset, and short of the stop; over two seams at least.
        const size_t from = stretches[0].first + 4800;
        const size_t to = stretches[0].second - 4800;
        ASSERT_GT(to, from + 48000);
        EXPECT_EQ(testkit::toneFaults(played.channels[0].data() + from, to - from, 1, 48000.0,
                                      slot.frequency, level, 0.05, slot.levelTolerance,
                                      slot.maxJump),
                  "");
    }

    // The slots are kept at exit.
    ASSERT_TRUE(closeAnswering(true));
    const CIni settings(settingsPath());
    EXPECT_EQ(settings.GetInt("Loop", "curch", -1), 5);
    EXPECT_EQ(settings.GetString("Loop", "ch0", ""), mediaPath("one.flac"));
    EXPECT_TRUE(settings.GetBool("Loop", "ch5ready", false));
}

TEST_F(LoopPlayerJourney, HeldSpaceTogglesOnce)
{
    ASSERT_TRUE(
        testkit::writeWav(mediaPath("held.wav"), {48000, {std::vector<float>(24000, 0.25f)}}));
    start();
    ASSERT_TRUE(choose(mixer().sourceSelector(2), "Loop Player"));
    ASSERT_TRUE(typeIntoFileDialog(loopPlayer().loadButton(0),
                                   QString::fromStdString(mediaPath("held.wav"))));
    ASSERT_TRUE(powerOn("Virtual Device", "48000HZ"));
    typeToMainWindow("z");
    // A held key repeats as further presses marked auto-repeat.
    QTest::keyPress(&frame(), Qt::Key_Space);
    for (int repeat = 0; repeat < 5; ++repeat)
    {
        QKeyEvent autoRepeat(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, " ", true);
        QApplication::sendEvent(&frame(), &autoRepeat);
    }
    QTest::keyRelease(&frame(), Qt::Key_Space);
    EXPECT_TRUE(loopPlayer().engine().playing()) << "six presses, five of them repeats";
    powerOff();
}

} // namespace
