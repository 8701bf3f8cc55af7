// The instrument engine's own port on JACK (dummy backend): notes from a
// second JACK client reach the sine synth exactly once each.

#include "TestPlugins.h"
#include "plugins/InstrumentEngine.h"
#include "support/JackMidiSender.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <thread>

namespace
{

TEST(InstrumentJackTest, NotesFromAnotherClientArriveOnce)
{
    testkit::JackMidiSender keyboard("corvane-keys");
    ASSERT_NE(keyboard.client, nullptr) << "the test JACK server is not running";
    InstrumentEngine engine;
    engine.loadPlugin(testplugins::path(testplugins::kSynth));
    engine.waitForLoads();
    engine.prepare(48000.0);
    ASSERT_TRUE(engine.openPort(keyboard.deviceIndex()));
    TestPluginCounts& synth = testplugins::counts(testplugins::kSynth);
    const int ons = synth.noteOns.load();

    constexpr int kNotes = 10;
    std::array<float, 256> left{}, right{};
    std::array<float*, 2> out{left.data(), right.data()};
    int sent = 0;
    for (int step = 0; step < 400 && synth.noteOns.load() - ons < kNotes; ++step)
    {
        if (sent < kNotes && keyboard.send({{0x90, static_cast<unsigned char>(60 + sent), 100},
                                            {0x80, static_cast<unsigned char>(60 + sent), 0}}))
            ++sent;
        engine.process(nullptr, out.data(), 0, 2, 256);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    // Anything late or doubled would arrive in the next 100 ms.
    for (int step = 0; step < 20; ++step)
    {
        engine.process(nullptr, out.data(), 0, 2, 256);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(synth.noteOns.load() - ons, kNotes);
    EXPECT_EQ(testplugins::allRuleBreaks(), 0);
}

} // namespace
