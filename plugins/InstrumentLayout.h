#pragma once

// The instrument rack's front panel, two rack slots high: the plug-in's name
// with LOAD, EDIT, PANIC and the MIDI lamp under it and the MIDI input
// selector below; the transpose, channel, bank and program displays in the
// middle; the sixteen preset buttons (four rows of four, numbered row by
// row) with RENAME and the preset's name under them. CVSTiRack's control
// building and the artwork generator both read this table.

#include "skinkit/panel/PanelLayout.h"

#include <array>
#include <cstddef>
#include <span>
#include <utility>

namespace instrument_layout
{

using panel::FootprintKind;
using panel::LabelAlignment;

// Child ids.
constexpr int kLoadCommand = 300;
constexpr int kEditorCommand = 301;
constexpr int kBankMsbCommand = 302;
constexpr int kBankLsbCommand = 303;
constexpr int kPanicCommand = 304;
constexpr int kTransposeCommand = 305;
constexpr int kChannelCommand = 307;
constexpr int kProgramCommand = 311;
constexpr int kPortCommand = 400;
constexpr int kFirstPresetCommand = 1500;
constexpr int kRenameCommand = 3310;
constexpr int kPresetCount = 16;
constexpr int kPresetColumns = 4;

// Pictures: the push button, the MIDI lamp, the LED digits (13 cells of
// 13×20) and the preset check box.
constexpr int kButtonPicture = 130;
constexpr int kLampPicture = 142;
constexpr int kLedPicture = 135;
constexpr int kLedCells = 13;
constexpr int kPresetPicture = 199;

// Sizes the positions are planned around.
constexpr int buttonWidth = 32;
constexpr int buttonHeight = 16;
constexpr int lampSize = 12;
constexpr int ledCellWidth = 13;
constexpr int ledHeight = 20;
constexpr int textWidth = 200;
constexpr int textHeight = 16;
constexpr int presetWidth = 66;
constexpr int presetHeight = 14;
constexpr int presetLeft = 440;
constexpr int presetTop = 26;
constexpr int presetPitchX = 68;
constexpr int presetPitchY = 20;

// The rows: the two text displays first (made by hand from their rows),
// then the skinned controls in the order CVSTiRack lists them.
enum Control : std::size_t
{
    NameDisplay,
    PresetNameDisplay,
    LoadButton,
    EditorButton,
    PanicButton,
    RenameButton,
    ActivityLamp,
    PortSelector,
    TransposeDisplay,
    ChannelDisplay,
    BankMsbDisplay,
    BankLsbDisplay,
    ProgramDisplay,
    FirstPreset,
    ControlCount = FirstPreset + kPresetCount,
    SkinnedControlCount = ControlCount - LoadButton
};

namespace detail
{
// A push button with its name printed under it.
constexpr panel::PanelControl button(int x, int y, int command, const char* text)
{
    return {{x, y, buttonWidth, buttonHeight, FootprintKind::Button},
            kButtonPicture,
            0,
            command,
            {x + buttonWidth / 2, y + buttonHeight + 3, text, 7, LabelAlignment::Centre}};
}
// LED digits with their name printed above.
constexpr panel::PanelControl led(int x, int y, int places, int command, const char* text)
{
    return {{x, y, places * ledCellWidth, ledHeight, FootprintKind::Display},
            kLedPicture,
            kLedCells,
            command,
            {x + places * ledCellWidth / 2, y - 12, text, 7, LabelAlignment::Centre}};
}
constexpr panel::PanelControl preset(int index)
{
    return {{presetLeft + (index % kPresetColumns) * presetPitchX,
             presetTop + (index / kPresetColumns) * presetPitchY, presetWidth, presetHeight,
             FootprintKind::Bare},
            kPresetPicture,
            0,
            kFirstPresetCommand + index};
}
template <std::size_t... Index>
constexpr std::array<panel::PanelControl, ControlCount> rows(std::index_sequence<Index...>)
{
    return {{
        {{40, 26, textWidth, textHeight, FootprintKind::Display}},
        {{presetLeft + 44, 108, 160, textHeight, FootprintKind::Display}},
        button(40, 50, kLoadCommand, "LOAD"),
        button(96, 50, kEditorCommand, "EDIT"),
        button(152, 50, kPanicCommand, "PANIC"),
        button(presetLeft, 108, kRenameCommand, "RENAME"),
        {{220, 52, lampSize, lampSize, FootprintKind::Lamp},
         kLampPicture,
         0,
         0,
         {226, 69, "MIDI", 7, LabelAlignment::Centre}},
        {{40, 100, textWidth, textHeight, FootprintKind::Selector},
         0,
         0,
         kPortCommand,
         {40, 88, "MIDI IN", 7, LabelAlignment::Left}},
        led(280, 40, 3, kTransposeCommand, "TRANSPOSE"),
        led(360, 40, 2, kChannelCommand, "CHANNEL"),
        led(270, 96, 3, kBankMsbCommand, "BANK MSB"),
        led(318, 96, 3, kBankLsbCommand, "BANK LSB"),
        led(366, 96, 3, kProgramCommand, "PROGRAM"),
        preset(Index)...,
    }};
}
} // namespace detail

inline constexpr std::array<panel::PanelControl, ControlCount> controls =
    detail::rows(std::make_index_sequence<kPresetCount>());

// The rows of the skinned controls: every row but the two text displays'.
inline constexpr std::span<const panel::PanelControl> skinnedControls =
    std::span(controls).subspan(LoadButton);

inline constexpr std::array<panel::PanelLabel, 2> labels = {{
    {panel::rackWidth - panel::rackEarWidth - 10, 2 * panel::slotHeight - 17, "CORVANE", 9,
     LabelAlignment::Right},
    {presetLeft, 14, "PRESETS", 7, LabelAlignment::Left},
}};

inline constexpr panel::PanelLayout panelLayout{
    panel::rackWidth, 2 * panel::slotHeight, "VSTi", labels, {}, controls};

} // namespace instrument_layout
