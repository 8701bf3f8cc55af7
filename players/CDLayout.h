#pragma once

// The CD player's front panel: one row per control (where it sits, what is
// printed with it, its picture, digit cells and child id) and the
// silk-screen text that belongs to no one control. Both CCDRack's control
// building and the artwork generator read this table.

#include "skinkit/panel/PanelLayout.h"

#include <array>
#include <cstddef>

namespace cd_layout
{

using panel::FootprintKind;
using panel::LabelAlignment;

// Child ids the panel's handler acts on.
constexpr int kPlayCommand = 500;
constexpr int kStopCommand = 501;
constexpr int kPauseCommand = 502;
constexpr int kPitchSwitchCommand = 504;

// Pictures: the transport buttons, the toggle switch (pitch, remaining
// time), the lamp, the horizontal meter, the red LED digits of the read-only
// displays and the amber ones of the two the user drags (11 cells of 12×20).
constexpr int kPlayPicture = 160;
constexpr int kStopPicture = 161;
constexpr int kPausePicture = 159;
constexpr int kSwitchPicture = 162;
constexpr int kLampPicture = 157;
constexpr int kMeterPicture = 158;
constexpr int kDisplayPicture = 163;
constexpr int kAdjustablePicture = 156;
constexpr int kLedCells = 11;

// Sizes the positions are planned around: transport buttons 28×18, toggle
// switches 22×14, lamps 12×12, 12×20 LED cells, meters 66×7.
constexpr int buttonWidth = 28;
constexpr int buttonHeight = 18;
constexpr int toggleWidth = 22;
constexpr int toggleHeight = 14;
constexpr int lampSize = 12;
constexpr int ledCellWidth = 12;
constexpr int ledHeight = 20;
constexpr int meterWidth = 66;
constexpr int meterHeight = 7;
// Digits shown: two for tracks, minutes and seconds, three for the pitch.
constexpr int trackPlaces = 2;
constexpr int timePlaces = 2;
constexpr int pitchPlaces = 3;

// The rows, in the order CCDRack lists its controls.
enum Control : std::size_t
{
    PlayButton,
    StopButton,
    PauseButton,
    PitchSwitch,
    RemainingSwitch,
    PlayingLamp,
    PausedLamp,
    MinutesDisplay,
    SecondsDisplay,
    CurrentTrackDisplay,
    TrackSelector,
    PitchDisplay,
    LeftMeter,
    RightMeter,
    ControlCount
};

namespace detail
{
// A push button with its name printed centred above it.
constexpr panel::PanelControl button(int x, int picture, int command, const char* name)
{
    return {{x, 30, buttonWidth, buttonHeight, FootprintKind::Button},
            picture,
            0,
            command,
            {x + buttonWidth / 2, 18, name, 7, LabelAlignment::Centre}};
}
// A toggle switch with its name printed to its right.
constexpr panel::PanelControl toggle(int x, int y, int command, const char* name)
{
    return {{x, y, toggleWidth, toggleHeight, FootprintKind::Button},
            kSwitchPicture,
            0,
            command,
            {x + toggleWidth + 4, y + 2, name, 7, LabelAlignment::Left}};
}
constexpr panel::PanelControl lamp(int x)
{
    return {{x, 52, lampSize, lampSize, FootprintKind::Lamp}, kLampPicture};
}
// LED digits with their name printed centred above them.
constexpr panel::PanelControl led(int x, int places, int picture, const char* name)
{
    return {{x, 30, places * ledCellWidth, ledHeight, FootprintKind::Display},
            picture,
            kLedCells,
            0,
            {x + places * ledCellWidth / 2, 18, name, 7, LabelAlignment::Centre}};
}
// A peak meter with its side's letter printed to its left.
constexpr panel::PanelControl meter(int y, const char* side)
{
    return {{52, y, meterWidth, meterHeight, FootprintKind::Meter},
            kMeterPicture,
            0,
            0,
            {44, y - 2, side, 7, LabelAlignment::Right}};
}
} // namespace detail

// The meters under the unit's name; the track selector beside the track
// playing; the pitch with its switch; the transport with its lamps under
// Play and Pause; minutes:seconds with the switch choosing elapsed or
// remaining time.
inline constexpr std::array<panel::PanelControl, ControlCount> controls = {{
    detail::button(360, kPlayPicture, kPlayCommand, "PLAY"),
    detail::button(432, kStopPicture, kStopCommand, "STOP"),
    detail::button(396, kPausePicture, kPauseCommand, "PAUSE"),
    detail::toggle(290, 34, kPitchSwitchCommand, "ON"),
    detail::toggle(490, 54, 0, "REMAIN"),
    detail::lamp(368),
    detail::lamp(404),
    detail::led(490, timePlaces, kDisplayPicture, "MIN"),
    detail::led(526, timePlaces, kDisplayPicture, "SEC"),
    detail::led(196, trackPlaces, kDisplayPicture, "PLAYING"),
    detail::led(150, trackPlaces, kAdjustablePicture, "TRACK"),
    detail::led(244, pitchPlaces, kAdjustablePicture, "PITCH"),
    detail::meter(38, "L"),
    detail::meter(50, "R"),
}};

inline constexpr std::array<panel::PanelLabel, 3> labels = {{
    {panel::rackWidth - panel::rackEarWidth - 10, panel::slotHeight - 14, "CORVANE", 9,
     LabelAlignment::Right},
    {520, 31, ":", 12, LabelAlignment::Centre},
    {262, 54, "50 - 150", 6, LabelAlignment::Centre},
}};

inline constexpr panel::PanelLayout panelLayout{
    panel::rackWidth, panel::slotHeight, "CD PLAYER", labels, {}, controls};

} // namespace cd_layout
