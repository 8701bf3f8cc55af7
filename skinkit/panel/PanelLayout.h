#pragma once

// Plain data describing a rack unit's front panel: its size, its silk-screen
// labels and the footprints of its controls. A unit keeps one such table
// (e.g. mixer/MixerLayout.h) that both its control building and the build-time
// artwork generator read, so labels and controls cannot drift apart.
//
// No Qt, no widgets: the table must compile into the generator as well as
// into the program.

#include <span>

namespace panel
{

enum class LabelAlignment
{
    Left,   // x is the text's left edge
    Centre, // x is the text's centre
    Right   // x is the text's right edge
};

// A silk-screen text; y is the text's top; size is the cell height in pixels.
struct PanelLabel
{
    int x;
    int y;
    const char* text;
    int size;
    LabelAlignment alignment;
};

enum class FootprintKind
{
    Knob,     // scale ticks printed around a knob of this size
    Slider,   // a fader slot with a printed scale
    Button,   // a recessed seat under a button
    Lamp,     // a bezel ring under a lamp
    Display,  // a dark window for LED digits or text
    Meter,    // a dark window for a meter
    Selector, // a recess under a pop-up selector
    Group     // an engraved frame around a group of controls
};

// Where a control sits on the panel, in panel pixels.
struct PanelFootprint
{
    int x;
    int y;
    int width;
    int height;
    FootprintKind kind;
};

struct PanelLayout
{
    int width;
    int height;
    // Printed large at the top left, beside the left rack ear; may be empty.
    const char* title;
    std::span<const PanelLabel> labels;
    std::span<const PanelFootprint> footprints;
};

// Panels are this many pixels per rack slot, and this wide: the rack's width
// in a 768-pixel window beside its vertical scroll bar.
constexpr int slotHeight = 69;
constexpr int rackWidth = 750;
// Each rack ear (with its screws) takes this much of either side.
constexpr int rackEarWidth = 20;

} // namespace panel
