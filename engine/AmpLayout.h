#pragma once

// The amplifier's front panel: one row per control (where it sits, what is
// printed under and beside it, its picture and child id), the silk-screen text
// that belongs to no one control, and the group frame. Both CAmpRack's
// control building and the artwork generator read this table, so positions,
// pictures and labels cannot drift apart.

#include "skinkit/panel/PanelLayout.h"

#include <array>
#include <cstddef>

namespace amp_layout
{

using panel::FootprintKind;
using panel::LabelAlignment;

// Child ids the panel's handler acts on.
constexpr int kPowerCommand = 150;
constexpr int kDeviceCommand = 155;
constexpr int kRateCommand = 156;

// Pictures: the lamp, the LED digits (13 cells of 13×20), the power and tick
// switches.
constexpr int kLampPicture = 133;
constexpr int kLedPicture = 135;
constexpr int kLedCells = 13;
constexpr int kPowerPicture = 145;
constexpr int kTickPicture = 151;

// Sizes the positions are planned around (VU film-strip frame 84×50, lamp
// 12×12, power switch 44×26, tick switch 22×14, 13×20 LED cells).
constexpr int vuWidth = 84;
constexpr int vuHeight = 50;
constexpr int lampSize = 12;
constexpr int ledCellWidth = 13;
constexpr int ledHeight = 20;
constexpr int selectorWidth = 130;
constexpr int selectorHeight = 16;

// The rows, in the order CAmpRack lists its controls.
enum Control : std::size_t
{
    VuMeter1,
    Lamp1 = VuMeter1 + 4,
    PowerSwitch = Lamp1 + 4,
    TickSwitch,
    DeviceSelector,
    RateSelector,
    LatencyDisplay,
    CpuDisplay,
    ControlCount
};

namespace detail
{
// Output channel n: its VU meter with the lamp and number beneath.
constexpr panel::PanelControl vuMeter(int channel)
{
    return {{236 + 96 * channel, 30, vuWidth, vuHeight, FootprintKind::Meter}};
}
constexpr panel::PanelControl lamp(int channel)
{
    constexpr const char* numbers[] = {"1", "2", "3", "4"};
    return {{272 + 96 * channel, 94, lampSize, lampSize, FootprintKind::Lamp},
            kLampPicture,
            0,
            0,
            {278 + 96 * channel, 110, numbers[channel], 9, LabelAlignment::Centre}};
}
} // namespace detail

inline constexpr std::array<panel::PanelControl, ControlCount> controls = {{
    detail::vuMeter(0),
    detail::vuMeter(1),
    detail::vuMeter(2),
    detail::vuMeter(3),
    detail::lamp(0),
    detail::lamp(1),
    detail::lamp(2),
    detail::lamp(3),
    {{176, 56, 44, 26, FootprintKind::Button},
     kPowerPicture,
     0,
     kPowerCommand,
     {198, 42, "POWER", 9, LabelAlignment::Centre}},
    {{190, 104, 22, 14, FootprintKind::Button},
     kTickPicture,
     0,
     0,
     {201, 90, "TICK", 9, LabelAlignment::Centre}},
    {{40, 44, selectorWidth, selectorHeight, FootprintKind::Selector},
     0,
     0,
     kDeviceCommand,
     {40, 30, "DEVICE", 9, LabelAlignment::Left}},
    {{40, 92, selectorWidth, selectorHeight, FootprintKind::Selector},
     0,
     0,
     kRateCommand,
     {40, 78, "SAMPLE RATE", 9, LabelAlignment::Left}},
    {{636, 44, 3 * ledCellWidth, ledHeight, FootprintKind::Display},
     kLedPicture,
     kLedCells,
     0,
     {655, 30, "LATENCY", 9, LabelAlignment::Centre}},
    {{642, 92, 2 * ledCellWidth, ledHeight, FootprintKind::Display},
     kLedPicture,
     kLedCells,
     0,
     {655, 78, "CPU %", 9, LabelAlignment::Centre}},
}};

inline constexpr std::array<panel::PanelLabel, 5> labels = {{
    {panel::rackWidth - panel::rackEarWidth - 10, 2 * panel::slotHeight - 17, "CORVANE", 9,
     LabelAlignment::Right},
    {422, 16, "OUTPUT LEVEL", 9, LabelAlignment::Centre},
    {655, 66, "x100 SAMPLES", 6, LabelAlignment::Centre},
    {422, 122, "CHANNELS", 7, LabelAlignment::Centre},
    {105, 122, "POWER AMPLIFIER", 7, LabelAlignment::Centre},
}};

// The frame around the four output channels.
inline constexpr std::array<panel::PanelFootprint, 1> footprints = {{
    {226, 24, 392, 96, FootprintKind::Group},
}};

inline constexpr panel::PanelLayout panelLayout{
    panel::rackWidth, 2 * panel::slotHeight, "AMPLIFIER", labels, footprints, controls};

} // namespace amp_layout
