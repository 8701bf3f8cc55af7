#pragma once

// The sound-effect pads' ranges and texts, and their persistence in section
// "soundfx" of the settings file: per pad its path, the file name shown on
// it, start and end in milliseconds and gain in dB; the edited pad
// ("trigger") and the folder the Open dialog starts in. Read when the panel
// is built, written at exit.
//
// Threads: GUI thread only (file I/O).

#include "utilkit/Ini.h"

#include <array>
#include <string>

namespace soundfx
{
inline constexpr int kPadCount = 8;
inline constexpr int kVoiceCount = 16;
inline constexpr int kMaxMilliseconds = 9999;
inline constexpr int kMinGainDb = -12;
inline constexpr int kMaxGainDb = 12;
// The rate pads are loaded at before the device first runs.
inline constexpr double kDefaultRate = 44100.0;

// The pad's display text when it holds no playable file.
inline constexpr const char* kNoFile = "No File";
inline constexpr const char* kLoading = "Loading";
inline constexpr const char* kUnsupported = "Unsupport";
inline constexpr const char* kTooLong = "Too Long";

// Linear gain of a pad gain in dB, clamped to -12..+12: 10^(dB / 20).
float gainFactor(int gainDb) noexcept;
} // namespace soundfx

// What one pad keeps: its file, trims and gain. Positions are milliseconds,
// so they mean the same sound at any device rate.
struct SoundFxPadSettings
{
    std::string path;
    std::string fileName;
    int startMs = 0;
    int endMs = soundfx::kMaxMilliseconds;
    int gainDb = 0;

    bool operator==(const SoundFxPadSettings&) const = default;
};

struct SoundFxSettings
{
    std::array<SoundFxPadSettings, soundfx::kPadCount> pads;
    // The edited pad, -1 for none.
    int trigger = -1;
    // "lastopen": the folder the Open dialog starts in; the home folder at first.
    std::string lastOpenPath;
};

// GUI thread, at start. A missing key keeps its default; a pad without both
// path and file name keeps its defaults; stored numbers are clamped to their
// ranges, and an edited pad that holds no file reads as none.
void RestoreSoundFxSettings(const CIni& settings, SoundFxSettings& state);

// GUI thread. Returns false when a write failed.
bool SaveSoundFxSettings(CIni& settings, const SoundFxSettings& state);
