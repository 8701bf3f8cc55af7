#pragma once

// The dual effect rack's front panel: per slot the plug-in's name display,
// the LOAD, EDIT and ON buttons under it and the IN and OUT meters beside
// it. Both CEffectRack's control building and the artwork generator read
// this table, so positions, pictures and labels cannot drift apart.

#include "skinkit/panel/PanelLayout.h"

#include <array>
#include <cstddef>
#include <span>

namespace effect_layout
{

using panel::FootprintKind;
using panel::LabelAlignment;

// Child ids: load slot 1/2, open editor 1/2.
constexpr int kLoadCommand1 = 100;
constexpr int kLoadCommand2 = 101;
constexpr int kEditorCommand1 = 110;
constexpr int kEditorCommand2 = 111;

// Pictures: the button (all three kinds) and the horizontal meter (a ladder
// of six LEDs).
constexpr int kButtonPicture = 150;
constexpr int kMeterPicture = 143;
constexpr unsigned kMeterLeds = 6;

// Sizes the positions are planned around: buttons 30×16, meters 60×7.
constexpr int buttonWidth = 30;
constexpr int buttonHeight = 16;
constexpr int meterWidth = 60;
constexpr int meterHeight = 7;
constexpr int nameWidth = 180;
constexpr int nameHeight = 16;
// Slot 2 sits this far right of slot 1.
constexpr int slotPitch = 350;
constexpr int slotLeft = 32;

// The rows. The two name displays (text controls, not skinned ones) come
// first and the panel creates them by hand from their rows; the skinned
// controls follow in the order CEffectRack lists them.
enum Control : std::size_t
{
    NameDisplay1,
    NameDisplay2,
    LoadButton1,
    LoadButton2,
    EditorButton1,
    EditorButton2,
    OnSwitch1,
    OnSwitch2,
    InputMeter1,
    OutputMeter1,
    InputMeter2,
    OutputMeter2,
    ControlCount,
    SkinnedControlCount = ControlCount - LoadButton1
};

namespace detail
{
constexpr int left(int slot)
{
    return slotLeft + slot * slotPitch;
}
constexpr panel::PanelControl name(int slot)
{
    return {{left(slot), 28, nameWidth, nameHeight, FootprintKind::Display}};
}
// A button under the name display with its name printed to its right.
constexpr panel::PanelControl button(int slot, int offset, int command, const char* text)
{
    return {{left(slot) + offset, 48, buttonWidth, buttonHeight, FootprintKind::Button},
            kButtonPicture,
            0,
            command,
            {left(slot) + offset + buttonWidth + 4, 51, text, 7, LabelAlignment::Left}};
}
// A meter beside the name display with its name printed to its left.
constexpr panel::PanelControl meter(int slot, int y, const char* text)
{
    return {{left(slot) + nameWidth + 50, y, meterWidth, meterHeight, FootprintKind::Meter},
            kMeterPicture,
            0,
            0,
            {left(slot) + nameWidth + 44, y - 2, text, 7, LabelAlignment::Right}};
}
} // namespace detail

inline constexpr std::array<panel::PanelControl, ControlCount> controls = {{
    detail::name(0),
    detail::name(1),
    detail::button(0, 0, kLoadCommand1, "LOAD"),
    detail::button(1, 0, kLoadCommand2, "LOAD"),
    detail::button(0, 70, kEditorCommand1, "EDIT"),
    detail::button(1, 70, kEditorCommand2, "EDIT"),
    detail::button(0, 140, 0, "ON"),
    detail::button(1, 140, 0, "ON"),
    detail::meter(0, 32, "IN"),
    detail::meter(0, 50, "OUT"),
    detail::meter(1, 32, "IN"),
    detail::meter(1, 50, "OUT"),
}};

// The rows of the skinned controls: every row but the name displays'.
inline constexpr std::span<const panel::PanelControl> skinnedControls =
    std::span(controls).subspan(LoadButton1);

inline constexpr std::array<panel::PanelLabel, 3> labels = {{
    {panel::rackWidth - panel::rackEarWidth - 10, panel::slotHeight - 14, "CORVANE", 9,
     LabelAlignment::Right},
    {detail::left(0) + nameWidth, 15, "EFFECT 1", 7, LabelAlignment::Right},
    {detail::left(1) + nameWidth, 15, "EFFECT 2", 7, LabelAlignment::Right},
}};

inline constexpr panel::PanelLayout panelLayout{
    panel::rackWidth, panel::slotHeight, "DUAL EFFECT", labels, {}, controls};

} // namespace effect_layout
