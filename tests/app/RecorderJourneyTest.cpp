// The recorder in the whole program: an MP3 player tone on mixer channel 3,
// the record feed taken from output pair 1 with its level knob turned up,
// the folder chosen in the real folder dialog, Rec for ten seconds on the
// Virtual Device at 48 kHz: the file decodes to the played tone at its pitch
// and level, exactly as many frames as the recorder captured, and its LAME
// tag announces that length. CORVANE_RECORDER_MINUTES=n adds the same
// journey n minutes long (not part of the usual run).

#include "MP3TestFixtures.h"
#include "app/CorvaneView.h"
#include "app/MainFrame.h"
#include "engine/AmpRack.h"
#include "mixer/MixerRack.h"
#include "players/MP3Rack.h"
#include "recorder/RecordedMp3.h"
#include "recorder/RecorderRack.h"
#include "skinkit/CKnob.h"
#include "support/WholeRack.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>

namespace
{

class RecorderJourney : public wholerack::WholeRackTest
{
protected:
    void recordThePlayedTone(int seconds);
};

void RecorderJourney::recordThePlayedTone(int seconds)
{
    constexpr int kRate = 48000;
    constexpr double kTone = 440.0;
    mp3test::writeFile(mediaPath("tone.mp3"),
                       mp3test::encodeTone(seconds + 4.0, kTone, kTone).bytes);
    const std::string folder = mediaPath("recordings");
    std::filesystem::create_directories(folder);
    start();
    auto* recorder = dynamic_cast<CRecorderRack*>(view().unit(rack::Recorder));
    ASSERT_NE(recorder, nullptr);

    // Channel 3 plays the MP3 player; its fader and masters 1-2 go up from
    // the keyboard; the record feed takes pair 1 at a level near 0 dB.
    ASSERT_TRUE(choose(mixer().sourceSelector(2), "MP3 Player"));
    typeToMainWindow(QString(20, 'e') + QString(20, 'i'));
    click(mixer().recordPairButton(0));
    ASSERT_TRUE(mixer().recordPairButton(0).getStatus());
    for (int notch = 0; notch < 200 && mixer().recordKnob().getvalue() < 100; ++notch)
        testkit::turnWheel(&mixer().recordKnob(), 120);
    const int recordLevel = mixer().recordKnob().getvalue();
    ASSERT_GE(recordLevel, 100);

    ASSERT_TRUE(typeIntoFileDialog(recorder->folderButton(), QString::fromStdString(folder)));
    ASSERT_EQ(recorder->engine().folder(), folder);
    ASSERT_TRUE(powerOn("Virtual Device", "48000HZ")) << amplifier().powerFailure().toStdString();
    ASSERT_TRUE(typeIntoFileDialog(mp3Player().openButton(), quotedPaths({mediaPath("tone.mp3")})));
    ASSERT_TRUE(choose(mp3Player().playlistSelector(), "tone.mp3"));
    click(mp3Player().playButton());
    waitMs(500);

    click(recorder->recButton());
    EXPECT_TRUE(recorder->recordingLamp().getlightened()) << recorder->lastMessage().toStdString();
    waitMs(seconds * 1000);
    // The counter shows the captured whole seconds, refreshed every 250 ms;
    // a loaded machine may hold one refresh back.
    const int shown =
        recorder->minutesDisplay().getvalue() * 60 + recorder->secondsDisplay().getvalue();
    const double captured = static_cast<double>(recorder->engine().capturedFrames()) / kRate;
    EXPECT_LE(shown, captured);
    EXPECT_LT(captured - shown, 1.5);
    click(recorder->stopButton());
    EXPECT_EQ(recorder->fileNameDisplay().text(), "No File");
    click(mp3Player().stopButton());
    powerOff();
    EXPECT_EQ(recorder->lastMessage(), "");

    const auto files = recorded::recordings(folder);
    ASSERT_EQ(files.size(), 1u);
    const recorded::DecodedMp3 decoded = recorded::decode(files.front());
    ASSERT_TRUE(decoded.ok);
    EXPECT_EQ(decoded.rate, kRate);
    EXPECT_EQ(decoded.frames(), recorder->engine().capturedFrames());
    EXPECT_EQ(decoded.announcedFrames, static_cast<long long>(decoded.frames()));
    // The Virtual Device's clock may fall behind the wall clock a little on
    // a busy machine (measured 1.2 s in 10 minutes with two compilers running).
    EXPECT_NEAR(static_cast<double>(decoded.frames()) / kRate, seconds, 0.5 + 0.003 * seconds);
    EXPECT_EQ(recorder->engine().droppedFrames(), 0u);
    for (const std::vector<float>* side : {&decoded.left, &decoded.right})
    {
        // Pitch, and level from the RMS, over the middle eight seconds.
        const size_t first = kRate, last = decoded.frames() - kRate;
        EXPECT_NEAR(recorded::pitch(*side, kRate, first, last), kTone, 0.5);
        double power = 0.0;
        for (size_t frame = first; frame < last; ++frame)
            power += (*side)[frame] * (*side)[frame];
        const double level = std::sqrt(2.0 * power / static_cast<double>(last - first));
        const MixerGainLaws& laws = mixer().engine().gainLaws();
        // The player's tone through trim, fader, centre pan and the record
        // level; LAME at 192 kbit/s lowers a tone by 0.265 dB.
        const double expected = mp3test::decodedLevel * laws.trim(0) * laws.fader(100) *
                                laws.panLeft(50) * laws.fader(recordLevel) *
                                std::pow(10.0, -0.265 / 20.0);
        EXPECT_NEAR(20.0 * std::log10(level / expected), 0.0, 0.3);
    }
}

TEST_F(RecorderJourney, TenSecondsOfThePlayedToneAtPitchLevelAndLength)
{
    recordThePlayedTone(10);
}

TEST_F(RecorderJourney, LongRecordingOnRequest)
{
    const char* minutes = std::getenv("CORVANE_RECORDER_MINUTES");
    if (minutes == nullptr)
        GTEST_SKIP() << "set CORVANE_RECORDER_MINUTES to record that long";
    recordThePlayedTone(60 * std::atoi(minutes));
}

} // namespace
