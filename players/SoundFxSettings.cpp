#include "players/SoundFxSettings.h"

#include "app/RackUnitTable.h"

#include <algorithm>
#include <cstdlib>

namespace
{
const char* const kSection = rack::kRackUnits[rack::SoundFX].section;

std::string key(const char* name, int pad)
{
    return name + std::to_string(pad);
}

std::string homeFolder()
{
    const char* home = std::getenv("HOME");
    return home != nullptr ? std::string(home) + "/" : std::string("/");
}
} // namespace

void RestoreSoundFxSettings(const CIni& settings, SoundFxSettings& state)
{
    state.lastOpenPath = settings.GetString(
        kSection, "lastopen", state.lastOpenPath.empty() ? homeFolder() : state.lastOpenPath);
    for (int i = 0; i < soundfx::kPadCount; ++i)
    {
        SoundFxPadSettings& pad = state.pads[static_cast<size_t>(i)];
        pad.path = settings.GetString(kSection, key("path", i), pad.path);
        pad.fileName = settings.GetString(kSection, key("file", i), pad.fileName);
        if (pad.path.empty() || pad.fileName.empty())
            continue;
        pad.startMs = std::clamp(settings.GetInt(kSection, key("start", i), pad.startMs), 0,
                                 soundfx::kMaxMilliseconds);
        pad.endMs = std::clamp(settings.GetInt(kSection, key("end", i), pad.endMs), 0,
                               soundfx::kMaxMilliseconds);
        pad.gainDb = std::clamp(settings.GetInt(kSection, key("gain", i), pad.gainDb),
                                soundfx::kMinGainDb, soundfx::kMaxGainDb);
    }
    const int trigger = settings.GetInt(kSection, "trigger", state.trigger);
    state.trigger = -1;
    if (trigger >= 0 && trigger < soundfx::kPadCount)
    {
        const SoundFxPadSettings& pad = state.pads[static_cast<size_t>(trigger)];
        if (!pad.path.empty() || !pad.fileName.empty())
            state.trigger = trigger;
    }
}

bool SaveSoundFxSettings(CIni& settings, const SoundFxSettings& state)
{
    bool ok = true;
    for (int i = 0; i < soundfx::kPadCount; ++i)
    {
        const SoundFxPadSettings& pad = state.pads[static_cast<size_t>(i)];
        ok &= settings.WriteString(kSection, key("path", i), pad.path);
        ok &= settings.WriteString(kSection, key("file", i), pad.fileName);
        ok &= settings.WriteInt(kSection, key("start", i), pad.startMs);
        ok &= settings.WriteInt(kSection, key("end", i), pad.endMs);
        ok &= settings.WriteInt(kSection, key("gain", i), pad.gainDb);
    }
    ok &= settings.WriteInt(kSection, "trigger", state.trigger);
    ok &= settings.WriteString(kSection, "lastopen", state.lastOpenPath);
    return ok;
}
