#include "mixer/MixerEngine.h"
#include "mixer/MixerGainLaws.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace
{

// A unit that logs each rate it is told, and whether any unit of the table
// was already running at that moment.
class RateLoggingUnit : public RackProcessor
{
public:
    RateLoggingUnit(std::string name, std::vector<std::string>& log,
                    const std::vector<RateLoggingUnit*>& everyUnit)
        : m_name(std::move(name)), m_log(log), m_everyUnit(everyUnit)
    {
    }
    void Process(float**, float**, long, long, long) override {}
    void SetSampleRate(float rate) override
    {
        RackProcessor::SetSampleRate(rate);
        bool anyRunning = false;
        for (const RateLoggingUnit* unit : m_everyUnit)
            anyRunning = anyRunning || unit->m_bRunning.load();
        m_log.push_back(m_name + (anyRunning ? " (after a running flag)" : ""));
    }

private:
    std::string m_name;
    std::vector<std::string>& m_log;
    const std::vector<RateLoggingUnit*>& m_everyUnit;
};

class MixerRoutingTest : public ::testing::Test
{
protected:
    MixerRoutingTest()
    {
        everyUnit = {&mp3, &cd, &vsti, &effect, &recorder, &loop, &pads};
        engine.SetSources(&mp3, &cd, &vsti, &effect, &recorder, &loop, &pads);
    }
    void select(int channelNumber, int item)
    {
        engine.controls().channels[channelNumber - 1].source = item;
        engine.UpdateRouting();
    }

    std::vector<std::string> log;
    std::vector<RateLoggingUnit*> everyUnit;
    RateLoggingUnit mp3{"mp3", log, everyUnit};
    RateLoggingUnit cd{"cd", log, everyUnit};
    RateLoggingUnit vsti{"vsti", log, everyUnit};
    RateLoggingUnit effect{"effect", log, everyUnit};
    RateLoggingUnit recorder{"recorder", log, everyUnit};
    RateLoggingUnit loop{"loop", log, everyUnit};
    RateLoggingUnit pads{"pads", log, everyUnit};
    MixerEngine engine;
};

} // namespace

TEST_F(MixerRoutingTest, SetSourcesFillsTheTableInItsOwnOrder)
{
    const MixerSourceTable& table = engine.sourceTable();
    EXPECT_EQ(table.entry(0), nullptr);
    EXPECT_EQ(table.entry(MixerSourceTable::Mp3Player), &mp3);
    EXPECT_EQ(table.entry(MixerSourceTable::CdPlayer), &cd);
    EXPECT_EQ(table.entry(MixerSourceTable::Instrument), &vsti);
    EXPECT_EQ(table.entry(MixerSourceTable::LoopPlayer), &loop);
    EXPECT_EQ(table.entry(MixerSourceTable::SoundEffects), &pads);
    EXPECT_EQ(table.entry(MixerSourceTable::DualEffect), &effect);
    EXPECT_EQ(table.entry(MixerSourceTable::Recorder), &recorder);
    EXPECT_EQ(table.entry(8), nullptr);
    EXPECT_EQ(table.entry(-1), nullptr);
}

TEST_F(MixerRoutingTest, SelectorsMarkUnitsRoutedAndUnrouted)
{
    effect.m_bRouted = true;
    recorder.m_bRouted = true;
    select(3, MixerSourceTable::Mp3Player);
    EXPECT_TRUE(mp3.m_bRouted);
    EXPECT_FALSE(cd.m_bRouted);
    // The effect rack, which no selector offers, ends unrouted; the
    // recorder's flag is not the mixer's to touch.
    EXPECT_FALSE(effect.m_bRouted);
    EXPECT_TRUE(recorder.m_bRouted);

    // Still routed while another stereo channel selects it.
    select(7, MixerSourceTable::Mp3Player);
    select(3, MixerSourceTable::None);
    EXPECT_TRUE(mp3.m_bRouted);
    select(7, MixerSourceTable::SoundEffects);
    EXPECT_FALSE(mp3.m_bRouted);
    EXPECT_TRUE(pads.m_bRouted);

    // Mono selectors name device inputs, not units.
    select(1, 1);
    EXPECT_FALSE(mp3.m_bRouted);
    // An item outside the selector's list routes nothing.
    select(4, 6);
    EXPECT_FALSE(effect.m_bRouted);
}

TEST_F(MixerRoutingTest, RunningRateReachesTheSevenUnitsInOrderBeforeAnyRunningFlag)
{
    engine.SetSampleRate(48000.0f);
    const std::vector<std::string> expected{"effect", "recorder", "mp3", "cd",
                                            "vsti",   "loop",     "pads"};
    EXPECT_EQ(log, expected);
    for (RateLoggingUnit* unit : everyUnit)
    {
        EXPECT_EQ(unit->GetSampleRate(), 48000.0f);
        EXPECT_TRUE(unit->m_bRunning);
    }

    // Stopping only clears the flags; the units keep their rate.
    log.clear();
    engine.SetSampleRate(0.0f);
    EXPECT_TRUE(log.empty());
    for (RateLoggingUnit* unit : everyUnit)
    {
        EXPECT_FALSE(unit->m_bRunning);
        EXPECT_EQ(unit->GetSampleRate(), 48000.0f);
    }
}

TEST_F(MixerRoutingTest, EmptyEntriesAreSkipped)
{
    MixerEngine lonely;
    RateLoggingUnit onlyCd{"cd", log, everyUnit};
    lonely.SetSources(nullptr, &onlyCd, nullptr, nullptr, nullptr, nullptr, nullptr);
    lonely.controls().channels[2].source = MixerSourceTable::Mp3Player; // empty entry
    lonely.SetSampleRate(44100.0f);
    EXPECT_EQ(log, std::vector<std::string>{"cd"});
    EXPECT_TRUE(onlyCd.m_bRunning);
    std::vector<float> left(64), right(64);
    std::array<float*, 2> out{left.data(), right.data()};
    lonely.Process(nullptr, out.data(), 0, 2, 64); // no unit to call: silence
    EXPECT_EQ(left[0], 0.0f);
}

TEST(MixerGainLawsTest, TablesHoldTheLawsExactly)
{
    const MixerGainLaws laws;
    EXPECT_EQ(laws.fader(0), 0.0f);
    EXPECT_EQ(laws.fader(100), 1.0f);
    // Below 30 a line from silence: 10^(-4/3) x p / 30.
    EXPECT_NEAR(laws.fader(29), 0.04486869, 1e-8);
    EXPECT_NEAR(laws.fader(29), 0.0448694, 1e-6);
    EXPECT_NEAR(laws.fader(30), 0.0681292f, 5e-8);
    // A third of a dB per step from 30 to 100, a quarter above.
    EXPECT_NEAR(20.0 * std::log10(laws.fader(70)), -10.0, 1e-5);
    EXPECT_NEAR(20.0 * std::log10(laws.fader(50)), -16.6667, 1e-4);
    EXPECT_NEAR(20.0 * std::log10(laws.fader(110)), 2.5, 1e-5);
    EXPECT_NEAR(laws.fader(15), laws.fader(29) * 15.0f / 29.0f, 1e-8);
    EXPECT_EQ(laws.trim(0), 1.0f);
    EXPECT_NEAR(20.0 * std::log10(laws.trim(-30)), -30.0, 1e-5);
    EXPECT_NEAR(20.0 * std::log10(laws.trim(30)), 30.0, 1e-5);
    EXPECT_EQ(laws.panLeft(25), 1.0f);
    EXPECT_EQ(laws.panRight(25), 0.5f);
    EXPECT_EQ(laws.panLeft(50), 1.0f);
    EXPECT_EQ(laws.panRight(50), 1.0f);
    EXPECT_EQ(laws.panLeft(100), 0.0f);
    EXPECT_EQ(laws.panRight(0), 0.0f);
    // Out-of-range values read the nearest end, never past a table.
    EXPECT_EQ(laws.fader(500), laws.fader(110));
    EXPECT_EQ(laws.fader(-3), 0.0f);
    EXPECT_EQ(laws.trim(99), laws.trim(30));
    EXPECT_EQ(laws.panRight(-20), 0.0f);
}
