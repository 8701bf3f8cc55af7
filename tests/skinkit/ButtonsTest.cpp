// CMyButton, CCheckBox, CLEDLight, CLED and CMCombo: notifications, states,
// digit cells and the selector's items.

#include "SkinTestSupport.h"

#include "skinkit/CCheckBox.h"
#include "skinkit/CLED.h"
#include "skinkit/CLEDLight.h"
#include "skinkit/CMCombo.h"
#include "skinkit/CMyButton.h"

#include <QAction>
#include <QImage>
#include <QMenu>

#include <memory>
#include <thread>

#include <gtest/gtest.h>

namespace
{

class ControlTest : public ::testing::Test
{
protected:
    CommandRecorder parent;
};

TEST_F(ControlTest, MomentaryButtonDraggedOffStillNotifiesOnRelease)
{
    CMyButton button(false);
    button.create(&parent, QRect(5, 5, 1, 1), 603);
    button.setparentwnd(&parent);
    EXPECT_EQ(button.size(), QSize(40, 20));
    pressLeft(&button, QPoint(4, 4));
    EXPECT_EQ(button.imageOffset(), 40);
    EXPECT_TRUE(parent.commands.empty());
    dragLeft(&button, QPoint(300, 200));
    releaseLeft(&button, QPoint(300, 200));
    EXPECT_EQ(button.imageOffset(), 0);
    ASSERT_EQ(parent.commands.size(), 1u);
    EXPECT_EQ(parent.commands[0].commandId, 603);
    EXPECT_EQ(parent.commands[0].notifyHandle, &parent);
    // A momentary button has no state to set.
    button.SetStatus(true);
    EXPECT_FALSE(button.getStatus());
    EXPECT_EQ(button.imageOffset(), 0);
}

TEST_F(ControlTest, ToggleHasChangedWhenItsOwnerHearsAndDoubleClicksAreNotPresses)
{
    CMyButton toggle(true);
    toggle.create(&parent, QRect(0, 0, 1, 1), 150);
    parent.readValue = [&toggle] { return toggle.getStatus() ? 1 : 0; };
    pressLeft(&toggle, QPoint(3, 3));
    releaseLeft(&toggle, QPoint(3, 3));
    doubleClickLeft(&toggle, QPoint(3, 3));
    releaseLeft(&toggle, QPoint(3, 3));
    ASSERT_EQ(parent.commands.size(), 1u);
    EXPECT_EQ(parent.commands[0].valueSeen, 1);
    EXPECT_EQ(parent.commands[0].notifyHandle, nullptr);
    EXPECT_EQ(toggle.imageOffset(), 40);
    // Set by code: the state and its picture, silently.
    toggle.SetStatus(false);
    EXPECT_FALSE(toggle.getStatus());
    EXPECT_EQ(toggle.imageOffset(), 0);
    EXPECT_EQ(parent.commands.size(), 1u);
}

TEST_F(ControlTest, CheckBoxFlipsAndNotifiesOnPressAndDoubleClick)
{
    CCheckBox box;
    box.create(&parent, QRect(0, 0, 120, 1), 1500);
    box.setparentwnd(&parent);
    EXPECT_EQ(box.size(), QSize(120, 14));
    parent.readValue = [&box] { return box.getchecked() ? 1 : 0; };
    pressLeft(&box, QPoint(3, 3));
    ASSERT_EQ(parent.commands.size(), 1u);
    EXPECT_EQ(parent.commands[0].valueSeen, 1);
    releaseLeft(&box, QPoint(3, 3));
    doubleClickLeft(&box, QPoint(3, 3));
    EXPECT_EQ(parent.commands.size(), 2u);
    EXPECT_FALSE(box.getchecked());
    box.setchecked(true);
    EXPECT_TRUE(box.getchecked());
    EXPECT_EQ(parent.commands.size(), 2u);
}

TEST_F(ControlTest, LampIgnoresTheMouseAndTakesStateFromAnyThread)
{
    CLEDLight lamp;
    lamp.create(&parent, QRect(0, 0, 1, 1), 0);
    ASSERT_TRUE(lamp.LoadPicture(PictureModule::corvane(), 166));
    EXPECT_EQ(lamp.size(), QSize(12, 12));
    const QImage dark = lamp.grab().toImage();
    std::thread player([&lamp] { lamp.setlightened(true); });
    player.join();
    EXPECT_TRUE(lamp.getlightened());
    QCoreApplication::processEvents();
    EXPECT_NE(lamp.grab().toImage(), dark);
    EXPECT_TRUE(lamp.testAttribute(Qt::WA_TransparentForMouseEvents));
}

// The strip cell each place shows, from the left: blank 0, the digits 1-10,
// the minus 11. A value outside the range keeps the old digits but still
// notifies, as every setvalue does, with the display itself as the handle.
TEST_F(ControlTest, LedDigitCellsPlacesAndLeadingZeros)
{
    CLED led(0, -999, 999);
    led.create(&parent, QRect(0, 0, 1, 1), 0);
    led.setparentwnd(&parent);
    struct Case
    {
        int places;
        bool leadingZeros;
        int value;
        std::vector<int> cells;
    };
    for (const Case& shown :
         {Case{3, false, -5, {0, 11, 6}}, Case{2, false, 123, {3, 4}}, Case{2, false, 0, {0, 1}},
          Case{4, true, 7, {1, 1, 1, 8}}, Case{4, true, 1000, {1, 1, 1, 8}}})
    {
        led.setnumblank(shown.places);
        led.m_bLeadingZeros = shown.leadingZeros;
        led.setvalue(shown.value);
        std::vector<int> cells;
        for (int place = 0; place < shown.places; ++place)
            cells.push_back(led.stripCellAt(place));
        EXPECT_EQ(cells, shown.cells) << shown.value;
    }
    EXPECT_EQ(led.getvalue(), 7);
    ASSERT_EQ(parent.commands.size(), 5u);
    EXPECT_EQ(parent.commands[4].notifyHandle, &led);
    led.setnumblank(100);
    EXPECT_EQ(led.getnumblank(), 4);
}

// Picture 217 has 12 x 20 cells and no minus cell; the display is one cell
// per place wide and composes a minus from its digits.
TEST_F(ControlTest, LedElevenCellStripStillShowsAMinus)
{
    CLED led(0, -12, 12);
    ASSERT_TRUE(led.LoadPicture(PictureModule::corvane(), 217, 11));
    led.create(&parent, QRect(0, 0, 1, 1), 0);
    led.setnumblank(3);
    EXPECT_EQ(led.size(), QSize(3 * 12, 20));
    led.setvalue(-5);
    const QImage shown = led.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage strip =
        PictureModule::corvane().load(217).toImage().convertToFormat(QImage::Format_RGB32);
    const QImage blank = strip.copy(0, 0, 12, 20);
    EXPECT_EQ(shown.copy(0, 0, 12, 20), blank);
    EXPECT_NE(shown.copy(12, 0, 12, 20), blank);
    EXPECT_EQ(shown.copy(24, 0, 12, 20), strip.copy(6 * 12, 0, 12, 20));
}

TEST_F(ControlTest, LedDraggingStepsOnlyWhenNotReadOnly)
{
    CLED led(5, 0, 9);
    led.create(&parent, QRect(0, 0, 1, 1), 305);
    led.setparentwnd(&parent);
    pressLeft(&led, QPoint(3, 10));
    dragLeft(&led, QPoint(3, 2));
    EXPECT_EQ(led.getvalue(), 5);
    EXPECT_TRUE(parent.commands.empty());

    led.m_bReadOnly = false;
    led.setIncrement(2);
    led.setIncrement(0);
    EXPECT_EQ(led.getIncrement(), 2);
    parent.readValue = [&led] { return led.getvalue(); };
    dragLeft(&led, QPoint(3, 1)); // up: + step
    EXPECT_EQ(led.getvalue(), 7);
    // Two notifications: the display's own, then one with the notify handle.
    ASSERT_EQ(parent.commands.size(), 2u);
    EXPECT_EQ(parent.commands[0].notifyHandle, &led);
    EXPECT_EQ(parent.commands[1].notifyHandle, &parent);
    EXPECT_EQ(parent.commands[1].valueSeen, 7);
    dragLeft(&led, QPoint(3, 0));   // 9
    dragLeft(&led, QPoint(3, -50)); // 11 is beyond the maximum: unchanged
    EXPECT_EQ(led.getvalue(), 9);
    dragLeft(&led, QPoint(3, 40)); // down: - step, whatever the distance
    EXPECT_EQ(led.getvalue(), 7);
    releaseLeft(&led, QPoint(3, 40));
}

// A selector of three sources: an index outside the items and item counts
// outside 1..199 are ignored; setitemindex notifies exactly like a choice
// from the menu, which offers every item (ids 300 + i) and notifies even
// when the choice is unchanged.
TEST_F(ControlTest, ComboSelectsOnlyItsItemsAndNotifiesEveryChoice)
{
    CMCombo combo;
    combo.create(&parent, QRect(0, 0, 100, 1), 1152);
    combo.setparentwnd(&parent);
    combo.setitems(QStringList{"None", "MP3 Player", "CD Player"});
    parent.readValue = [&combo] { return combo.getitemindex(); };
    EXPECT_EQ(combo.getitemindex(), -1);
    EXPECT_EQ(combo.size(), QSize(102, 16));
    combo.setitemindex(3);
    combo.setitemindex(-1);
    EXPECT_EQ(combo.getitemindex(), -1);
    EXPECT_TRUE(parent.commands.empty());

    combo.setitemindex(1);
    ASSERT_EQ(parent.commands.size(), 1u);
    EXPECT_EQ(parent.commands[0].commandId, 1152);
    EXPECT_EQ(parent.commands[0].valueSeen, 1);
    EXPECT_EQ(combo.itemText(combo.getitemindex()), QStringLiteral("MP3 Player"));
    std::unique_ptr<QMenu> menu(combo.buildPopupMenu());
    const QList<QAction*> actions = menu->actions();
    ASSERT_EQ(actions.size(), 3);
    for (int item = 0; item < 3; ++item)
    {
        EXPECT_EQ(actions[item]->data().toInt(), 300 + item);
        EXPECT_EQ(actions[item]->isChecked(), item == 1);
    }
    combo.OnMenuCommand(301);
    combo.OnMenuCommand(300);
    combo.OnMenuCommand(350); // beyond the list: selects nothing
    ASSERT_EQ(parent.commands.size(), 3u);
    EXPECT_EQ(parent.commands[1].valueSeen, 1);
    EXPECT_EQ(parent.commands[2].valueSeen, 0);
    EXPECT_EQ(combo.getitemindex(), 0);

    QStringList many;
    for (int item = 0; item < 200; ++item)
        many << QString::number(item);
    combo.setitems(many.constData(), 0);
    combo.setitems(many.constData(), 200);
    EXPECT_EQ(combo.getcount(), 3);
    combo.setitems(many.constData(), 199);
    EXPECT_EQ(combo.getcount(), 199);
}

} // namespace
