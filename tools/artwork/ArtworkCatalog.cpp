#include "ArtworkCatalog.h"

#include "ButtonArt.h"
#include "FaderArt.h"
#include "KnobArt.h"
#include "LampArt.h"
#include "LedDigitArt.h"
#include "MeterArt.h"
#include "UnitBackgrounds.h"

namespace
{
using Module = ArtworkEntry::Module;
using Glyph = ButtonArt::Glyph;

// Lamp and LED colours: one palette across every unit.
const QColor lampGreen(60, 240, 80);
const QColor lampAmber(255, 176, 32);
const QColor lampRed(255, 44, 32);
const QColor digitRed(255, 52, 28);
const QColor digitAmber(255, 150, 24);
const QColor pointerWhite(244, 244, 236);
const QColor pointerBlack(16, 16, 18);
const QColor pointerOrange(255, 110, 40);

// The VU meter's needle law: 64 pictures, 0 dB at picture 43, -20..+3 dB.
constexpr int vuFrames = 64;
constexpr int vuZeroFrame = 43;
constexpr int vuMinDb = -20;
constexpr int vuMaxDb = 3;

std::vector<ArtworkEntry> buildEntries()
{
    std::vector<ArtworkEntry> entries = {
        // skinkit's defaults.
        {Module::Skinkit, 9001, [] { return MeterArt::levelMeter(10, 100, true, 0); }},
        {Module::Skinkit, 9002, [] { return ButtonArt::pushButton(40, 20, Glyph::None); }},
        {Module::Skinkit, 9003, [] { return FaderArt::track(24, 100, 24); }},
        {Module::Skinkit, 9004, [] { return FaderArt::thumb(20, 24, pointerWhite); }},
        {Module::Skinkit, 9005, [] { return LedDigitArt::strip(14, 22, 13, digitRed); }},
        {Module::Skinkit, 9006,
         [] { return KnobArt::filmStrip(24, 45, KnobArt::Cap::Aluminium, pointerBlack); }},
        {Module::Skinkit, 9007, [] { return ButtonArt::checkBox(14, lampGreen); }},
        {Module::Skinkit, 9008, [] { return ButtonArt::comboArrow(14); }},
        {Module::Skinkit, 9012, [] { return MeterArt::scopeScreen(200, 60); }},
        {Module::Skinkit, 9018,
         [] { return MeterArt::vuStrip(84, 50, vuFrames, vuZeroFrame, vuMinDb, vuMaxDb); }},

        // Knobs: mixer sends, returns and EQ; mixer gain; pad start, end, gain.
        {Module::Corvane, 134,
         [] { return KnobArt::filmStrip(26, 66, KnobArt::Cap::Black, pointerWhite); }},
        {Module::Corvane, 139,
         [] { return KnobArt::filmStrip(28, 45, KnobArt::Cap::Black, pointerOrange); }},
        {Module::Corvane, 218,
         [] { return KnobArt::filmStrip(30, 49, KnobArt::Cap::Aluminium, pointerBlack); }},

        // Faders: mixer track and thumb; equaliser track and thumb.
        {Module::Corvane, 137, [] { return FaderArt::track(24, 118, 26); }},
        {Module::Corvane, 138, [] { return FaderArt::thumb(22, 26, pointerWhite); }},
        {Module::Corvane, 191, [] { return FaderArt::track(16, 110, 14); }},
        {Module::Corvane, 192, [] { return FaderArt::thumb(14, 14, pointerWhite); }},

        // LED digit strips: 13 cells (amplifier, instrument), 11 cells (CD,
        // MP3, pads; the CD's adjustable ones amber), 12 cells (recorder).
        {Module::Corvane, 135, [] { return LedDigitArt::strip(13, 20, 13, digitRed); }},
        {Module::Corvane, 156, [] { return LedDigitArt::strip(12, 20, 11, digitAmber); }},
        {Module::Corvane, 163, [] { return LedDigitArt::strip(12, 20, 11, digitRed); }},
        {Module::Corvane, 165, [] { return LedDigitArt::strip(12, 20, 11, digitRed); }},
        {Module::Corvane, 182, [] { return LedDigitArt::strip(12, 20, 12, digitRed); }},
        {Module::Corvane, 217, [] { return LedDigitArt::strip(12, 20, 11, digitRed); }},

        // Lamps.
        {Module::Corvane, 133, [] { return LampArt::lamp(12, lampGreen); }},
        {Module::Corvane, 142, [] { return LampArt::lamp(12, lampAmber); }},
        {Module::Corvane, 157, [] { return LampArt::lamp(12, lampGreen); }},
        {Module::Corvane, 166, [] { return LampArt::lamp(12, lampRed); }},
        {Module::Corvane, 185, [] { return LampArt::lamp(12, lampGreen); }},

        // Meters: mixer channels (ladder of 5) and outputs (9), effect (6),
        // CD (6), MP3 and recorder (8).
        {Module::Corvane, 140, [] { return MeterArt::levelMeter(8, 60, true, 5); }},
        {Module::Corvane, 141, [] { return MeterArt::levelMeter(10, 90, true, 9); }},
        {Module::Corvane, 143, [] { return MeterArt::levelMeter(60, 7, false, 6); }},
        {Module::Corvane, 158, [] { return MeterArt::levelMeter(66, 7, false, 6); }},
        {Module::Corvane, 167, [] { return MeterArt::levelMeter(80, 7, false, 8); }},

        // Switches and buttons.
        {Module::Corvane, 130, [] { return ButtonArt::pushButton(32, 16, Glyph::None); }},
        {Module::Corvane, 131,
         [] { return ButtonArt::toggleButton(20, 14, lampAmber, Glyph::Text, "2"); }},
        {Module::Corvane, 149,
         [] { return ButtonArt::toggleButton(20, 14, lampGreen, Glyph::Text, "1"); }},
        {Module::Corvane, 145,
         [] { return ButtonArt::toggleButton(44, 26, lampRed, Glyph::Power); }},
        {Module::Corvane, 150, [] { return ButtonArt::toggleButton(30, 16, lampGreen); }},
        {Module::Corvane, 151, [] { return ButtonArt::toggleButton(22, 14, lampAmber); }},
        {Module::Corvane, 159, [] { return ButtonArt::pushButton(28, 18, Glyph::Pause); }},
        {Module::Corvane, 160, [] { return ButtonArt::pushButton(28, 18, Glyph::Play); }},
        {Module::Corvane, 161, [] { return ButtonArt::pushButton(28, 18, Glyph::Stop); }},
        {Module::Corvane, 162, [] { return ButtonArt::toggleButton(22, 14, lampAmber); }},
        {Module::Corvane, 164, [] { return ButtonArt::pushButton(28, 18, Glyph::Stop); }},
        {Module::Corvane, 168, [] { return ButtonArt::pushButton(28, 18, Glyph::Pause); }},
        {Module::Corvane, 169, [] { return ButtonArt::pushButton(28, 18, Glyph::Record); }},
        {Module::Corvane, 181, [] { return ButtonArt::pushButton(28, 18, Glyph::Eject); }},
        {Module::Corvane, 183, [] { return ButtonArt::toggleButton(20, 14, lampAmber); }},
        {Module::Corvane, 190, [] { return ButtonArt::pushButton(34, 16, Glyph::Text, "RESET"); }},
        {Module::Corvane, 194, [] { return ButtonArt::pushButton(28, 18, Glyph::Remove); }},
        {Module::Corvane, 195, [] { return ButtonArt::pushButton(28, 18, Glyph::Folder); }},
        {Module::Corvane, 197,
         [] { return ButtonArt::toggleButton(34, 18, lampGreen, Glyph::PlayStop); }},
        {Module::Corvane, 199, [] { return ButtonArt::checkBox(14, lampGreen); }},
        {Module::Corvane, 220, [] { return ButtonArt::pushButton(22, 16, Glyph::Eject); }},

        // The wave scope's screen in the loop player.
        {Module::Corvane, 196, [] { return MeterArt::scopeScreen(360, 80); }},

        {Module::Corvane, UnitBackgrounds::viewPictureId,
         [] { return UnitBackgrounds::viewBackground(); }},
    };
    // The equaliser's four preset switches.
    for (int preset = 1; preset <= 4; ++preset)
        entries.push_back({Module::Corvane, 185 + preset, [preset] {
                               return ButtonArt::toggleButton(22, 16, lampGreen, Glyph::Text,
                                                              QString::number(preset));
                           }});
    // The eight trigger pads, normal (201..208) and as the edited pad (209..216).
    for (int pad = 0; pad < 8; ++pad)
    {
        entries.push_back({Module::Corvane, 201 + pad, [pad] {
                               return ButtonArt::pad(46, 30, QString::number(pad + 1), false);
                           }});
        entries.push_back({Module::Corvane, 209 + pad, [pad] {
                               return ButtonArt::pad(46, 30, QString::number(pad + 1), true);
                           }});
    }
    for (const UnitBackground& unit : UnitBackgrounds::units())
        entries.push_back(
            {Module::Corvane, unit.pictureId, [unit] { return UnitBackgrounds::draw(unit); }});
    return entries;
}
} // namespace

const std::vector<ArtworkEntry>& ArtworkCatalog::entries()
{
    static const std::vector<ArtworkEntry> table = buildEntries();
    return table;
}
