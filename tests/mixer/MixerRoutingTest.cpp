// Source table: every unit told the running rate, in the table's order,
// before any running flag is set.

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

} // namespace

TEST(MixerRoutingTest, RunningRateReachesTheSevenUnitsInOrderBeforeAnyRunningFlag)
{
    std::vector<std::string> log;
    std::vector<RateLoggingUnit*> everyUnit;
    RateLoggingUnit mp3{"mp3", log, everyUnit}, cd{"cd", log, everyUnit},
        vsti{"vsti", log, everyUnit}, effect{"effect", log, everyUnit},
        recorder{"recorder", log, everyUnit}, loop{"loop", log, everyUnit},
        pads{"pads", log, everyUnit};
    everyUnit = {&mp3, &cd, &vsti, &effect, &recorder, &loop, &pads};
    MixerEngine engine;
    engine.SetSources(&mp3, &cd, &vsti, &effect, &recorder, &loop, &pads);
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

    // Empty entries are skipped, also when a channel selects one.
    MixerEngine lonely;
    lonely.SetSources(nullptr, &cd, nullptr, nullptr, nullptr, nullptr, nullptr);
    lonely.controls().channels[2].source = MixerSourceTable::Mp3Player;
    lonely.controls().channels[2].fader = 100;
    lonely.SetSampleRate(44100.0f);
    EXPECT_EQ(log, std::vector<std::string>{"cd"});
    std::vector<float> left(64, 1.0f), right(64, 1.0f);
    std::array<float*, 2> out{left.data(), right.data()};
    lonely.Process(nullptr, out.data(), 0, 2, 64);
    EXPECT_EQ(left, std::vector<float>(64, 0.0f));
}
