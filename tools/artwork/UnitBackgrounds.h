#pragma once

// The rack units' background pictures and the view's background.
//
// How a unit gets its real background: keep the unit's layout table as plain
// data in its folder (e.g. mixer/MixerLayout.h defining a
// `constexpr panel::PanelLayout mixerPanel` from the same positions its
// CreateControls uses), include that header in UnitBackgrounds.cpp and return
// the layout from UnitBackgrounds::layoutFor for the unit's picture id. Until
// then the unit gets a placeholder panel of its size with its name.

#include "skinkit/panel/PanelLayout.h"

#include <QImage>

#include <vector>

struct UnitBackground
{
    int pictureId;
    const char* name;
    int slotCount;
};

class UnitBackgrounds
{
public:
    // Every unit of the rack's registry, with its picture id and height in slots.
    static const std::vector<UnitBackground>& units();
    // The unit's own layout, or null while it has none (placeholder).
    static const panel::PanelLayout* layoutFor(int pictureId);
    static QImage draw(const UnitBackground& unit);

    // The view behind the units: an empty rack cabinet as tall as the 18
    // slots of the default stack.
    static constexpr int viewPictureId = 146;
    static constexpr int rackSlots = 18;
    static QImage viewBackground();
};
