// CKnob and CMSlider: values kept as set, frames and thumb rows derived from
// them, notification and mouse handling.

#include "SkinTestSupport.h"

#include "skinkit/CKnob.h"
#include "skinkit/CMSlider.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>

namespace
{

class KnobTest : public ::testing::Test
{
protected:
    void SetUp() override { testApplication(); }

    // A knob created on the recorder with child id 170.
    void createKnob(CKnob& knob)
    {
        knob.create(&parent, QRect(10, 10, 1, 1), 170);
        knob.setparentwnd(&parent);
        parent.readValue = [&knob] { return knob.getvalue(); };
    }

    CommandRecorder parent;
};

TEST_F(KnobTest, ConstructionShowsMiddleFrameOfDefaultStrip)
{
    CKnob knob(0, 100);
    createKnob(knob);
    EXPECT_EQ(knob.frameCount(), 45);
    EXPECT_EQ(knob.currentFrame(), 23);
    // trunc(22 / 45 * 100)
    EXPECT_EQ(knob.getvalue(), 48);
    // The window takes one picture's size.
    EXPECT_EQ(knob.size(), QSize(24, 24));
    EXPECT_TRUE(parent.commands.empty());
}

TEST_F(KnobTest, ValueOutsideRangeChangesNothingAndSendsNothing)
{
    CKnob knob(0, 100);
    createKnob(knob);
    knob.setvalue(101);
    knob.setvalue(-1);
    EXPECT_EQ(knob.getvalue(), 48);
    EXPECT_EQ(knob.currentFrame(), 23);
    EXPECT_TRUE(parent.commands.empty());
}

TEST_F(KnobTest, SetValueKeepsTheValueShowsItsFrameAndEveryCallNotifies)
{
    CKnob knob(0, 100);
    createKnob(knob);
    // 37 falls in frame 37 * 45 / 100 + 1 = 17 (which a turn would read as
    // trunc(16 / 45 * 100) = 35); the value set stays 37.
    knob.setvalue(37);
    EXPECT_EQ(knob.currentFrame(), 17);
    EXPECT_EQ(knob.getvalue(), 37);
    knob.setvalue(100);
    EXPECT_EQ(knob.currentFrame(), 45);
    EXPECT_EQ(knob.getvalue(), 100);
    knob.setvalue(0);
    EXPECT_EQ(knob.currentFrame(), 1);
    EXPECT_EQ(knob.getvalue(), 0);
    // Setting the current value again still notifies.
    knob.setvalue(0);
    ASSERT_EQ(parent.commands.size(), 4u);
    EXPECT_EQ(parent.commands[0].commandId, 170);
    EXPECT_EQ(parent.commands[0].notifyHandle, &parent);
    // The handler already reads the value set.
    EXPECT_EQ(parent.commands[0].valueSeen, 37);
}

// The knobs of the mixer (and the library default): every value set by code
// reads back exactly, on the frame it falls in; a turn from there moves whole
// frames and reads the value of the frame it reaches.
TEST_F(KnobTest, EveryValueSetByCodeReadsBackExactly)
{
    struct Configuration
    {
        int minimum, maximum, picture, frames;
    };
    for (const Configuration& configuration :
         {Configuration{0, 100, 0, 45}, Configuration{-15, 15, 134, 66},
          Configuration{0, 100, 134, 66}, Configuration{0, 110, 134, 66},
          Configuration{-30, 30, 139, 45}})
    {
        SCOPED_TRACE(configuration.maximum);
        SCOPED_TRACE(configuration.frames);
        CKnob knob(configuration.minimum, configuration.maximum);
        if (configuration.picture != 0)
        {
            ASSERT_TRUE(knob.LoadPicture(PictureModule::corvane(), configuration.picture,
                                         configuration.frames));
        }
        createKnob(knob);
        knob.m_nStep = 1;
        const int span = configuration.maximum - configuration.minimum;
        for (int value = configuration.minimum; value <= configuration.maximum; ++value)
        {
            knob.setvalue(value);
            ASSERT_EQ(knob.getvalue(), value);
            const int frame =
                std::min((value - configuration.minimum) * configuration.frames / span + 1,
                         configuration.frames);
            ASSERT_EQ(knob.currentFrame(), frame) << value;
        }
        // A turn up from the middle frame reads the next frame's value.
        knob.setvalue(configuration.minimum + span / 2);
        const int frame = knob.currentFrame();
        turnWheel(&knob, 120);
        EXPECT_EQ(knob.currentFrame(), frame + 1);
        EXPECT_EQ(knob.getvalue(),
                  static_cast<int>(static_cast<double>(frame) / configuration.frames * span +
                                   configuration.minimum));
    }
}

TEST_F(KnobTest, EqualiserKnobCentresAtFrame34AndTruncatesTowardZero)
{
    CKnob knob(-30, 30);
    knob.setminvalue(-15);
    knob.setmaxvalue(15);
    ASSERT_TRUE(knob.LoadPicture(PictureModule::corvane(), 134, 66));
    createKnob(knob);
    knob.setvalue(0);
    EXPECT_EQ(knob.currentFrame(), 34);
    EXPECT_EQ(knob.getvalue(), 0);
    knob.setvalue(-15);
    EXPECT_EQ(knob.currentFrame(), 1);
    knob.m_nStep = 1;
    turnWheel(&knob, 120);
    EXPECT_EQ(knob.currentFrame(), 2);
    // trunc(1 / 66 * 30 - 15) = trunc(-14.55)
    EXPECT_EQ(knob.getvalue(), -14);
}

TEST_F(KnobTest, MaximumNotAboveMinimumIsIgnored)
{
    CKnob knob(10, 20);
    knob.setmaxvalue(10);
    EXPECT_EQ(knob.getmaxvalue(), 20);
    knob.setmaxvalue(5);
    EXPECT_EQ(knob.getmaxvalue(), 20);
    knob.setmaxvalue(11);
    EXPECT_EQ(knob.getmaxvalue(), 11);
}

TEST_F(KnobTest, DragRightOneEventMovesTwoFramesAndNotifiesOnce)
{
    CKnob knob(0, 100);
    createKnob(knob);
    pressLeft(&knob, QPoint(10, 10));
    dragLeft(&knob, QPoint(11, 10));
    EXPECT_EQ(knob.currentFrame(), 25);
    ASSERT_EQ(parent.commands.size(), 1u);
    // trunc(24 / 45 * 100)
    EXPECT_EQ(parent.commands[0].valueSeen, 53);
    // Only the direction counts, not the distance; no horizontal motion, no step.
    dragLeft(&knob, QPoint(3, 10));
    EXPECT_EQ(knob.currentFrame(), 23);
    dragLeft(&knob, QPoint(3, 30));
    EXPECT_EQ(knob.currentFrame(), 23);
    EXPECT_EQ(parent.commands.size(), 2u);
    releaseLeft(&knob, QPoint(3, 30));
}

TEST_F(KnobTest, WheelStepsAndIsPassedOn)
{
    CKnob knob(0, 100);
    createKnob(knob);
    // Left unaccepted, so the application passes a real wheel on to the rack.
    EXPECT_FALSE(turnWheel(&knob, -120));
    EXPECT_EQ(knob.currentFrame(), 21);
    // A double-click does not reset the knob.
    doubleClickLeft(&knob, QPoint(5, 5));
    EXPECT_EQ(knob.currentFrame(), 21);
}

TEST_F(KnobTest, MissingPictureKeepsTheOldStrip)
{
    CKnob knob(0, 100);
    EXPECT_FALSE(knob.LoadPicture(PictureModule::corvane(), 99999, 10));
    EXPECT_FALSE(knob.LoadPicture(PictureModule::corvane(), 134, 0));
    EXPECT_EQ(knob.frameCount(), 45);
}

class SliderTest : public ::testing::Test
{
protected:
    void SetUp() override { testApplication(); }

    void createSlider(CMSlider& slider)
    {
        ASSERT_TRUE(slider.LoadPicture(PictureModule::corvane(), 137, 138));
        slider.create(&parent, QRect(10, 10, 1, 1), 190);
        slider.setparentwnd(&parent);
        parent.readValue = [&slider] { return slider.getvalue(); };
    }

    CommandRecorder parent;
};

TEST_F(SliderTest, ClickBelowTheThumbMovesItDownFivePixels)
{
    CMSlider slider(110, 0);
    createSlider(slider);
    const int travel = 118 - 26; // track height - thumb height of pictures 137/138
    EXPECT_EQ(slider.size(), QSize(24, 118));
    EXPECT_EQ(slider.getvalue(), 110);
    EXPECT_EQ(slider.thumbY(), 0);
    pressLeft(&slider, QPoint(12, 60));
    EXPECT_EQ(slider.thumbY(), 5);
    ASSERT_EQ(parent.commands.size(), 1u);
    EXPECT_EQ(parent.commands[0].valueSeen, 110 * (travel - 5) / travel);
    EXPECT_FALSE(slider.thumbPressed());
    releaseLeft(&slider, QPoint(12, 60));
}

TEST_F(SliderTest, DragPastTheEndStopsAtTheLastPositionInside)
{
    CMSlider slider(110, 0);
    createSlider(slider);
    pressLeft(&slider, QPoint(12, 10)); // on the thumb: grab offset 10
    EXPECT_TRUE(slider.thumbPressed());
    dragLeft(&slider, QPoint(12, 90)); // thumb at 80
    EXPECT_EQ(slider.thumbY(), 80);
    dragLeft(&slider, QPoint(12, 150)); // 140 is beyond the track: ignored
    EXPECT_EQ(slider.thumbY(), 80);
    EXPECT_EQ(slider.getvalue(), 110 * (92 - 80) / 92);
    EXPECT_EQ(parent.commands.size(), 1u);
    releaseLeft(&slider, QPoint(12, 150));
    EXPECT_FALSE(slider.thumbPressed());
}

TEST_F(SliderTest, SetValueClampsKeepsTheValueAndPlacesTheThumb)
{
    CMSlider slider(100, 0);
    createSlider(slider);
    slider.setvalue(150);
    EXPECT_EQ(slider.thumbY(), 0);
    EXPECT_EQ(slider.getvalue(), 100);
    slider.setvalue(-3);
    EXPECT_EQ(slider.thumbY(), 92);
    EXPECT_EQ(slider.getvalue(), 0);
    // y = trunc(92 * 63 / 100) = 57; the value stays 37 (pixel row 57 alone
    // would read trunc(100 * 35 / 92) = 38).
    slider.setvalue(37);
    EXPECT_EQ(slider.thumbY(), 57);
    EXPECT_EQ(slider.getvalue(), 37);
    EXPECT_EQ(parent.commands.size(), 3u);
    EXPECT_EQ(parent.commands[2].valueSeen, 37);
    // A new range moves the thumb to where the value now lies, silently.
    slider.setmaxvalue(74);
    EXPECT_EQ(slider.thumbY(), 46);
    EXPECT_EQ(slider.getvalue(), 37);
    EXPECT_EQ(parent.commands.size(), 3u);
}

// The mixer's faders (0..110) and masters (0..100) on their pictures: a
// value set by code reads back exactly, whatever the 92-pixel travel, and
// steps of 5 add up exactly.
TEST_F(SliderTest, EveryValueSetByCodeReadsBackExactly)
{
    for (const int maximum : {110, 100})
    {
        SCOPED_TRACE(maximum);
        CMSlider slider(maximum, 0);
        createSlider(slider);
        for (int value = 0; value <= maximum; ++value)
        {
            slider.setvalue(value);
            ASSERT_EQ(slider.getvalue(), value);
            ASSERT_EQ(slider.thumbY(), 92 * (maximum - value) / maximum) << value;
        }
        slider.setvalue(0);
        for (int step = 0; step < 20; ++step)
            slider.setvalue(slider.getvalue() + 5);
        EXPECT_EQ(slider.getvalue(), 100);
    }
}

TEST_F(SliderTest, DragMapsThumbRowsToValues)
{
    CMSlider slider(110, 0);
    createSlider(slider);
    slider.setvalue(73); // thumb at trunc(92 * 37 / 110) = 30
    ASSERT_EQ(slider.thumbY(), 30);
    pressLeft(&slider, QPoint(12, 35)); // on the thumb: grab offset 5
    // value = trunc(110 * (92 - row) / 92)
    for (const auto& [row, value] : {std::pair{30, 74}, {0, 110}, {46, 55}, {91, 1}, {92, 0}})
    {
        dragLeft(&slider, QPoint(12, row + 5));
        EXPECT_EQ(slider.thumbY(), row);
        EXPECT_EQ(slider.getvalue(), value) << row;
        EXPECT_EQ(parent.commands.back().valueSeen, value);
    }
    releaseLeft(&slider, QPoint(12, 97));
}

} // namespace
