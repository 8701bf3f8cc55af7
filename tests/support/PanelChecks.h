#pragma once

// Checks every unit's panel test shares: each control was built from its row
// of the unit's layout table.

#include "app/PanelControls.h"

#include <gtest/gtest.h>

#include <span>

namespace testkit
{

// Each control sits at its row's place, carries its row's child id and is
// at least as large as its footprint's printed area demands (a picture may
// make it larger, never smaller than one pixel).
void expectControlsOnTheirRows(std::span<const panel::PanelControl> rows,
                               std::span<const PanelControlRef> controls);

} // namespace testkit
