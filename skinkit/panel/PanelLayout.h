#pragma once

// Plain data describing a rack unit's front panel: its size, its silk-screen
// labels, its engravings and one row per control (where it sits, what is
// printed under and beside it, its picture, frames and command id). A unit
// keeps one such table (e.g. engine/AmpLayout.h) that both its control
// building and the build-time artwork generator read, so positions, pictures
// and labels cannot drift apart.
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
    Group,    // an engraved frame around a group of controls
    Bare      // nothing printed: the control's own picture carries its scale or seat
};

// A point on a panel, in panel pixels.
struct PanelPoint
{
    int x;
    int y;
};

// Where a control sits on the panel, in panel pixels, and what is printed
// under it.
struct PanelFootprint
{
    int x;
    int y;
    int width;
    int height;
    FootprintKind kind;
};

// One control of a panel.
struct PanelControl
{
    PanelFootprint footprint;
    // The control's picture in the program's pictures; 0 keeps the control's
    // own default.
    int pictureId = 0;
    // Film-strip frames (knobs, VU meters) or digit cells (LED displays); for
    // a slider the thumb's picture id. 0 where the control has none.
    int frames = 0;
    // The child id the control notifies its panel with; 0 for none.
    int commandId = 0;
    // Printed with the control; text nullptr for none.
    PanelLabel label = {0, 0, nullptr, 0, LabelAlignment::Left};
};

struct PanelLayout
{
    int width;
    int height;
    // Printed large at the top left, beside the left rack ear; may be empty.
    const char* title;
    // Silk-screen text that belongs to no one control.
    std::span<const PanelLabel> labels;
    // Engravings that belong to no one control (group frames).
    std::span<const PanelFootprint> footprints;
    std::span<const PanelControl> controls = {};
};

// Panels are this many pixels per rack slot, and this wide: the rack's width
// in a 768-pixel window beside its vertical scroll bar.
constexpr int slotHeight = 69;
constexpr int rackWidth = 750;
// Each rack ear (with its screws) takes this much of either side.
constexpr int rackEarWidth = 20;

} // namespace panel
