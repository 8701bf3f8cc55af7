// The sound-effect pads as a DJ plays them: eight sounds loaded through the
// real file dialog, fired with keys 1-8 over a playing MP3, heard through the
// Virtual Device's WAV file.

#include "PlaylistJourney.h"
#include "app/CorvaneView.h"
#include "app/MainFrame.h"
#include "engine/AmpRack.h"
#include "mixer/MixerRack.h"
#include "players/MP3Rack.h"
#include "players/SoundFxRack.h"
#include "skinkit/CMCombo.h"
#include "support/WholeRack.h"

#include <cmath>
#include <numbers>

namespace
{

using wholerack::WholeRackTest;

constexpr int kPadRate = 44100;
constexpr int kDeviceRate = 48000;
constexpr long kBlock = 256; // the harness's Virtual Device block
constexpr double kPadLevel = 0.2;
constexpr double kPadSeconds = 0.2;

// Pad i's tone: a whole number of cycles in 0.2 s, so it starts and ends at 0.
double padFrequency(int pad)
{
    return 1200.0 + 250.0 * pad;
}

void writePad(const std::string& path, int pad)
{
    testkit::writeWav(path,
                      {kPadRate,
                       {testkit::makeSine(kPadRate, static_cast<size_t>(kPadRate * kPadSeconds),
                                          padFrequency(pad), kPadLevel)}});
}

// The amplitude of one frequency in samples[begin, begin + count).
double amplitudeAt(const std::vector<float>& samples, size_t begin, size_t count, double frequency)
{
    double re = 0, im = 0;
    for (size_t n = 0; n < count; ++n)
    {
        const double phase =
            2 * std::numbers::pi * frequency * static_cast<double>(n) / kDeviceRate;
        re += samples[begin + n] * std::cos(phase);
        im += samples[begin + n] * std::sin(phase);
    }
    return 2 * std::hypot(re, im) / static_cast<double>(count);
}

double largestStep(const std::vector<float>& samples, size_t begin, size_t end)
{
    double step = 0;
    for (size_t n = std::max<size_t>(begin, 1); n < end; ++n)
        step = std::max(step, static_cast<double>(std::abs(samples[n] - samples[n - 1])));
    return step;
}

class SoundFxJourneyTest : public WholeRackTest
{
protected:
    CSoundFxRack& pads() { return *view().soundFx(); }
    // The device's block that is playing now.
    uint32_t blockNow() { return amplifier().engine().blockCount(); }
};

TEST_F(SoundFxJourneyTest, EightPadsFireFromTheKeysOverAPlayingMp3)
{
    journey::writeTracks(mediaPath(journey::kFirstTrack), mediaPath(journey::kSecondTrack));
    for (int pad = 0; pad < 8; ++pad)
        writePad(mediaPath("pad" + std::to_string(pad + 1) + ".wav"), pad);
    start();

    // Channel 3 plays the MP3, channel 4 the pads; faders and masters 1-2 up.
    ASSERT_TRUE(choose(mixer().sourceSelector(2), "MP3 Player"));
    ASSERT_TRUE(choose(mixer().sourceSelector(3), "SoundFX"));
    typeToMainWindow(QString(20, 'e') + QString(20, 'r') + QString(20, 'i'));
    for (int pad = 0; pad < 8; ++pad)
    {
        ASSERT_TRUE(typeIntoFileDialog(
            pads().loadButton(pad),
            QString::fromStdString(mediaPath("pad" + std::to_string(pad + 1) + ".wav"))));
        EXPECT_EQ(pads().padText(pad).text(), QString("pad%1").arg(pad + 1));
    }
    ASSERT_TRUE(powerOn("Virtual Device", "48000HZ")) << amplifier().powerFailure().toStdString();

    ASSERT_TRUE(typeIntoFileDialog(mp3Player().openButton(),
                                   quotedPaths({mediaPath(journey::kFirstTrack)})));
    ASSERT_TRUE(choose(mp3Player().playlistSelector(), journey::kFirstTrack));
    click(mp3Player().playButton());
    waitMs(400);

    // Keys 1-8 over the music, 150 ms apart (each pad sounds 200 ms).
    std::vector<uint32_t> keyBlocks;
    for (int pad = 0; pad < 8; ++pad)
    {
        keyBlocks.push_back(blockNow());
        typeToMainWindow(QString::number(pad + 1));
        waitMs(150);
    }
    // Once the MP3 has ended, key 3 alone: when it sounds can be read exactly.
    waitMs(1200);
    const uint32_t lastKeyBlock = blockNow();
    typeToMainWindow("3");
    waitMs(400);
    powerOff();

    const wholerack::Recording played = wholerack::readWav(deviceOutput());
    ASSERT_EQ(played.sampleRate, kDeviceRate);
    const std::vector<float>& left = played.channels[0];
    const MixerGainLaws& laws = mixer().engine().gainLaws();
    const double padGain = laws.trim(0) * laws.fader(100) * laws.panLeft(50) * laws.fader(100);
    const double expected = kPadLevel * padGain;

    // Key 3 sounds within one block of the key, and at its level.
    const size_t keyFrame = static_cast<size_t>(lastKeyBlock) * kBlock;
    ASSERT_LT(keyFrame + 2 * kBlock + kDeviceRate / 10, left.size());
    size_t onset = keyFrame > 4 * kBlock ? keyFrame - 4 * kBlock : 0;
    while (onset < left.size() && left[onset] == 0.0f)
        ++onset;
    EXPECT_GE(onset + kBlock, keyFrame) << "sounded before the key";
    EXPECT_LT(onset, keyFrame + 2 * kBlock) << "sounded later than the next block";
    EXPECT_NEAR(amplitudeAt(left, onset + 480, 4800, padFrequency(2)), expected, expected * 0.06);

    // Every pad over the MP3: at its level, no trigger lost.
    for (int pad = 0; pad < 8; ++pad)
    {
        SCOPED_TRACE("pad " + std::to_string(pad + 1));
        const size_t from = static_cast<size_t>(keyBlocks[static_cast<size_t>(pad)] + 2) * kBlock;
        EXPECT_NEAR(amplitudeAt(left, from + 2400, 4800, padFrequency(pad)), expected,
                    expected * 0.06);
    }

    // No click: no sample steps further than the sounding tones can move
    // between two samples (the MP3 alone measured before the first key, plus
    // two pads at their fastest).
    const size_t firstKey = static_cast<size_t>(keyBlocks.front()) * kBlock;
    const double mp3Step = largestStep(left, firstKey - kDeviceRate / 4, firstKey);
    const double padStep = 2 * std::numbers::pi * padFrequency(7) / kDeviceRate * expected;
    EXPECT_LT(largestStep(left, firstKey, left.size()), (mp3Step + 2 * padStep) * 1.1);
}

} // namespace
