#include "app/RackLayout.h"
#include "utilkit/Ini.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

namespace
{

using namespace rack;

// Every slot from 0 to slotCount - 1 is covered by exactly one unit.
::testing::AssertionResult gapFree(const RackLayout& layout, int slotCount)
{
    std::vector<int> cover(static_cast<size_t>(slotCount), 0);
    for (size_t unit = 0; unit < RackUnitCount; ++unit)
        for (int slot = layout.position(unit); slot < layout.position(unit) + layout.height(unit);
             ++slot)
        {
            if (slot < 0 || slot >= slotCount)
                return ::testing::AssertionFailure() << kRackUnits[unit].name << " left the rack";
            ++cover[static_cast<size_t>(slot)];
        }
    for (int slot = 0; slot < slotCount; ++slot)
        if (cover[static_cast<size_t>(slot)] != 1)
            return ::testing::AssertionFailure() << "slot " << slot << " covered "
                                                 << cover[static_cast<size_t>(slot)] << " times";
    return ::testing::AssertionSuccess();
}

TEST(RackLayout, DefaultStackFillsEighteenSlotsAndItsEdgeUnitsStayPut)
{
    RackLayout layout;
    EXPECT_TRUE(gapFree(layout, kDefaultSlotCount));
    EXPECT_EQ(layout.unitY(Mixer, 0), 2 * 69);
    EXPECT_EQ(layout.unitY(Mixer, 100), 2 * 69 - 100);
    EXPECT_FALSE(layout.moveUp(Amplifier));
    EXPECT_FALSE(layout.moveDown(GraphicEQ));
    EXPECT_EQ(layout.position(Amplifier), 0);
    EXPECT_EQ(layout.position(GraphicEQ), 16);
}

TEST(RackLayout, UnitsOfDifferentHeightsSwapWithinTheirSpan)
{
    RackLayout layout;
    // The one-slot effect rack moves up past the four-slot mixer.
    EXPECT_TRUE(layout.moveUp(DualEffect));
    EXPECT_EQ(layout.position(DualEffect), 2);
    EXPECT_EQ(layout.position(Mixer), 3);
    EXPECT_TRUE(gapFree(layout, kDefaultSlotCount));

    // And back down: the mixer moving down past the effect rack.
    EXPECT_TRUE(layout.moveDown(DualEffect));
    EXPECT_EQ(layout.position(DualEffect), 6);
    EXPECT_EQ(layout.position(Mixer), 2);

    // A two-slot unit past a one-slot one: the pads (13) up past the loop (11).
    EXPECT_TRUE(layout.moveDown(CDPlayer));
    EXPECT_EQ(layout.position(LoopPlayer), 10);
    EXPECT_EQ(layout.position(CDPlayer), 12);
    EXPECT_TRUE(gapFree(layout, kDefaultSlotCount));
}

TEST(RackLayout, TiesPickTheUnitTheFixedOrderNames)
{
    RackLayout layout;
    // Two units on one position (as a hand-edited settings file may have).
    layout.setPosition(CDPlayer, 9); // the MP3 player's position
    // Above the loop player (11) the greatest position is 9, held by the MP3
    // player and the CD player: the one later in the fixed order, CD, moves.
    EXPECT_TRUE(layout.moveUp(LoopPlayer));
    EXPECT_EQ(layout.position(LoopPlayer), 9);
    EXPECT_EQ(layout.position(CDPlayer), 12);
    EXPECT_EQ(layout.position(MP3Player), 9);

    // Below the instrument (7) the smallest position is 9, held by the MP3
    // player and the loop player: the earlier, MP3, moves.
    EXPECT_TRUE(layout.moveDown(Instrument));
    EXPECT_EQ(layout.position(MP3Player), 7);
    EXPECT_EQ(layout.position(Instrument), 8);
    EXPECT_EQ(layout.position(LoopPlayer), 9);
}

TEST(RackLayout, ParkedUnitsAreNeverTheNeighbourBelow)
{
    RackLayout layout;
    layout.setPosition(Recorder, 999);
    layout.setPosition(GraphicEQ, 15);
    EXPECT_FALSE(layout.moveDown(GraphicEQ));
    EXPECT_EQ(layout.position(Recorder), 999);
}

TEST(RackLayout, AnySequenceOfMovesKeepsTheRackGapFree)
{
    std::mt19937 random(20261206);
    RackLayout layout;
    for (int step = 0; step < 5000; ++step)
    {
        const size_t unit = random() % RackUnitCount;
        if (random() % 2)
            layout.moveUp(unit);
        else
            layout.moveDown(unit);
        ASSERT_TRUE(gapFree(layout, kDefaultSlotCount)) << "after step " << step;
    }
}

TEST(RackLayout, PositionsRoundTripThroughTheSettingsFile)
{
    const auto file = std::filesystem::temp_directory_path() / "corvane-layout-test.ini";
    std::filesystem::remove(file);
    CIni settings(file.string());

    RackLayout fresh;
    fresh.readPositions(settings);
    EXPECT_EQ(fresh.position(SoundFX), 13) << "no file gives the default stack";
    fresh.moveUp(SoundFX);
    fresh.writePositions(settings);
    // The pads write "soundfx" and read "SoundFX": the same section.
    RackLayout restored;
    restored.readPositions(settings);
    EXPECT_EQ(restored.position(SoundFX), 11);
    EXPECT_EQ(restored.position(LoopPlayer), 13);
    std::filesystem::remove(file);
}

} // namespace
