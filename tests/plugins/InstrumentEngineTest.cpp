// The instrument rack's engine, headless, with the project's sine synth
// (peak velocity/254: velocity 100 is RMS 100/254/√2 = 0.2784; it ignores
// All Sound Off and All Notes Off, so only note-offs silence it). The test
// thread plays the MIDI delivery thread. Pitches are measured by zero
// crossings; no allocation or lock on the audio thread; no rule break
// counted by any test plug-in.

#include "plugins/InstrumentEngine.h"
#include "TestPlugins.h"
#include "support/RealtimeTrap.h"
#include "support/Tones.h"
#include "utilkit/midi/ShortMsg.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

namespace
{

using testkit::rms;

constexpr double kRate = 48000.0;
// 0.1 s: 44 periods of A4, enough for RMS within 1e-3 and for crossings.
constexpr long kFrames = 4800;
constexpr double kVelocity100Rms = 100.0 / 254.0 / std::numbers::sqrt2;

class InstrumentEngineTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(testplugins::allRuleBreaks(), 0);
        load(testplugins::kSynth);
        engine.prepare(kRate);
    }
    void TearDown() override { EXPECT_EQ(testplugins::allRuleBreaks(), 0); }

    void load(const char* plugin)
    {
        engine.loadPlugin(testplugins::path(plugin));
        engine.waitForLoads();
    }
    void send(int status, int data1, int data2 = 0)
    {
        engine.receiver().ReceiveMsg(midi::CShortMsg::Pack(static_cast<unsigned char>(status),
                                                           static_cast<unsigned char>(data1),
                                                           static_cast<unsigned char>(data2)),
                                     0);
    }

    // Blocks of `frames` into left/right, the audio thread armed.
    void run(long frames = kFrames, long block = 256)
    {
        left.assign(static_cast<size_t>(frames), 0.7f);
        right.assign(static_cast<size_t>(frames), 0.7f);
        realtime_trap::resetCounts();
        for (long done = 0; done < frames; done += block)
        {
            std::array<float*, 2> in{nullptr, nullptr};
            std::array<float*, 2> out{left.data() + done, right.data() + done};
            const realtime_trap::ScopedArm arm;
            engine.process(in.data(), out.data(), 0, 2, std::min(block, frames - done));
        }
        EXPECT_EQ(realtime_trap::violations(), 0u);
    }
    // A tone of velocity 100 at `frequency` on the left side.
    std::string toneFaults(double frequency) const
    {
        return testkit::toneFaults(left.data() + 256, left.size() - 256, 1, kRate, frequency,
                                   100.0 / 254.0, 0.05, 0.01, 0.1);
    }

    InstrumentEngine engine;
    TestPluginCounts& synth = testplugins::counts(testplugins::kSynth);
    std::vector<float> left, right;
};

TEST_F(InstrumentEngineTest, VelocityHundredSoundsOnBothSidesUntilItsNoteOff)
{
    EXPECT_EQ(engine.displayText(), "Test Sine");
    EXPECT_EQ(synth.lastBlockSize.load(), InstrumentEngine::kPluginBlockSize);
    send(0x90, 69, 100);
    run();
    EXPECT_NEAR(rms(left), kVelocity100Rms, 1e-3);
    EXPECT_NEAR(rms(right), kVelocity100Rms, 1e-3);
    EXPECT_EQ(toneFaults(440.0), "");
    send(0x80, 69, 0);
    run();
    EXPECT_EQ(rms(left), 0.0);
    EXPECT_EQ(rms(right), 0.0);
}

// Which note the plug-in gets, by channel, transpose and history.
TEST_F(InstrumentEngineTest, TransposeMapsNotesAndTheirNoteOffs)
{
    // +12: note 60 plays C5 (523.25 Hz).
    engine.setTranspose(12);
    send(0x90, 60, 100);
    run();
    EXPECT_EQ(synth.lastNote.load(), 72);
    EXPECT_EQ(toneFaults(523.25), "");
    // The transpose changes while the note is held: its note-off still
    // reaches note 72 (a note-off for 60 - 5 would leave it sounding).
    engine.setTranspose(-5);
    send(0x80, 60, 0);
    run();
    EXPECT_EQ(rms(left), 0.0);
    // The key struck twice with no note-off between, the transpose moved in
    // between: one note-off ends both notes it sent.
    send(0x90, 60, 100);
    run();
    engine.setTranspose(0);
    send(0x90, 60, 100);
    send(0x80, 60, 0);
    run();
    run();
    EXPECT_EQ(rms(left), 0.0);

    struct Case
    {
        int transpose;
        int status;
        int note;
        int sentNote; // -1: nothing reaches the plug-in
    };
    const Case cases[] = {
        {12, 0x90, 120, -1},                     // 132 is no MIDI note: dropped, on and off
        {-12, 0x91, 5, -1},  {12, 0x99, 60, 60}, // channel 10 (drums) is never transposed
        {-3, 0x9F, 64, 61},  {0, 0x90, 127, 127},
    };
    for (const Case& test : cases)
    {
        SCOPED_TRACE(test.note);
        engine.setTranspose(test.transpose);
        const int ons = synth.noteOns.load();
        const int offs = synth.noteOffs.load();
        send(test.status, test.note, 100);
        run(512);
        send(test.status & 0x8F, test.note, 0); // its note-off
        run(512);
        const int sent = test.sentNote >= 0 ? 1 : 0;
        EXPECT_EQ(synth.noteOns.load() - ons, sent);
        EXPECT_EQ(synth.noteOffs.load() - offs, sent);
        if (sent)
        {
            EXPECT_EQ(synth.lastNote.load(), test.sentNote);
        }
        EXPECT_EQ(rms(left), 0.0);
    }
    // Control changes from the port never reach the plug-in.
    const int controls = synth.controlChanges.load();
    send(0xB0, 7, 100);
    run(256);
    EXPECT_EQ(synth.controlChanges.load(), controls);
}

// Panic ends notes on several channels of a synth that ignores the
// controllers: one note-off per held note, then 2 controllers × 16 channels.
TEST_F(InstrumentEngineTest, PanicSilencesEveryHeldNote)
{
    send(0x90, 60, 100);
    send(0x90, 64, 100);
    send(0x93, 67, 90);
    send(0x99, 36, 127);
    run(512);
    ASSERT_GT(rms(left), 0.1);
    const int offs = synth.noteOffs.load();
    const int controls = synth.controlChanges.load();
    engine.panic();
    run();
    EXPECT_EQ(rms(left), 0.0);
    EXPECT_EQ(rms(right), 0.0);
    EXPECT_EQ(synth.noteOffs.load() - offs, 4);
    EXPECT_EQ(synth.controlChanges.load() - controls, 32);
    // A transpose change sends All Sound Off on all 16 channels.
    engine.allSoundOff();
    run(256);
    EXPECT_EQ(synth.controlChanges.load() - controls, 48);
    // A note held through power-off, its key released meanwhile, is
    // released at the next power-on.
    send(0x90, 69, 100);
    run(256);
    engine.prepare(0.0);
    send(0x80, 69, 0);
    engine.prepare(kRate);
    run();
    EXPECT_EQ(rms(left), 0.0);
}

// Presets reach the plug-in as bank select MSB, LSB and program change on
// their channel; system exclusive data is passed on.
TEST_F(InstrumentEngineTest, PresetsAndSystemExclusiveReachThePlugin)
{
    engine.sendPreset(3, 1, 2, 42);
    std::array<unsigned char, 6> sysex{0xF0, 0x7E, 0x7F, 0x06, 0x01, 0xF7};
    engine.receiver().ReceiveMsg(sysex.data(), sysex.size(), 0);
    const int sysexEvents = synth.sysexEvents.load();
    run(256);
    EXPECT_EQ(synth.lastBankMsb.load(), 1);
    EXPECT_EQ(synth.lastBankLsb.load(), 2);
    EXPECT_EQ(synth.lastProgram.load(), 42);
    EXPECT_EQ(synth.lastProgramChannel.load(), 2);
    EXPECT_EQ(synth.sysexEvents.load() - sysexEvents, 1);
}

// The synth loads at 44100 Hz; power-on at 48000 Hz suspends it, sets the
// rate and resumes it: A4 still plays at 440 Hz.
TEST_F(InstrumentEngineTest, RateChangeKeepsPitch)
{
    InstrumentEngine fresh;
    fresh.loadPlugin(testplugins::path(testplugins::kSynth));
    fresh.waitForLoads();
    EXPECT_EQ(synth.lastSampleRate.load(), 44100.0f);
    fresh.prepare(kRate);
    EXPECT_EQ(synth.lastSampleRate.load(), 48000.0f);
    fresh.receiver().ReceiveMsg(midi::CShortMsg::Pack(0x90, 69, 100), 0);
    std::vector<float> out(kFrames);
    std::array<float*, 2> outputs{out.data(), out.data()};
    fresh.process(nullptr, outputs.data(), 0, 1, kFrames);
    EXPECT_EQ(testkit::toneFaults(out.data() + 256, out.size() - 256, 1, kRate, 440.0,
                                  100.0 / 254.0, 0.05, 0.01, 0.1),
              "");
}

// What the display says and what sounds, by what was loaded.
TEST_F(InstrumentEngineTest, EffectsAndBrokenLibrariesStaySilent)
{
    struct Case
    {
        const char* plugin;
        InstrumentEngine::State state;
        const char* text;
    };
    const Case cases[] = {
        {testplugins::kGain, InstrumentEngine::State::NotASynth, "Not a synth"},
        {testplugins::kThrows, InstrumentEngine::State::Failed, "Failed"},
        {testplugins::kNoEntry, InstrumentEngine::State::Failed, "Failed"},
    };
    for (const Case& test : cases)
    {
        SCOPED_TRACE(test.plugin);
        load(test.plugin);
        EXPECT_EQ(engine.state(), test.state);
        EXPECT_EQ(engine.displayText(), test.text);
        EXPECT_EQ(engine.playingPath(), "");
        send(0x90, 69, 100);
        run(512);
        EXPECT_EQ(rms(left), 0.0);
    }
}

// 1000 notes a second from the MIDI thread while the audio thread runs
// 64-frame blocks: every note arrives once, nothing is dropped, and the
// audio thread neither allocates nor locks.
TEST_F(InstrumentEngineTest, ThousandNotesASecondOnTheAudioThread)
{
    constexpr int kNotes = 1000;
    const int ons = synth.noteOns.load();
    std::atomic<bool> done{false};
    std::thread midiThread(
        [&]
        {
            for (int note = 0; note < kNotes; ++note)
            {
                const auto key = static_cast<unsigned char>(36 + note % 48);
                engine.receiver().ReceiveMsg(midi::CShortMsg::Pack(0x90, key, 100), 0);
                engine.receiver().ReceiveMsg(midi::CShortMsg::Pack(0x80, key, 0), 0);
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            done = true;
        });
    std::array<float, 64> leftBlock{}, rightBlock{};
    std::array<float*, 2> out{leftBlock.data(), rightBlock.data()};
    realtime_trap::resetCounts();
    auto block = [&]
    {
        const realtime_trap::ScopedArm arm;
        engine.process(nullptr, out.data(), 0, 2, 64);
    };
    while (!done)
    {
        block();
        std::this_thread::sleep_for(std::chrono::microseconds(300));
    }
    midiThread.join();
    block();
    EXPECT_EQ(realtime_trap::violations(), 0u);
    EXPECT_EQ(synth.noteOns.load() - ons, kNotes);
    EXPECT_EQ(engine.droppedEvents(), 0u);
}

} // namespace
