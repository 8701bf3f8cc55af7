#pragma once

// The loop player's persistence in its section of the settings file: the six
// slots' paths and ready flags, the current slot (-1 for none) and the last
// file loaded, where the Load dialog starts. Read when the panel is built,
// written when the unit goes away.
//
// Threads: GUI thread only (file I/O).

#include "utilkit/Ini.h"

#include <array>
#include <string>

struct LoopSettings
{
    static constexpr int kSlotCount = 6;
    int currentSlot = 0;
    std::array<std::string, kSlotCount> paths;
    std::array<bool, kSlotCount> ready{};
    // "path": the home folder at first.
    std::string lastPath;

    bool operator==(const LoopSettings&) const = default;
};

// A missing key keeps its default; a slot's path is read only when it is
// ready; a current slot outside -1..5 reads as none.
void RestoreLoopSettings(const CIni& settings, LoopSettings& state);
// Returns false when a write failed.
bool SaveLoopSettings(CIni& settings, const LoopSettings& state);
