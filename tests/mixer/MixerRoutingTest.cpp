#include "mixer/MixerEngine.h"

#include <gtest/gtest.h>

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
