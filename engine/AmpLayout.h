#pragma once

// The amplifier's front panel: where each control sits and what is printed
// around it. Both CAmpRack's control building and the artwork generator read
// this table, so labels and controls cannot drift apart.

#include "skinkit/panel/PanelLayout.h"

#include <array>

namespace amp_layout
{

struct Point
{
    int x;
    int y;
};

// Picture sizes the positions are planned around (VU film-strip frame 84×50,
// lamp 12×12, power switch 44×26, tick switch 22×14, 13×20 LED cells).
constexpr int vuWidth = 84;
constexpr int vuHeight = 50;
constexpr int lampSize = 12;
constexpr int ledCellWidth = 13;
constexpr int ledHeight = 20;
constexpr int selectorWidth = 130;
constexpr int selectorHeight = 16;

constexpr std::array<Point, 4> vuMeters = {{{236, 30}, {332, 30}, {428, 30}, {524, 30}}};
constexpr std::array<Point, 4> lamps = {{{272, 94}, {368, 94}, {464, 94}, {560, 94}}};
constexpr Point deviceSelector{40, 44};
constexpr Point rateSelector{40, 92};
constexpr Point latencyDisplay{636, 44};
constexpr Point cpuDisplay{642, 92};
constexpr Point powerSwitch{176, 56};
constexpr Point tickSwitch{190, 104};

inline constexpr std::array<panel::PanelLabel, 15> labels = {{
    {panel::rackWidth - panel::rackEarWidth - 10, 2 * panel::slotHeight - 17, "CORVANE", 9,
     panel::LabelAlignment::Right},
    {40, 30, "DEVICE", 9, panel::LabelAlignment::Left},
    {40, 78, "SAMPLE RATE", 9, panel::LabelAlignment::Left},
    {198, 42, "POWER", 9, panel::LabelAlignment::Centre},
    {201, 90, "TICK", 9, panel::LabelAlignment::Centre},
    {278, 110, "1", 9, panel::LabelAlignment::Centre},
    {374, 110, "2", 9, panel::LabelAlignment::Centre},
    {470, 110, "3", 9, panel::LabelAlignment::Centre},
    {566, 110, "4", 9, panel::LabelAlignment::Centre},
    {422, 16, "OUTPUT LEVEL", 9, panel::LabelAlignment::Centre},
    {655, 30, "LATENCY", 9, panel::LabelAlignment::Centre},
    {655, 66, "x100 SAMPLES", 6, panel::LabelAlignment::Centre},
    {655, 78, "CPU %", 9, panel::LabelAlignment::Centre},
    {422, 122, "CHANNELS", 7, panel::LabelAlignment::Centre},
    {105, 122, "POWER AMPLIFIER", 7, panel::LabelAlignment::Centre},
}};

inline constexpr std::array<panel::PanelFootprint, 15> footprints = {{
    {190, 104, 22, 14, panel::FootprintKind::Button},
    {236, 30, vuWidth, vuHeight, panel::FootprintKind::Meter},
    {332, 30, vuWidth, vuHeight, panel::FootprintKind::Meter},
    {428, 30, vuWidth, vuHeight, panel::FootprintKind::Meter},
    {524, 30, vuWidth, vuHeight, panel::FootprintKind::Meter},
    {272, 94, lampSize, lampSize, panel::FootprintKind::Lamp},
    {368, 94, lampSize, lampSize, panel::FootprintKind::Lamp},
    {464, 94, lampSize, lampSize, panel::FootprintKind::Lamp},
    {560, 94, lampSize, lampSize, panel::FootprintKind::Lamp},
    {40, 44, selectorWidth, selectorHeight, panel::FootprintKind::Selector},
    {40, 92, selectorWidth, selectorHeight, panel::FootprintKind::Selector},
    {636, 44, 3 * ledCellWidth, ledHeight, panel::FootprintKind::Display},
    {642, 92, 2 * ledCellWidth, ledHeight, panel::FootprintKind::Display},
    {176, 56, 44, 26, panel::FootprintKind::Button},
    {226, 24, 392, 96, panel::FootprintKind::Group},
}};

inline constexpr panel::PanelLayout panelLayout{panel::rackWidth, 2 * panel::slotHeight,
                                                "AMPLIFIER", labels, footprints};

} // namespace amp_layout
