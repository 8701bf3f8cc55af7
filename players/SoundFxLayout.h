#pragma once

// The sound-effect pads' front panel, two rack slots high: eight columns of
// trigger pad, file-name display and load button, then the edited pad's
// start, end and gain knobs with their LED displays. Read by CSoundFxRack's
// control building and by the artwork generator.

#include "skinkit/panel/PanelLayout.h"

#include <array>
#include <cstddef>
#include <span>

namespace soundfx_layout
{

using panel::FootprintKind;
using panel::LabelAlignment;
using panel::PanelControl;

constexpr int padCount = 8;

// Child ids: pad i triggers with kTriggerCommand1 + i and loads with
// kLoadCommand1 + i; the knobs have one each.
constexpr int kTriggerCommand1 = 550;
constexpr int kLoadCommand1 = 660;
constexpr int kStartCommand = 4770;
constexpr int kEndCommand = 4771;
constexpr int kGainCommand = 4772;

// Pictures: pad i is kPadPicture1 + i, and kEditedPadPicture1 + i while it
// is the edited pad; the load button; the knob (49 frames); LED digits (11
// cells of 12×20).
constexpr int kPadPicture1 = 201;
constexpr int kEditedPadPicture1 = 209;
constexpr int kLoadPicture = 220;
constexpr int kKnobPicture = 218;
constexpr int kKnobFrames = 49;
constexpr int kLedPicture = 217;
constexpr int kLedCells = 11;

// Sizes the positions are planned around: pads 46×30, load buttons 22×16,
// knobs 30×30, 12×20 LED cells.
constexpr int padWidth = 46;
constexpr int padHeight = 30;
constexpr int padLeft = 34;
constexpr int padPitch = 60;
constexpr int padTop = 30;
constexpr int textTop = 64;
constexpr int textHeight = 14;
constexpr int loadWidth = 22;
constexpr int loadHeight = 16;
constexpr int loadTop = 84;
constexpr int knobSize = 30;
constexpr int knobTop = 34;
constexpr int ledCellWidth = 12;
constexpr int ledHeight = 20;
constexpr int ledTop = 86;
constexpr int msPlaces = 4;
constexpr int dbPlaces = 3;

enum Control : std::size_t
{
    Pad1,
    Load1 = Pad1 + padCount,
    StartKnob = Load1 + padCount,
    EndKnob,
    GainKnob,
    StartDisplay,
    EndDisplay,
    GainDisplay,
    // The file-name texts are text controls, not skinned ones: the panel
    // builds them by hand from their rows.
    PadText1,
    ControlCount = PadText1 + padCount,
    SkinnedControlCount = PadText1
};

namespace detail
{
constexpr int padX(int pad)
{
    return padLeft + pad * padPitch;
}

constexpr int padCentre(int pad)
{
    return padX(pad) + padWidth / 2;
}

// The knobs' column centres, right of the pads.
constexpr int knobCentre(int knob)
{
    return 556 + knob * 60;
}

constexpr PanelControl knob(int index, int command, const char* name)
{
    return {{knobCentre(index) - knobSize / 2, knobTop, knobSize, knobSize, FootprintKind::Knob},
            kKnobPicture,
            kKnobFrames,
            command,
            {knobCentre(index), knobTop - 10, name, 6, LabelAlignment::Centre}};
}

constexpr PanelControl led(int index, int places, const char* unit)
{
    const int width = places * ledCellWidth;
    return {{knobCentre(index) - width / 2, ledTop, width, ledHeight, FootprintKind::Display},
            kLedPicture,
            kLedCells,
            0,
            {knobCentre(index), ledTop + 24, unit, 6, LabelAlignment::Centre}};
}

constexpr std::array<PanelControl, ControlCount> allControls()
{
    std::array<PanelControl, ControlCount> rows{};
    for (int pad = 0; pad < padCount; ++pad)
    {
        const auto index = static_cast<std::size_t>(pad);
        rows[Pad1 + index] = {{padX(pad), padTop, padWidth, padHeight, FootprintKind::Button},
                              kPadPicture1 + pad,
                              0,
                              kTriggerCommand1 + pad};
        rows[Load1 + index] = {
            {padCentre(pad) - loadWidth / 2, loadTop, loadWidth, loadHeight, FootprintKind::Button},
            kLoadPicture,
            0,
            kLoadCommand1 + pad,
            {padCentre(pad), loadTop + 19, "LOAD", 6, LabelAlignment::Centre}};
        rows[PadText1 + index] = {
            {padCentre(pad) - 28, textTop, 56, textHeight, FootprintKind::Display}};
    }
    rows[StartKnob] = knob(0, kStartCommand, "START");
    rows[EndKnob] = knob(1, kEndCommand, "END");
    rows[GainKnob] = knob(2, kGainCommand, "GAIN");
    rows[StartDisplay] = led(0, msPlaces, "ms");
    rows[EndDisplay] = led(1, msPlaces, "ms");
    rows[GainDisplay] = led(2, dbPlaces, "dB");
    return rows;
}
} // namespace detail

inline constexpr std::array<PanelControl, ControlCount> controls = detail::allControls();

inline constexpr std::span<const PanelControl> skinnedControls =
    std::span(controls).first(SkinnedControlCount);

inline constexpr std::array<panel::PanelLabel, 2> labels = {{
    {panel::rackWidth - panel::rackEarWidth - 10, 2 * panel::slotHeight - 14, "CORVANE", 9,
     LabelAlignment::Right},
    {616, 8, "EDITED PAD", 7, LabelAlignment::Centre},
}};

// The frame around the edited pad's knobs and displays.
inline constexpr std::array<panel::PanelFootprint, 1> footprints = {{
    {520, 20, 192, 100, FootprintKind::Group},
}};

inline constexpr panel::PanelLayout panelLayout{
    panel::rackWidth, 2 * panel::slotHeight, "SOUND FX", labels, footprints, controls};

} // namespace soundfx_layout
