#pragma once

// InstrumentPresets: the sixteen presets an instrument keeps in its preset
// file "<plug-in path>.ini" (sections "p0".."p15" with "ch", "MSB", "LSB",
// "patch" and "name"; section "info" with "last"). Plug-ins usually sit in
// folders a user cannot write (/usr/lib/vst): there the file lives in a
// mirror of the plug-in's absolute path under $XDG_CONFIG_HOME/corvane/presets/,
// started from the file beside the plug-in when one exists, and is read from
// the mirror from then on.
//
// Threads: GUI thread only (file I/O).

#include "utilkit/Ini.h"

#include <string>

struct InstrumentPreset
{
    int channel = 1; // 1..16
    int bankMsb = 0;
    int bankLsb = 0;
    int program = 0;
    std::string name;
};

class InstrumentPresets
{
public:
    static constexpr int kPresetCount = 16;

    // Points at the preset file of the plug-in library.
    void open(const std::string& pluginPath);
    bool isOpen() const { return !m_file.GetPathName().empty(); }
    const std::string& filePath() const { return m_file.GetPathName(); }

    // The button's text: "name", default "Preset n" (n = index + 1).
    std::string buttonText(int index) const;
    // The values; the name defaults to "preset n".
    InstrumentPreset load(int index) const;
    // Writes "MSB", "LSB", "patch" and "ch" (the name only by rename).
    bool save(int index, const InstrumentPreset& preset);
    bool rename(int index, const std::string& name);
    // "last" of "info"; a value outside 0..15 means preset 0.
    int last() const;
    bool setLast(int index);

    // Where the file of a plug-in in an unwritable folder goes.
    static std::string mirrorPath(const std::string& pluginPath);

    // Whether the user may write into a folder: access(W_OK) unless a test
    // (running as root, who may write anywhere) puts its own answer here.
    using WritableCheck = bool (*)(const std::string& folder);
    static void setWritableCheck(WritableCheck check);

private:
    CIni m_file;
};
