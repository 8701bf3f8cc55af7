#include "players/MP3Settings.h"

#include "app/RackUnitTable.h"
#include "players/MP3Playlist.h"

#include <algorithm>
#include <cstdlib>

namespace
{
const char* const kSection = rack::kRackUnits[rack::MP3Player].section;

std::string nameKey(int index)
{
    return "name" + std::to_string(index);
}
std::string pathKey(int index)
{
    return "list" + std::to_string(index);
}

// A damaged count can never make a read or a clean-up run longer than the
// list can be.
int storedCount(const CIni& settings)
{
    return std::clamp(settings.GetInt(kSection, "count", 0), 0, MP3Playlist::capacity - 1);
}
} // namespace

std::string mp3HomeFolder()
{
    const char* home = std::getenv("HOME");
    return home != nullptr ? std::string(home) + "/" : std::string("/");
}

void RestoreMP3Settings(const CIni& settings, MP3Settings& state)
{
    state.lastOpenPath = settings.GetString(kSection, "lastopen", state.lastOpenPath);
    state.lastIndex = storedCount(settings);
    state.names.clear();
    state.paths.clear();
    if (state.lastIndex == 0)
    {
        state.lastPlayed = 0;
        return;
    }
    state.lastPlayed = settings.GetInt(kSection, "lastplay", 0);
    for (int index = 0; index <= state.lastIndex; ++index)
    {
        state.names.push_back(settings.GetString(kSection, nameKey(index), ""));
        state.paths.push_back(settings.GetString(kSection, pathKey(index), ""));
    }
}

bool SaveMP3Settings(CIni& settings, const MP3Settings& state)
{
    bool written = settings.WriteString(kSection, "lastopen", state.lastOpenPath);
    // Each write replaces the file, so the entries go first, then the count,
    // then what is left of a longer list: a crash half-way leaves a list that
    // reads, never an emptied one.
    const int previousCount = storedCount(settings);
    const size_t entries = std::min(state.names.size(), state.paths.size());
    for (size_t index = 0; index < entries; ++index)
    {
        const int key = static_cast<int>(index);
        written &= settings.WriteString(kSection, nameKey(key), state.names[index]);
        written &= settings.WriteString(kSection, pathKey(key), state.paths[index]);
    }
    written &= settings.WriteInt(kSection, "count", state.lastIndex);
    written &= settings.WriteInt(kSection, "lastplay", state.lastPlayed);
    for (int index = state.lastIndex + 1; index <= previousCount; ++index)
    {
        settings.DeleteKey(kSection, nameKey(index));
        settings.DeleteKey(kSection, pathKey(index));
    }
    return written;
}
