// CKnob and CMSlider: values kept as set, frames and thumb rows derived from
// them, notification and mouse handling.

#include "SkinTestSupport.h"

#include "skinkit/CKnob.h"
#include "skinkit/CMSlider.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

namespace
{

// Controls created on a recorder that reads their value in each command.
class ValueControlTest : public ::testing::Test
{
protected:
    template <typename Control> void create(Control& control, int commandId)
    {
        control.create(&parent, QRect(10, 10, 1, 1), commandId);
        control.setparentwnd(&parent);
        parent.readValue = [&control] { return control.getvalue(); };
    }
    // A slider on the mixer's fader pictures 137/138: a 118-pixel track and
    // a 26-pixel thumb, so the thumb travels 92 rows.
    void createSlider(CMSlider& slider)
    {
        ASSERT_TRUE(slider.LoadPicture(PictureModule::corvane(), 137, 138));
        create(slider, 190);
    }

    CommandRecorder parent;
};

using KnobTest = ValueControlTest;
using SliderTest = ValueControlTest;

TEST_F(KnobTest, DefaultStripRangeCheckAndEveryCallNotifies)
{
    CKnob knob(0, 100);
    // A missing picture or a frame count that does not fit keeps the strip.
    EXPECT_FALSE(knob.LoadPicture(PictureModule::corvane(), 99999, 10));
    EXPECT_FALSE(knob.LoadPicture(PictureModule::corvane(), 134, 0));
    create(knob, 170);
    EXPECT_EQ(knob.frameCount(), 45);
    EXPECT_EQ(knob.currentFrame(), 23);
    EXPECT_EQ(knob.getvalue(), 48); // trunc(22 / 45 * 100)
    EXPECT_EQ(knob.size(), QSize(24, 24));

    // Outside the range: nothing changes, nothing is sent.
    knob.setvalue(101);
    knob.setvalue(-1);
    EXPECT_EQ(knob.getvalue(), 48);
    EXPECT_EQ(knob.currentFrame(), 23);
    EXPECT_TRUE(parent.commands.empty());

    // Setting the current value again still notifies; the handler already
    // reads the value set.
    knob.setvalue(37);
    knob.setvalue(37);
    ASSERT_EQ(parent.commands.size(), 2u);
    EXPECT_EQ(parent.commands[0].commandId, 170);
    EXPECT_EQ(parent.commands[0].notifyHandle, &parent);
    EXPECT_EQ(parent.commands[0].valueSeen, 37);

    // A maximum not above the minimum is ignored.
    knob.setmaxvalue(0);
    knob.setmaxvalue(-5);
    EXPECT_EQ(knob.getmaxvalue(), 100);
    knob.setmaxvalue(1);
    EXPECT_EQ(knob.getmaxvalue(), 1);
}

// The knobs of the mixer and the equaliser (and the library default): every
// value set by code reads back exactly, on the frame it falls in; a turn
// moves whole frames and reads trunc((frame - 1) / frames * span + min),
// truncated toward zero (the -15..15 knob's second frame reads -14).
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
        // The range set afterwards, as the mixer sets its equaliser and pan knobs.
        CKnob knob(0, 1);
        knob.setminvalue(configuration.minimum);
        knob.setmaxvalue(configuration.maximum);
        if (configuration.picture != 0)
        {
            ASSERT_TRUE(knob.LoadPicture(PictureModule::corvane(), configuration.picture,
                                         configuration.frames));
        }
        create(knob, 170);
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
        // A turn up from the first and from the middle frame.
        for (const int value : {configuration.minimum, configuration.minimum + span / 2})
        {
            knob.setvalue(value);
            const int frame = knob.currentFrame();
            turnWheel(&knob, 120);
            EXPECT_EQ(knob.currentFrame(), frame + 1);
            EXPECT_EQ(knob.getvalue(),
                      static_cast<int>(static_cast<double>(frame) / configuration.frames * span +
                                       configuration.minimum));
        }
    }
}

TEST_F(KnobTest, MouseAndWheelStepByDirectionOnly)
{
    CKnob knob(0, 100);
    create(knob, 170);
    // One drag event right: two frames, one notification.
    pressLeft(&knob, QPoint(10, 10));
    dragLeft(&knob, QPoint(11, 10));
    EXPECT_EQ(knob.currentFrame(), 25);
    ASSERT_EQ(parent.commands.size(), 1u);
    EXPECT_EQ(parent.commands[0].valueSeen, 53); // trunc(24 / 45 * 100)
    // Only the direction counts, not the distance; no horizontal motion, no step.
    dragLeft(&knob, QPoint(3, 10));
    EXPECT_EQ(knob.currentFrame(), 23);
    dragLeft(&knob, QPoint(3, 30));
    EXPECT_EQ(knob.currentFrame(), 23);
    EXPECT_EQ(parent.commands.size(), 2u);
    releaseLeft(&knob, QPoint(3, 30));

    // The wheel is left unaccepted, so a real wheel passes on to the rack.
    EXPECT_FALSE(turnWheel(&knob, -120));
    EXPECT_EQ(knob.currentFrame(), 21);
    // A double-click does not reset the knob.
    doubleClickLeft(&knob, QPoint(5, 5));
    EXPECT_EQ(knob.currentFrame(), 21);
}

// The mixer's faders (0..110) and masters (0..100): a value set by code is
// clamped, reads back exactly whatever the 92-pixel travel, places the thumb
// at trunc(92 * (max - value) / max) and notifies.
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
            ASSERT_EQ(parent.commands.back().valueSeen, value);
        }
        slider.setvalue(maximum + 40);
        EXPECT_EQ(slider.getvalue(), maximum);
        EXPECT_EQ(slider.thumbY(), 0);
        slider.setvalue(-3);
        EXPECT_EQ(slider.getvalue(), 0);
        EXPECT_EQ(slider.thumbY(), 92);
        EXPECT_EQ(parent.commands.size(), size_t(maximum + 3));
        parent.commands.clear();
    }
    // A new range moves the thumb to where the value now lies, silently.
    CMSlider slider(100, 0);
    createSlider(slider);
    slider.setvalue(37);
    slider.setmaxvalue(74);
    EXPECT_EQ(slider.thumbY(), 46);
    EXPECT_EQ(slider.getvalue(), 37);
    EXPECT_EQ(parent.commands.size(), 1u);
}

// A click beside the thumb moves it 5 pixels; a drag maps thumb rows to
// values, value = trunc(110 * (92 - row) / 92), and a row beyond the track is
// ignored, leaving the thumb at its last accepted row.
TEST_F(SliderTest, ClickAndDragMapThumbRowsToValuesAndStopAtTheEnds)
{
    CMSlider slider(110, 0);
    createSlider(slider);
    EXPECT_EQ(slider.size(), QSize(24, 118));
    EXPECT_EQ(slider.getvalue(), 110);
    pressLeft(&slider, QPoint(12, 60)); // below the thumb at row 0
    EXPECT_EQ(slider.thumbY(), 5);
    ASSERT_EQ(parent.commands.size(), 1u);
    EXPECT_EQ(parent.commands[0].valueSeen, 110 * (92 - 5) / 92);
    EXPECT_FALSE(slider.thumbPressed());
    releaseLeft(&slider, QPoint(12, 60));

    slider.setvalue(73); // thumb at trunc(92 * 37 / 110) = 30
    ASSERT_EQ(slider.thumbY(), 30);
    pressLeft(&slider, QPoint(12, 35)); // on the thumb: grab offset 5
    EXPECT_TRUE(slider.thumbPressed());
    const std::tuple<int, int, int> drags[] = {{30, 30, 74},  {0, 0, 110},  {46, 46, 55},
                                               {91, 91, 1},   {92, 92, 0},  {80, 80, 14},
                                               {140, 80, 14}, {-20, 80, 14}};
    for (const auto& [row, shownRow, value] : drags)
    {
        dragLeft(&slider, QPoint(12, row + 5));
        EXPECT_EQ(slider.thumbY(), shownRow) << row;
        EXPECT_EQ(slider.getvalue(), value) << row;
        EXPECT_EQ(parent.commands.back().valueSeen, value);
    }
    EXPECT_EQ(parent.commands.size(), 8u);
    releaseLeft(&slider, QPoint(12, 97));
    EXPECT_FALSE(slider.thumbPressed());
}

} // namespace
