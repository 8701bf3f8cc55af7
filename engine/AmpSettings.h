#pragma once

// Persistence of the amplifier's choices in section "amp" of the settings
// file: the device and the sample rate, as selector items. Written when the
// user changes either, read when the panel is built.
//
// Threads: GUI thread only (file I/O).

#include "utilkit/Ini.h"

struct AmpSettings
{
    int deviceIndex = 0; // 0 is "None"
    int rateIndex = 0;   // 0 is 44100 Hz
};

// GUI thread, at start. A missing key keeps the default.
AmpSettings RestoreAmpSettings(const CIni& settings);

// GUI thread. Returns false when a write failed.
bool SaveAmpSettings(CIni& settings, const AmpSettings& state);
