// A waveform cache file as a crash, another program or a half-copied sample
// library may have left it beside a sound: it is used only when it proves it
// belongs to the sound and width, and reading it never crashes.

#include "skinkit/WaveScopeCache.h"
#include "support/Tones.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace
{
// The sound the caches claim to belong to: 4410 stereo frames.
const std::string& soundPath()
{
    static const std::string path = []
    {
        const std::string folder = "/dev/shm/corvane-fuzz-" + std::to_string(getpid());
        std::filesystem::create_directories(folder);
        const std::string sound = folder + "/sound.wav";
        testkit::writeWav(
            sound, {44100, {std::vector<float>(4410, 0.25f), std::vector<float>(4410, -0.5f)}});
        return sound;
    }();
    return path;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string cache = wavescope::besidePath(soundPath());
    std::ofstream(cache, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    const wavescope::Geometry geometry = wavescope::geometryFor(4410, 2, 40);
    (void)WaveScopeCache::cacheIsValid(cache, soundPath(), geometry);
    (void)WaveScopeCache::readLoopFlag(cache);
    (void)WaveScopeCache::storedLoopFlag(soundPath(), geometry);
    std::array<std::vector<wavescope::Peaks>, 2> columns;
    for (int channels : {1, 2})
        (void)WaveScopeCache::loadColumns(cache, channels, 0, 0, 40, columns);
    (void)WaveScopeCache::loadColumns(cache, 2, 3, 2, 7, columns);
    return 0;
}
