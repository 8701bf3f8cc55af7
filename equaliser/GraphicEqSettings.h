#pragma once

// Persistence of the equaliser's four presets: section "EQ1".."EQ4", key
// "0".."30" (the band), value the slider 0..300 (default 150, flat). A
// stored value outside the range reads as the nearest end. Written when
// another preset is chosen and when the unit goes away.
//
// Threads: GUI thread only (file I/O).

#include "equaliser/GraphicEqEngine.h"
#include "utilkit/Ini.h"

#include <string>

namespace graphic_eq_settings
{
constexpr int kPresetCount = 4;
// "EQ1".."EQ4": the unit's own section name with the preset number.
std::string presetSection(int preset);
} // namespace graphic_eq_settings

// GUI thread. A missing key reads as flat.
GraphicEqEngine::Values RestoreGraphicEqSettings(const CIni& settings, int preset);

// GUI thread. Returns false when a write failed.
bool SaveGraphicEqSettings(CIni& settings, int preset, const GraphicEqEngine::Values& values);
