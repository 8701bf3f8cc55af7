#pragma once

// The loop player's front panel, two rack slots high: one row per control
// (where it sits, what is printed with it, its picture and child id) and the
// silk-screen text that belongs to no one control. CLoopRack's control
// building and the artwork generator both read this table.

#include "skinkit/panel/PanelLayout.h"

#include <array>
#include <cstddef>
#include <span>

namespace loop_layout
{

using panel::FootprintKind;
using panel::LabelAlignment;

inline constexpr int kSlotCount = 6;

// Child ids the panel's handler acts on: one per slot for Load and Select.
constexpr int kScopeCommand = 0;
constexpr int kPlayCommand = 870;
constexpr int kLoopCommand = 880;
constexpr int kFirstLoadCommand = 850;
constexpr int kFirstSelectCommand = 860;

// Pictures: the scope's screen (360×80), the play/stop switch (34×18), the
// loop switch (30×16), the load buttons (32×16) and the check boxes (14×14).
constexpr int kScopePicture = 196;
constexpr int kPlayPicture = 197;
constexpr int kLoopPicture = 150;
constexpr int kLoadPicture = 130;
constexpr int kSelectPicture = 199;

constexpr int scopeWidth = 360;
constexpr int scopeHeight = 80;
constexpr int loadWidth = 32;
constexpr int loadHeight = 16;
constexpr int selectHeight = 14;
constexpr int selectWidth = 82;
// The slots stand in two columns of three, 26 pixels apart.
constexpr int slotRowPitch = 26;
constexpr int firstSlotRowY = 36;
constexpr int slotColumnX[2] = {466, 598};

// The rows. The scope (not one of the table-built controls) comes first and
// the panel creates it from its row by hand; the others follow in the order
// CLoopRack lists its controls.
enum Control : std::size_t
{
    Scope,
    PlayButton,
    LoopButton,
    FirstLoadButton,
    FirstSelectBox = FirstLoadButton + kSlotCount,
    ControlCount = FirstSelectBox + kSlotCount,
    SkinnedControlCount = ControlCount - 1
};

namespace detail
{
constexpr int slotX(int slot)
{
    return slotColumnX[slot / 3];
}
constexpr int slotY(int slot)
{
    return firstSlotRowY + (slot % 3) * slotRowPitch;
}
// The slot's Load button, its number printed to its left.
constexpr panel::PanelControl loadButton(int slot)
{
    constexpr const char* numbers[kSlotCount] = {"1", "2", "3", "4", "5", "6"};
    return {{slotX(slot), slotY(slot), loadWidth, loadHeight, FootprintKind::Button},
            kLoadPicture,
            0,
            kFirstLoadCommand + slot,
            {slotX(slot) - 5, slotY(slot) + 3, numbers[slot], 8, LabelAlignment::Right}};
}
// The slot's select box with the file's name beside it.
constexpr panel::PanelControl selectBox(int slot)
{
    return {{slotX(slot) + loadWidth + 6, slotY(slot) + 1, selectWidth, selectHeight,
             FootprintKind::Bare},
            kSelectPicture,
            0,
            kFirstSelectCommand + slot};
}
constexpr std::array<panel::PanelControl, ControlCount> rows()
{
    std::array<panel::PanelControl, ControlCount> table{};
    table[Scope] = {
        {32, 34, scopeWidth, scopeHeight, FootprintKind::Display}, kScopePicture, 0, kScopeCommand};
    table[PlayButton] = {{412, 40, 34, 18, FootprintKind::Button},
                         kPlayPicture,
                         0,
                         kPlayCommand,
                         {429, 26, "PLAY", 7, LabelAlignment::Centre}};
    table[LoopButton] = {{414, 90, 30, 16, FootprintKind::Button},
                         kLoopPicture,
                         0,
                         kLoopCommand,
                         {429, 76, "LOOP", 7, LabelAlignment::Centre}};
    for (int slot = 0; slot < kSlotCount; ++slot)
    {
        table[FirstLoadButton + static_cast<size_t>(slot)] = loadButton(slot);
        table[FirstSelectBox + static_cast<size_t>(slot)] = selectBox(slot);
    }
    return table;
}
} // namespace detail

inline constexpr std::array<panel::PanelControl, ControlCount> controls = detail::rows();

// The rows of the table-built controls: every row but the scope's.
inline constexpr std::span<const panel::PanelControl> skinnedControls =
    std::span(controls).subspan(PlayButton);

inline constexpr std::array<panel::PanelLabel, 3> labels = {{
    {panel::rackWidth - panel::rackEarWidth - 10, 2 * panel::slotHeight - 17, "CORVANE", 9,
     LabelAlignment::Right},
    {slotColumnX[0] + 16, 22, "LOAD", 7, LabelAlignment::Centre},
    {slotColumnX[1] + 16, 22, "LOAD", 7, LabelAlignment::Centre},
}};

// The six slots inside one engraved frame.
inline constexpr std::array<panel::PanelFootprint, 1> footprints = {{
    {450, 18, 274, 100, FootprintKind::Group},
}};

inline constexpr panel::PanelLayout panelLayout{
    panel::rackWidth, 2 * panel::slotHeight, "LOOP PLAYER", labels, footprints, controls};

} // namespace loop_layout
