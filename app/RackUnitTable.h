#pragma once

// The registry of rack units: the ten units in the fixed order in which the
// view lays them out, searches them and writes their positions, with
// everything the rack, the units and the artwork need to know about each
// before the unit itself exists. A new unit changes its row here and adds one
// line to the unit factory (app/RackUnitFactory.cpp).

#include <array>
#include <cstddef>

namespace rack
{

// One rack slot is 69 pixels high; the view scrolls 0..590 pixels.
constexpr int kSlotHeight = 69;
constexpr int kMaxScrollOffset = 590;
// The default stack fills 18 slots without gaps.
constexpr int kDefaultSlotCount = 18;

// The one settings file every unit keeps its section in.
inline constexpr const char* kSettingsFileName = "rackdata5.ini";

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
    const char* section;      // the unit's settings section, spelled as stored
    const char* readSection;  // where "pos" is read
    const char* writeSection; // where "pos" is written (same section, other spelling)
    int defaultPos;           // in rack slots from the top
    int height;               // in rack slots
    int controlId;            // the unit's child id in the view
    int backgroundId;         // picture id of the unit's background
};

inline constexpr std::array<RackUnitInfo, RackUnitCount> kRackUnits = {{
    {"Amplifier", "amp", "amp", "amp", 0, 2, 1000, 132},
    {"Mixer", "Mixer", "Mixer", "Mixer", 2, 4, 1001, 144},
    {"Dual Effecter", "effect", "effect", "effect", 6, 1, 1002, 136},
    {"VSTi", "VSTi", "VSTi", "VSTi", 7, 2, 1003, 148},
    {"MP3 Player", "MP3", "MP3", "MP3", 9, 1, 1014, 180},
    {"CD Player", "cd", "cd", "cd", 10, 1, 1012, 155},
    {"Recorder", "rec", "rec", "rec", 15, 1, 1013, 170},
    {"Graphic EQ", "EQ", "EQ", "EQ", 16, 2, 1015, 193},
    {"Loop Player", "LOOP", "LOOP", "LOOP", 11, 2, 1016, 198},
    {"SoundFX", "soundfx", "SoundFX", "soundfx", 13, 2, 1017, 200},
}};

// The order in which the view constructs the units; they are destroyed in
// reverse, so the amplifier (which owns the device) goes first and the
// sources it calls into outlive it.
inline constexpr std::array<RackUnitIndex, RackUnitCount> kConstructionOrder = {
    SoundFX,  LoopPlayer, GraphicEQ,  MP3Player, Recorder,
    CDPlayer, Instrument, DualEffect, Mixer,     Amplifier};

// The order in which the units create their controls and read their settings.
inline constexpr std::array<RackUnitIndex, RackUnitCount> kControlCreationOrder = {
    Amplifier, Mixer,     DualEffect, Instrument, CDPlayer,
    Recorder,  MP3Player, GraphicEQ,  LoopPlayer, SoundFX};

} // namespace rack
