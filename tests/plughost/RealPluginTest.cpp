// Real Linux VST plug-ins from Debian's dpf-plugins-vst (installed by the
// setup script; skipped where absent) survive swaps while blocks run, and the
// instrument in the set is refused as an effect by its flag. (Their sound
// through both effect loops: the effect journey.)

#include "plughost/PluginSlot.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>
#include <vector>

namespace
{

const std::string kFolder = "/usr/lib/vst/";
constexpr long kBlock = 256;

PluginSlot::LoadOutcome loadInto(PluginSlot& slot, const std::string& path)
{
    PluginSlot::LoadOutcome result;
    slot.setLoadFinished([&](const std::string&, const PluginSlot::LoadOutcome& outcome)
                         { result = outcome; });
    slot.requestLoad(path);
    slot.waitForLoads();
    slot.setLoadFinished(nullptr);
    return result;
}

bool present(const char* library)
{
    return std::filesystem::exists(kFolder + library);
}

// Swaps of real plug-ins while an audio thread runs blocks: no crash.
TEST(RealPluginTest, SwapsWhileBlocksRunAndTheInstrumentIsRefused)
{
    if (!present("3BandEQ-vst.so") || !present("MVerb-vst.so"))
        GTEST_SKIP() << "dpf-plugins-vst is not installed";
    PluginSlot slot(2048, false);
    std::atomic<bool> stop{false};
    std::atomic<long> blocks{0};
    std::thread audio(
        [&]
        {
            std::vector<float> left(kBlock, 0.25f), right(kBlock, 0.25f), outLeft(kBlock),
                outRight(kBlock);
            float* in[] = {left.data(), right.data()};
            float* out[] = {outLeft.data(), outRight.data()};
            while (!stop.load())
            {
                slot.process(in, 2, out, 2, kBlock);
                blocks.fetch_add(1);
            }
        });
    // A reverb's load takes ~80 ms: 60 swaps keep the test short (300 were
    // run once, clean, in 25 s).
    constexpr int kSwaps = 60;
    const char* libraries[] = {"3BandEQ-vst.so", "MVerb-vst.so"};
    for (int swap = 0; swap < kSwaps; ++swap)
        EXPECT_EQ(loadInto(slot, kFolder + libraries[swap % 2]).result,
                  PluginSlot::LoadResult::Loaded);
    stop = true;
    audio.join();
    EXPECT_TRUE(slot.published());
    EXPECT_GT(blocks.load(), kSwaps);
    if (present("Kars-vst.so"))
    {
        EXPECT_EQ(loadInto(slot, kFolder + "Kars-vst.so").result, PluginSlot::LoadResult::Rejected);
    }
}

} // namespace
