// A preset file beside an instrument, as its maker shipped it or an editor
// left it: every preset and the last choice read as values the panel can
// show or clamp, never a crash.

#include "plugins/InstrumentPresets.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::string folder = []
    {
        const std::string path = "/dev/shm/corvane-fuzz-presets-" + std::to_string(getpid());
        std::filesystem::create_directories(path);
        return path;
    }();
    const std::string plugin = folder + "/synth.so";
    std::ofstream(plugin + ".ini", std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    InstrumentPresets presets;
    presets.open(plugin);
    for (int index = -1; index <= InstrumentPresets::kPresetCount; ++index)
    {
        (void)presets.buttonText(index);
        (void)presets.load(index);
    }
    const int last = presets.last();
    if (last < 0 || last >= InstrumentPresets::kPresetCount)
        __builtin_trap();
    return 0;
}
