#include "app/RackLayout.h"

#include "utilkit/Ini.h"

#include <algorithm>

namespace
{
// Positions at or past this are parked units, never a neighbour below.
constexpr int kParkedPosition = 999;
} // namespace

RackLayout::RackLayout()
{
    for (std::size_t unit = 0; unit < rack::RackUnitCount; ++unit)
    {
        m_positions[unit] = rack::kRackUnits[unit].defaultPos;
        m_heights[unit] = rack::kRackUnits[unit].height;
    }
}

bool RackLayout::moveUp(std::size_t unit)
{
    const int position = m_positions[unit];
    // The neighbour above: greatest position below ours; on a tie the unit
    // later in the fixed order wins.
    std::size_t neighbour = rack::RackUnitCount;
    for (std::size_t other = 0; other < rack::RackUnitCount; ++other)
    {
        if (other == unit || m_positions[other] >= position)
            continue;
        if (neighbour == rack::RackUnitCount || m_positions[other] >= m_positions[neighbour])
            neighbour = other;
    }
    if (neighbour == rack::RackUnitCount)
        return false;
    const int neighbourPosition = m_positions[neighbour];
    m_positions[neighbour] = position + m_heights[unit] - m_heights[neighbour];
    m_positions[unit] = neighbourPosition;
    return true;
}

bool RackLayout::moveDown(std::size_t unit)
{
    const int position = m_positions[unit];
    // The neighbour below: smallest position above ours; on a tie the unit
    // earlier in the fixed order wins.
    std::size_t neighbour = rack::RackUnitCount;
    for (std::size_t other = 0; other < rack::RackUnitCount; ++other)
    {
        if (other == unit || m_positions[other] <= position ||
            m_positions[other] >= kParkedPosition)
            continue;
        if (neighbour == rack::RackUnitCount || m_positions[other] < m_positions[neighbour])
            neighbour = other;
    }
    if (neighbour == rack::RackUnitCount)
        return false;
    const int neighbourPosition = m_positions[neighbour];
    m_positions[unit] = m_heights[neighbour] - m_heights[unit] + neighbourPosition;
    m_positions[neighbour] = position;
    return true;
}

int RackLayout::unitY(std::size_t unit, int scrollOffset) const
{
    return m_positions[unit] * rack::kSlotHeight - scrollOffset;
}

int RackLayout::clampScrollOffset(int offset)
{
    return std::clamp(offset, 0, rack::kMaxScrollOffset);
}

void RackLayout::readPositions(const CIni& settings)
{
    for (std::size_t unit = 0; unit < rack::RackUnitCount; ++unit)
        m_positions[unit] = settings.GetInt(rack::kRackUnits[unit].readSection, "pos",
                                            rack::kRackUnits[unit].defaultPos, 10);
}

void RackLayout::writePositions(CIni& settings) const
{
    for (std::size_t unit = 0; unit < rack::RackUnitCount; ++unit)
        settings.WriteInt(rack::kRackUnits[unit].writeSection, "pos", m_positions[unit], 10);
}
