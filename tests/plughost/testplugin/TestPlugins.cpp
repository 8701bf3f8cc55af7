#include "TestPlugins.h"

#include <dlfcn.h>

#include <cstdlib>

namespace testplugins
{

std::string path(const char* plugin)
{
    return std::string(CORVANE_TEST_PLUGIN_DIR) + "/" + plugin + ".so";
}

TestPluginCounts& counts(const char* plugin)
{
    // Kept open on purpose: the library then stays loaded between the host's
    // loads, and so do its counts.
    void* handle = dlopen(path(plugin).c_str(), RTLD_NOW | RTLD_LOCAL);
    auto read =
        handle != nullptr
            ? reinterpret_cast<TestPluginCountsProc>(dlsym(handle, "corvaneTestPluginCounts"))
            : nullptr;
    if (read == nullptr)
        std::abort();
    return *read();
}

int allRuleBreaks()
{
    int total = 0;
    for (const char* plugin :
         {kGain, kGainMono, kWide, kQuad, kInstrument, kSynth, kThrows, kBadMagic, kNoEntry, kSlow})
        total += counts(plugin).ruleBreaks();
    return total;
}

} // namespace testplugins
