#pragma once

// RackLayout: where each of the ten units stands in the rack, in slots, and
// the two moves that re-order them. Moving a unit swaps it with its
// neighbour so that the pair still covers the same span of slots, whatever
// their heights. Plain logic: the view applies the result to the windows.
//
// Threads: GUI thread only.

#include "app/RackUnitTable.h"

#include <array>

class CIni;

class RackLayout
{
public:
    RackLayout();

    int position(std::size_t unit) const { return m_positions[unit]; }
    int height(std::size_t unit) const { return m_heights[unit]; }
    void setPosition(std::size_t unit, int position) { m_positions[unit] = position; }
    void setHeight(std::size_t unit, int height) { m_heights[unit] = height; }

    // Swaps the unit with its neighbour above (below); false when it has none.
    bool moveUp(std::size_t unit);
    bool moveDown(std::size_t unit);

    // Top edge of a unit in view pixels for a given scroll offset.
    int unitY(std::size_t unit, int scrollOffset) const;
    static int clampScrollOffset(int offset);

    // "pos" of each unit's section, with the default stack for missing keys.
    void readPositions(const CIni& settings);
    void writePositions(CIni& settings) const;

private:
    std::array<int, rack::RackUnitCount> m_positions{};
    std::array<int, rack::RackUnitCount> m_heights{};
};
