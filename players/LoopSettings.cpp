#include "players/LoopSettings.h"

#include "app/RackUnitTable.h"

#include <cstdlib>

namespace
{
const char* const kSection = rack::kRackUnits[rack::LoopPlayer].section;

std::string slotKey(int slot, const char* suffix = "")
{
    return "ch" + std::to_string(slot) + suffix;
}

std::string homeFolder()
{
    const char* home = std::getenv("HOME");
    return home != nullptr ? std::string(home) + "/" : std::string("/");
}
} // namespace

void RestoreLoopSettings(const CIni& settings, LoopSettings& state)
{
    state.lastPath = settings.GetString(kSection, "path",
                                        state.lastPath.empty() ? homeFolder() : state.lastPath);
    for (int slot = 0; slot < LoopSettings::kSlotCount; ++slot)
    {
        const auto index = static_cast<size_t>(slot);
        state.ready[index] = settings.GetBool(kSection, slotKey(slot, "ready"), state.ready[index]);
        if (state.ready[index])
            state.paths[index] = settings.GetString(kSection, slotKey(slot), state.paths[index]);
    }
    const int current = settings.GetInt(kSection, "curch", state.currentSlot);
    state.currentSlot = current >= 0 && current < LoopSettings::kSlotCount ? current : -1;
}

bool SaveLoopSettings(CIni& settings, const LoopSettings& state)
{
    bool ok = settings.WriteInt(kSection, "curch", state.currentSlot);
    for (int slot = 0; slot < LoopSettings::kSlotCount; ++slot)
    {
        const auto index = static_cast<size_t>(slot);
        ok &= settings.WriteString(kSection, slotKey(slot), state.paths[index]);
        ok &= settings.WriteBool(kSection, slotKey(slot, "ready"), state.ready[index]);
    }
    ok &= settings.WriteString(kSection, "path", state.lastPath);
    return ok;
}
