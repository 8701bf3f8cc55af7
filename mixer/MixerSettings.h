#pragma once

// Persistence of the mixer's controls in its section ("Mixer") of the
// settings file. Restoring follows the controls' own rules: a knob or
// selector value outside its range is ignored (the default stays), a slider
// value is clamped. Saving writes every key in the mixer's fixed key order.
//
// Threads: GUI thread only (file I/O).

#include "mixer/MixerControlState.h"
#include "utilkit/Ini.h"

namespace mixer_settings
{

// GUI thread, at start. Keys that are missing keep the state's defaults.
void RestoreMixerSettings(const CIni& settings, MixerControlState& state);

// GUI thread, at exit. Returns false when a write failed.
bool SaveMixerSettings(CIni& settings, const MixerControlState& state);

} // namespace mixer_settings
