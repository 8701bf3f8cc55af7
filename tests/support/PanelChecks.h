#pragma once

// Checks every unit's panel test shares: each control was built from its row
// of the unit's layout table.

#include "app/PanelControls.h"

#include <gtest/gtest.h>

#include <functional>
#include <span>

namespace testkit
{

// Each control sits at its row's place, carries its row's child id and is
// at least as large as its footprint's printed area demands (a picture may
// make it larger, never smaller than one pixel).
void expectControlsOnTheirRows(std::span<const panel::PanelControl> rows,
                               std::span<const PanelControlRef> controls);

// Runs the event loop until `done` holds or `milliseconds` passed; whether it held.
// `done` is called once per step, so it may act (send, click) as well as look.
bool waitFor(const std::function<bool()>& done, int milliseconds = 2000);

} // namespace testkit
