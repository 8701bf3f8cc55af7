#pragma once

// The recorder's front panel: one row per control (where it sits, what is
// printed with it, its picture and child id) and the silk-screen text that
// belongs to no one control. Both CRecorderRack's control building and the
// artwork generator read this table, so positions, pictures and labels
// cannot drift apart.

#include "skinkit/panel/PanelLayout.h"

#include <array>
#include <cstddef>
#include <span>

namespace recorder_layout
{

using panel::FootprintKind;
using panel::LabelAlignment;

// Child ids the panel's handler acts on (and the MIDI remote's commands).
constexpr int kPauseCommand = 518;
constexpr int kRecCommand = 519;
constexpr int kStopCommand = 520;
constexpr int kFolderCommand = 521;

// Pictures: the four buttons, the lamp, the LED digits (12 cells of 12×20)
// and the horizontal meter.
constexpr int kPausePicture = 168;
constexpr int kStopPicture = 164;
constexpr int kRecPicture = 169;
constexpr int kFolderPicture = 195;
constexpr int kLampPicture = 166;
constexpr int kLedPicture = 182;
constexpr int kLedCells = 12;
constexpr int kMeterPicture = 167;

// Sizes the positions are planned around: buttons 28×18, the lamp 12×12,
// 12×20 LED cells, horizontal meters 80×7.
constexpr int buttonWidth = 28;
constexpr int buttonHeight = 18;
constexpr int lampSize = 12;
constexpr int ledCellWidth = 12;
constexpr int ledHeight = 20;
constexpr int minutesPlaces = 3;
constexpr int secondsPlaces = 2;
constexpr int meterWidth = 80;
constexpr int meterHeight = 7;
constexpr int fileNameWidth = 250;
constexpr int fileNameHeight = 16;

// The rows. The file name display (a text control, not a skinned one) comes
// first and the panel creates it by hand from its row; the others follow in
// the order CRecorderRack lists its controls.
enum Control : std::size_t
{
    FileNameDisplay,
    PauseButton,
    StopButton,
    RecButton,
    FolderButton,
    RecordingLamp,
    MinutesDisplay,
    SecondsDisplay,
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

// The file being recorded under the unit's name with the folder button
// beside it; the transport with the lamp under Rec; minutes:seconds
// recorded; the left and right meters.
inline constexpr std::array<panel::PanelControl, ControlCount> controls = {{
    {{32, 26, fileNameWidth, fileNameHeight, FootprintKind::Display}},
    detail::button(428, kPausePicture, kPauseCommand, "PAUSE"),
    detail::button(464, kStopPicture, kStopCommand, "STOP"),
    detail::button(392, kRecPicture, kRecCommand, "REC"),
    detail::button(298, kFolderPicture, kFolderCommand, "FOLDER"),
    {{400, 51, lampSize, lampSize, FootprintKind::Lamp}, kLampPicture},
    detail::led(512, minutesPlaces),
    detail::led(556, secondsPlaces),
    detail::meter(30, "L"),
    detail::meter(42, "R"),
}};

// The rows of the skinned controls: every row but the file name display's.
inline constexpr std::span<const panel::PanelControl> skinnedControls =
    std::span(controls).subspan(PauseButton);

inline constexpr std::array<panel::PanelLabel, 5> labels = {{
    {panel::rackWidth - panel::rackEarWidth - 10, panel::slotHeight - 14, "CORVANE", 9,
     LabelAlignment::Right},
    {550, 14, "TIME", 7, LabelAlignment::Centre},
    {551, 29, ":", 12, LabelAlignment::Centre},
    {666, 16, "LEVEL", 7, LabelAlignment::Centre},
    {32, 46, "MP3 192 kbit/s", 7, LabelAlignment::Left},
}};

inline constexpr panel::PanelLayout panelLayout{
    panel::rackWidth, panel::slotHeight, "RECORDER", labels, {}, controls};

} // namespace recorder_layout
