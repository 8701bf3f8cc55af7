#pragma once

// The MP3 player's front panel: one row per control (where it sits, what is
// printed under and beside it, its picture and child id), and the silk-screen
// text that belongs to no one control. Both CMP3Rack's control building and
// the artwork generator read this table, so positions, pictures and labels
// cannot drift apart.

#include "skinkit/panel/PanelLayout.h"

#include <array>
#include <cstddef>
#include <span>

namespace mp3_layout
{

using panel::FootprintKind;
using panel::LabelAlignment;

// Child ids the panel's handler acts on.
constexpr int kPauseCommand = 600;
constexpr int kOpenCommand = 601;
constexpr int kPlayCommand = 602;
constexpr int kStopCommand = 603;
constexpr int kRemoveCommand = 604;
constexpr int kPlaylistCommand = 605;
constexpr int kPlayAllCommand = 606;

// Pictures: the five transport and playlist buttons, the toggle switch (play
// all, remaining time), the LED digits (11 cells of 12×20), the lamp and the
// horizontal meter.
constexpr int kPausePicture = 168;
constexpr int kOpenPicture = 181;
constexpr int kPlayPicture = 160;
constexpr int kStopPicture = 164;
constexpr int kRemovePicture = 194;
constexpr int kSwitchPicture = 162;
constexpr int kLedPicture = 165;
constexpr int kLedCells = 11;
constexpr int kLampPicture = 166;
constexpr int kMeterPicture = 167;

// Sizes the positions are planned around: transport buttons 28×18, toggle
// switches 22×14, lamps 12×12, 12×20 LED cells, horizontal meters 80×7, the
// selector's 14-pixel arrow plus its 2-pixel border.
constexpr int buttonWidth = 28;
constexpr int buttonHeight = 18;
constexpr int toggleWidth = 22;
constexpr int toggleHeight = 14;
constexpr int lampSize = 12;
constexpr int ledCellWidth = 12;
constexpr int ledHeight = 20;
constexpr int minutesPlaces = 3;
constexpr int secondsPlaces = 2;
constexpr int meterWidth = 80;
constexpr int meterHeight = 7;
constexpr int titleWidth = 250;
constexpr int titleHeight = 16;
constexpr int selectorWidth = 250;
constexpr int selectorHeight = 16;

// The rows. The title display (a text control, not a skinned one) comes
// first and the panel creates it by hand from its row; the others follow in
// the order CMP3Rack lists its controls. Where printed footprints touch, the
// later row is painted over the earlier one.
enum Control : std::size_t
{
    TitleDisplay,
    PauseButton,
    OpenButton,
    PlayButton,
    StopButton,
    RemoveButton,
    PlayAllSwitch,
    PlaylistSelector,
    MinutesDisplay,
    SecondsDisplay,
    RemainingSwitch,
    PlayingLamp,
    PausedLamp,
    LeftMeter,
    RightMeter,
    ControlCount,
    SkinnedControlCount = ControlCount - 1
};

namespace detail
{
// A push button with its name printed centred above it.
constexpr panel::PanelControl button(int x, int picture, int command, const char* name)
{
    return {{x, 28, buttonWidth, buttonHeight, FootprintKind::Button},
            picture,
            0,
            command,
            {x + buttonWidth / 2, 16, name, 7, LabelAlignment::Centre}};
}
// A toggle switch with its name printed to its right.
constexpr panel::PanelControl toggle(int x, int command, const char* name)
{
    return {{x, 50, toggleWidth, toggleHeight, FootprintKind::Button},
            kSwitchPicture,
            0,
            command,
            {x + toggleWidth + 4, 52, name, 7, LabelAlignment::Left}};
}
constexpr panel::PanelControl lamp(int x)
{
    return {{x, 51, lampSize, lampSize, FootprintKind::Lamp}, kLampPicture};
}
constexpr panel::PanelControl led(int x, int places)
{
    return {
        {x, 26, places * ledCellWidth, ledHeight, FootprintKind::Display}, kLedPicture, kLedCells};
}
// A peak meter with its side's letter printed to its left.
constexpr panel::PanelControl meter(int y, const char* side)
{
    return {{626, y, meterWidth, meterHeight, FootprintKind::Meter},
            kMeterPicture,
            0,
            0,
            {618, y - 2, side, 7, LabelAlignment::Right}};
}
} // namespace detail

// Track title and playlist under the unit's name; the playlist buttons; the
// transport with its lamps under Play and Pause; minutes:seconds with the
// switch choosing elapsed or remaining time; the left and right meters.
inline constexpr std::array<panel::PanelControl, ControlCount> controls = {{
    {{32, 26, titleWidth, titleHeight, FootprintKind::Display}},
    detail::button(428, kPausePicture, kPauseCommand, "PAUSE"),
    detail::button(298, kOpenPicture, kOpenCommand, "OPEN"),
    detail::button(392, kPlayPicture, kPlayCommand, "PLAY"),
    detail::button(464, kStopPicture, kStopCommand, "STOP"),
    detail::button(334, kRemovePicture, kRemoveCommand, "REMOVE"),
    detail::toggle(301, kPlayAllCommand, "ALL"),
    {{32, 48, selectorWidth, selectorHeight, FootprintKind::Selector}, 0, 0, kPlaylistCommand},
    detail::led(512, minutesPlaces),
    detail::led(556, secondsPlaces),
    detail::toggle(515, 0, "REMAIN"),
    detail::lamp(400),
    detail::lamp(436),
    detail::meter(30, "L"),
    detail::meter(42, "R"),
}};

// The rows of the skinned controls: every row but the title display's.
inline constexpr std::span<const panel::PanelControl> skinnedControls =
    std::span(controls).subspan(PauseButton);

inline constexpr std::array<panel::PanelLabel, 4> labels = {{
    {panel::rackWidth - panel::rackEarWidth - 10, panel::slotHeight - 14, "CORVANE", 9,
     LabelAlignment::Right},
    {550, 14, "TIME", 7, LabelAlignment::Centre},
    {551, 29, ":", 12, LabelAlignment::Centre},
    {666, 16, "LEVEL", 7, LabelAlignment::Centre},
}};

inline constexpr panel::PanelLayout panelLayout{
    panel::rackWidth, panel::slotHeight, "MP3 PLAYER", labels, {}, controls};

} // namespace mp3_layout
