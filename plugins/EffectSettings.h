#pragma once

// Persistence of the dual effect rack in section "effect" of the settings
// file: each slot's plug-in library ("filename1", "filename2", written when
// a plug-in is chosen) and the last-chosen path ("path", written when the
// unit goes away). A slot's file name stays stored when its plug-in fails,
// so it is tried again at the next start.
//
// Threads: GUI thread only (file I/O).

#include "utilkit/Ini.h"

#include <array>
#include <string>

struct EffectSettings
{
    std::array<std::string, 2> fileNames;
    // The last chosen library's full path (the home folder by default).
    std::string path;
};

// GUI thread, at start. A missing key keeps the default.
void RestoreEffectSettings(const CIni& settings, EffectSettings& state);

// GUI thread. Writes every key; false when a write failed.
bool SaveEffectSettings(CIni& settings, const EffectSettings& state);
// GUI thread. Writes one slot's file name (the moment it is chosen).
bool SaveEffectFileName(CIni& settings, int slot, const std::string& fileName);
// GUI thread. Writes the last-chosen path (at exit).
bool SaveEffectPath(CIni& settings, const std::string& path);
