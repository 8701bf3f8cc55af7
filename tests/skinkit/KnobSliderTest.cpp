// CKnob and CMSlider: value quantisation, notification and mouse handling.

#include "SkinTestSupport.h"

#include "skinkit/CKnob.h"
#include "skinkit/CMSlider.h"

#include <gtest/gtest.h>

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

TEST_F(KnobTest, ValuesAreQuantisedToFramesAndEveryCallNotifies)
{
    CKnob knob(0, 100);
    createKnob(knob);
    // Frame 37 * 45 / 100 + 1 = 17 reads trunc(16 / 45 * 100) = 35.
    knob.setvalue(37);
    EXPECT_EQ(knob.currentFrame(), 17);
    EXPECT_EQ(knob.getvalue(), 35);
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
    // The handler already reads the quantised value.
    EXPECT_EQ(parent.commands[0].valueSeen, 35);
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

TEST_F(SliderTest, SetValueClampsAndFollowsThePixelLaw)
{
    CMSlider slider(100, 0);
    createSlider(slider);
    slider.setvalue(150);
    EXPECT_EQ(slider.thumbY(), 0);
    EXPECT_EQ(slider.getvalue(), 100);
    slider.setvalue(-3);
    EXPECT_EQ(slider.thumbY(), 92);
    EXPECT_EQ(slider.getvalue(), 0);
    // y = trunc(92 * 63 / 100) = 57; value = trunc(100 * 35 / 92) = 38.
    slider.setvalue(37);
    EXPECT_EQ(slider.thumbY(), 57);
    EXPECT_EQ(slider.getvalue(), 38);
    EXPECT_EQ(parent.commands.size(), 3u);
}

} // namespace
