#pragma once

// Where the project's test plug-ins are, and their counts. The counts are
// read through a handle this kit keeps open for the whole test program, so
// they survive the host's unloads.

#include "TestPluginCounts.h"

#include <string>

namespace testplugins
{

// The plug-ins built from TestPlugin.cpp, by shape.
inline constexpr const char* kGain = "testgain"; // 2 in, 2 out, "Test Gain"
inline constexpr const char* kGainMono =
    "testgain_mono";                             // 1 in, 1 out, "main", accumulating, no name
inline constexpr const char* kWide = "testwide"; // 2 in, 6 out
inline constexpr const char* kQuad = "testquad"; // 4 in, 2 out
inline constexpr const char* kInstrument = "testinstrument";
inline constexpr const char* kSynth = "testsynth";   // sine synth, "Test Sine"
inline constexpr const char* kThrows = "testthrows"; // effOpen throws
inline constexpr const char* kBadMagic = "testbadmagic";
inline constexpr const char* kNoEntry = "testnoentry";
inline constexpr const char* kSlow = "testslow"; // effOpen takes 200 ms

// Absolute path of a test plug-in library.
std::string path(const char* plugin);

// The plug-in's counts (never null for a built plug-in).
TestPluginCounts& counts(const char* plugin);

// Every shape's rule breaks added up.
int allRuleBreaks();

} // namespace testplugins
