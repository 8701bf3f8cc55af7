#pragma once

// The ten rack units in the fixed order in which the view lays them out,
// searches them and writes their positions, with everything the rack needs to
// know about each before the unit itself exists.

#include <array>
#include <cstddef>

namespace rack
{

// One rack slot is 69 pixels high; the view scrolls 0..590 pixels.
constexpr int kSlotHeight = 69;
constexpr int kMaxScrollOffset = 590;
// The default stack fills 18 slots without gaps.
constexpr int kDefaultSlotCount = 18;

enum RackUnitIndex : std::size_t
{
    Amplifier,
    Mixer,
    DualEffect,
    Instrument,
    MP3Player,
    CDPlayer,
    Recorder,
    GraphicEQ,
    LoopPlayer,
    SoundFX,
    RackUnitCount,
};

struct RackUnitInfo
{
    const char* name;         // shown as the context menu's title
    const char* readSection;  // where "pos" is read
    const char* writeSection; // where "pos" is written (same section, other spelling)
    int defaultPos;           // in rack slots from the top
    int height;               // in rack slots
    int controlId;            // the unit's child id in the view
    int backgroundId;         // picture id of the unit's background
};

inline constexpr std::array<RackUnitInfo, RackUnitCount> kRackUnits = {{
    {"Amplifier", "amp", "amp", 0, 2, 1000, 132},
    {"Mixer", "Mixer", "Mixer", 2, 4, 1001, 144},
    {"Dual Effecter", "effect", "effect", 6, 1, 1002, 136},
    {"VSTi", "VSTi", "VSTi", 7, 2, 1003, 148},
    {"MP3 Player", "MP3", "MP3", 9, 1, 1014, 180},
    {"CD Player", "cd", "cd", 10, 1, 1012, 155},
    {"Recorder", "rec", "rec", 15, 1, 1013, 170},
    {"Graphic EQ", "EQ", "EQ", 16, 2, 1015, 193},
    {"Loop Player", "LOOP", "LOOP", 11, 2, 1016, 198},
    {"SoundFX", "SoundFX", "soundfx", 13, 2, 1017, 200},
}};

} // namespace rack
