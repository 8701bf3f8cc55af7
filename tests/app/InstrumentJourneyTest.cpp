// A keyboard player in the whole program: picks the keyboard's port (a JACK
// MIDI client of the test) on the instrument rack, loads the project's sine
// synth in the real file dialog, selects the instrument on mixer channels 3
// and 4, powers on the Virtual Device and plays A4, then C5 with the
// transpose at +12 for note 60. Each note comes out of the outputs at its
// pitch, at twice one channel's level (both channels get the one block the
// instrument renders; rendering twice would play it at twice the pitch).

#include "TestPlugins.h"
#include "app/CorvaneView.h"
#include "app/MainFrame.h"
#include "engine/AmpRack.h"
#include "mixer/MixerRack.h"
#include "plugins/VSTiRack.h"
#include "support/JackMidiSender.h"
#include "support/PanelChecks.h"
#include "support/WholeRack.h"
#include "utilkit/Ini.h"

#include <QTest>
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

namespace
{

using InstrumentJourney = wholerack::WholeRackTest;

constexpr int kRate = 48000;
constexpr double kSynthPeak = 100.0 / 254.0; // velocity 100

TEST_F(InstrumentJourney, NotesOnTheSelectedPortComeOutOfTheMixerAtTheirPitch)
{
    testkit::JackMidiSender keyboard("corvane-keyboard");
    ASSERT_NE(keyboard.client, nullptr) << "the test JACK server is not running";
    ASSERT_EQ(testplugins::allRuleBreaks(), 0);
    start();
    auto* instrument = dynamic_cast<CVSTiRack*>(view().unit(rack::Instrument));
    ASSERT_NE(instrument, nullptr);
    EXPECT_EQ(instrument->nameDisplay().text(), "No synth");
    ASSERT_TRUE(choose(instrument->portSelector(), "JACK: corvane-keyboard:out"));
    ASSERT_TRUE(typeIntoFileDialog(instrument->loadButton(),
                                   QString::fromStdString(testplugins::path(testplugins::kSynth))));
    ASSERT_TRUE(testkit::waitFor([&] { return instrument->nameDisplay().text() == "Test Sine"; }));

    ASSERT_TRUE(choose(mixer().sourceSelector(2), "VSTi"));
    ASSERT_TRUE(choose(mixer().sourceSelector(3), "VSTi"));
    typeToMainWindow(QString(20, 'e') + QString(20, 'r') + QString(20, 'i'));
    ASSERT_TRUE(powerOn("Virtual Device", "48000HZ")) << amplifier().powerFailure().toStdString();
    waitMs(200);
    auto play = [&](unsigned char note)
    {
        EXPECT_TRUE(keyboard.send({{0x90, note, 100}}));
        waitMs(500);
        EXPECT_TRUE(keyboard.send({{0x80, note, 0}}));
        waitMs(300);
    };
    play(69);
    instrument->transposeDisplay().setvalue(12);
    play(60);
    powerOff();

    const wholerack::Recording played = wholerack::readWav(deviceOutput());
    ASSERT_EQ(played.sampleRate, kRate);
    const std::vector<float>& left = played.channels[0];
    const MixerGainLaws& laws = mixer().engine().gainLaws();
    const double level =
        2.0 * kSynthPeak * laws.trim(0) * laws.fader(100) * laws.panLeft(50) * laws.fader(100);
    const auto stretches = testkit::soundingStretches(left);
    ASSERT_EQ(stretches.size(), 2u);
    const double pitches[] = {440.0, 523.25};
    for (size_t note = 0; note < 2; ++note)
    {
        SCOPED_TRACE(pitches[note]);
        const auto [begin, end] = stretches[note];
        // About 0.5 s each; measured over 0.2 s from 0.1 s in.
        EXPECT_NEAR(static_cast<double>(end - begin) / kRate, 0.5, 0.1);
        EXPECT_EQ(testkit::toneFaults(left.data() + begin + kRate / 10, kRate / 5, 1, kRate,
                                      pitches[note], level, 0.05, 0.01, 0.1),
                  "");
    }
    EXPECT_EQ(testplugins::allRuleBreaks(), 0);
}

// A Debian instrument (the plucked-string synth of dpf-plugins-vst) played
// from JACK MIDI through the whole program: a held A3 sounds until PANIC,
// whose note-offs end it.
TEST_F(InstrumentJourney, ADebianInstrumentPlaysUntilPanic)
{
    const std::string synth = "/usr/lib/vst/Kars-vst.so";
    if (!std::filesystem::exists(synth))
        GTEST_SKIP() << "dpf-plugins-vst is not installed";
    testkit::JackMidiSender keyboard("corvane-keyboard");
    ASSERT_NE(keyboard.client, nullptr) << "the test JACK server is not running";
    start();
    auto* instrument = dynamic_cast<CVSTiRack*>(view().unit(rack::Instrument));
    ASSERT_NE(instrument, nullptr);
    ASSERT_TRUE(choose(instrument->portSelector(), "JACK: corvane-keyboard:out"));
    instrument->loadInstrument(QString::fromStdString(synth));
    instrument->engine().waitForLoads();
    waitMs(100);
    ASSERT_EQ(instrument->engine().state(), InstrumentEngine::State::Playing);
    ASSERT_TRUE(choose(mixer().sourceSelector(2), "VSTi"));
    typeToMainWindow(QString(20, 'e') + QString(20, 'i'));
    ASSERT_TRUE(powerOn("Virtual Device", "48000HZ")) << amplifier().powerFailure().toStdString();
    waitMs(200);
    EXPECT_TRUE(keyboard.send({{0x90, 57, 127}}));
    waitMs(400);
    click(instrument->panicButton());
    waitMs(1000);
    powerOff();

    const wholerack::Recording played = wholerack::readWav(deviceOutput());
    ASSERT_FALSE(played.channels.empty());
    const std::vector<float>& left = played.channels[0];
    const auto rmsOver = [&](size_t begin, size_t count)
    {
        double sum = 0.0;
        for (size_t frame = begin; frame < begin + count && frame < left.size(); ++frame)
            sum += static_cast<double>(left[frame]) * left[frame];
        return std::sqrt(sum / static_cast<double>(count));
    };
    size_t onset = 0;
    while (onset < left.size() && std::fabs(left[onset]) < 1e-3f)
        ++onset;
    ASSERT_LT(onset + kRate / 5, left.size()) << "the instrument did not sound";
    const double sounding = rmsOver(onset, kRate / 10);
    EXPECT_GT(sounding, 0.01);
    // The last 0.2 s, well after the panic: below -40 dB of the note.
    EXPECT_LT(rmsOver(left.size() - kRate / 5, kRate / 5), sounding / 100.0);
}

} // namespace
