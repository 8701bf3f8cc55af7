#pragma once

// The graphic equaliser's front panel: the two pair switches and their lamp,
// the 31 band sliders (18 pixels apart, lowest band on the left), the four
// preset switches and Reset. Read by CGraphicEqRack's control building and
// by the artwork generator.

#include "skinkit/panel/PanelLayout.h"

#include <array>
#include <cstddef>

namespace graphic_eq_layout
{

using panel::FootprintKind;
using panel::LabelAlignment;
using panel::PanelControl;

constexpr int bandCount = 31;
constexpr int presetCount = 4;

// Child ids: every slider shares one, each preset has its own, both pair
// switches share one.
constexpr int kSliderCommand = 550;
constexpr int kPresetCommand1 = 551;
constexpr int kResetCommand = 555;
constexpr int kPairCommand = 556;

constexpr int kPair1Picture = 149;
constexpr int kPair2Picture = 131;
constexpr int kLampPicture = 185;
constexpr int kPresetPicture1 = 186;
constexpr int kResetPicture = 190;
constexpr int kTrackPicture = 191;
constexpr int kThumbPicture = 192;

// Sizes the positions are planned around (track 16×110, pair switch 20×14,
// preset switch 22×16, Reset 34×16, lamp 12×12).
constexpr int sliderLeft = 162;
constexpr int sliderPitch = 18;
constexpr int sliderTop = 8;
constexpr int sliderWidth = 16;
constexpr int sliderHeight = 110;

enum Control : std::size_t
{
    Pair1Switch,
    Pair2Switch,
    Lamp,
    Slider1,
    Preset1 = Slider1 + bandCount,
    ResetButton = Preset1 + presetCount,
    ControlCount
};

namespace detail
{
// Printed under each slider: its centre frequency, short.
inline constexpr const char* bandNames[bandCount] = {
    "20",   "25",  "31",  "40",   "50",  "63",  "80",  "100",  "125",  "160", "200",
    "250",  "315", "400", "500",  "630", "800", "1k",  "1.2k", "1.6k", "2k",  "2.5k",
    "3.1k", "4k",  "5k",  "6.3k", "8k",  "10k", "12k", "16k",  "20k"};

constexpr int sliderX(int band)
{
    return sliderLeft + band * sliderPitch;
}

constexpr std::array<PanelControl, ControlCount> allControls()
{
    std::array<PanelControl, ControlCount> rows{};
    rows[Pair1Switch] = {{32, 40, 20, 14, FootprintKind::Button},
                         kPair1Picture,
                         0,
                         kPairCommand,
                         {42, 56, "1-2", 6, LabelAlignment::Centre}};
    rows[Pair2Switch] = {{60, 40, 20, 14, FootprintKind::Button},
                         kPair2Picture,
                         0,
                         kPairCommand,
                         {70, 56, "3-4", 6, LabelAlignment::Centre}};
    rows[Lamp] = {{92, 41, 12, 12, FootprintKind::Lamp},
                  kLampPicture,
                  0,
                  0,
                  {98, 56, "ON", 6, LabelAlignment::Centre}};
    for (int band = 0; band < bandCount; ++band)
        rows[Slider1 + static_cast<std::size_t>(band)] = {
            {sliderX(band), sliderTop, sliderWidth, sliderHeight, FootprintKind::Bare},
            kTrackPicture,
            kThumbPicture,
            kSliderCommand,
            {sliderX(band) + sliderWidth / 2, 121, bandNames[band], 6, LabelAlignment::Centre}};
    for (int preset = 0; preset < presetCount; ++preset)
        rows[Preset1 + static_cast<std::size_t>(preset)] = {
            {28 + 27 * preset, 80, 22, 16, FootprintKind::Button},
            kPresetPicture1 + preset,
            0,
            kPresetCommand1 + preset,
        };
    rows[ResetButton] = {{28, 106, 34, 16, FootprintKind::Button}, kResetPicture, 0, kResetCommand};
    return rows;
}
} // namespace detail

inline constexpr std::array<PanelControl, ControlCount> controls = detail::allControls();

inline constexpr std::array<panel::PanelLabel, 2> labels = {{
    {140, 124, "CORVANE", 7, LabelAlignment::Right},
    {74, 68, "PRESET", 6, LabelAlignment::Centre},
}};

// The frame around the sliders.
inline constexpr std::array<panel::PanelFootprint, 1> footprints = {{
    {sliderLeft - 4, 4, bandCount* sliderPitch + 6, 128, FootprintKind::Group},
}};

inline constexpr panel::PanelLayout panelLayout{
    panel::rackWidth, 2 * panel::slotHeight, "GRAPHIC EQ", labels, footprints, controls};

} // namespace graphic_eq_layout
