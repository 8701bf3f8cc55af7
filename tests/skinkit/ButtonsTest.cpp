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
    void SetUp() override { testApplication(); }
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
    EXPECT_FALSE(button.getStatus());
}

TEST_F(ControlTest, SetStatusActsOnlyOnToggles)
{
    CMyButton momentary(false);
    momentary.SetStatus(true);
    EXPECT_FALSE(momentary.getStatus());
    CMyButton toggle(true);
    toggle.create(&parent, QRect(0, 0, 1, 1), 150);
    toggle.SetStatus(true);
    EXPECT_TRUE(toggle.getStatus());
    EXPECT_EQ(toggle.imageOffset(), 40);
    EXPECT_TRUE(parent.commands.empty());
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
    EXPECT_TRUE(toggle.getStatus());
}

TEST_F(ControlTest, CheckBoxFlipsAndNotifiesOnPressAndDoubleClick)
{
    CCheckBox box;
    box.create(&parent, QRect(0, 0, 120, 1), 1500);
    box.setparentwnd(&parent);
    EXPECT_EQ(box.size(), QSize(120, 14));
    EXPECT_EQ(box.text(), QStringLiteral("CheckBox for Audio"));
    EXPECT_EQ(box.textColor(), skinkit::rgb(200, 212, 208));
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

class LedTest : public ControlTest
{
protected:
    std::vector<int> cells(const CLED& led, int places)
    {
        std::vector<int> shown;
        for (int place = 0; place < places; ++place)
            shown.push_back(led.stripCellAt(place));
        return shown;
    }
};

TEST_F(LedTest, OutOfRangeKeepsTheDigitsButStillNotifies)
{
    CLED led(0, 0, 99);
    led.create(&parent, QRect(0, 0, 1, 1), 0);
    led.setparentwnd(&parent);
    led.setvalue(42);
    led.setvalue(100);
    EXPECT_EQ(led.getvalue(), 42);
    EXPECT_EQ(cells(led, 2), (std::vector<int>{5, 3}));
    ASSERT_EQ(parent.commands.size(), 2u);
    // setvalue's notification carries the display itself, not the notify handle.
    EXPECT_EQ(parent.commands[1].notifyHandle, &led);
}

TEST_F(LedTest, DigitCellsPlacesAndLeadingZeros)
{
    CLED led(0, -999, 999);
    led.setnumblank(3);
    led.setvalue(-5);
    // blank, minus, 5
    EXPECT_EQ(cells(led, 3), (std::vector<int>{0, 11, 6}));
    EXPECT_EQ(led.digitCount(), 2);
    led.setnumblank(2);
    led.setvalue(123);
    EXPECT_EQ(cells(led, 2), (std::vector<int>{3, 4}));
    led.setvalue(0);
    EXPECT_EQ(cells(led, 2), (std::vector<int>{0, 1}));
    led.m_bLeadingZeros = true;
    led.setnumblank(4);
    led.setvalue(7);
    EXPECT_EQ(cells(led, 4), (std::vector<int>{1, 1, 1, 8}));
    led.setnumblank(100);
    EXPECT_EQ(led.getnumblank(), 4);
}

TEST_F(LedTest, DisplaySizeFollowsPlacesAndCells)
{
    CLED led(0, 0, 999);
    ASSERT_TRUE(led.LoadPicture(PictureModule::corvane(), 182, 12));
    led.create(&parent, QRect(0, 0, 1, 1), 0);
    led.setnumblank(3);
    EXPECT_EQ(led.size(), QSize(3 * 12, 20));
}

TEST_F(LedTest, ElevenCellStripStillShowsAMinus)
{
    // Picture 217 has no minus cell; the display composes one from its digits.
    CLED led(0, -12, 12);
    ASSERT_TRUE(led.LoadPicture(PictureModule::corvane(), 217, 11));
    led.create(&parent, QRect(0, 0, 1, 1), 0);
    led.setnumblank(3);
    led.setvalue(-5);
    const QImage shown = led.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage strip =
        PictureModule::corvane().load(217).toImage().convertToFormat(QImage::Format_RGB32);
    const QImage blank = strip.copy(0, 0, 12, 20);
    EXPECT_EQ(shown.copy(0, 0, 12, 20), blank);
    EXPECT_NE(shown.copy(12, 0, 12, 20), blank);
    EXPECT_EQ(shown.copy(24, 0, 12, 20), strip.copy(6 * 12, 0, 12, 20));
}

TEST_F(LedTest, DraggingStepsOnlyWhenNotReadOnly)
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

class ComboTest : public ControlTest
{
protected:
    void SetUp() override
    {
        ControlTest::SetUp();
        combo.create(&parent, QRect(0, 0, 100, 1), 1152);
        combo.setparentwnd(&parent);
        const QStringList items = {"None", "MP3 Player", "CD Player"};
        combo.setitems(items);
        parent.readValue = [this] { return combo.getitemindex(); };
    }
    CMCombo combo;
};

TEST_F(ComboTest, IndexOutsideTheItemsAndBadItemCountsAreIgnored)
{
    EXPECT_EQ(combo.getitemindex(), -1);
    EXPECT_EQ(combo.size(), QSize(102, 16));
    combo.setitemindex(3);
    combo.setitemindex(-1);
    EXPECT_EQ(combo.getitemindex(), -1);
    EXPECT_TRUE(parent.commands.empty());

    QStringList many;
    for (int item = 0; item < 200; ++item)
        many << QString::number(item);
    combo.setitems(many.constData(), 0);
    combo.setitems(many.constData(), 200);
    EXPECT_EQ(combo.getcount(), 3);
    combo.setitems(many.constData(), 199);
    EXPECT_EQ(combo.getcount(), 199);
}

TEST_F(ComboTest, SetItemIndexNotifiesLikeAChoice)
{
    combo.setitemindex(2);
    ASSERT_EQ(parent.commands.size(), 1u);
    EXPECT_EQ(parent.commands[0].commandId, 1152);
    EXPECT_EQ(parent.commands[0].valueSeen, 2);
    EXPECT_EQ(combo.itemText(combo.getitemindex()), QStringLiteral("CD Player"));
}

TEST_F(ComboTest, MenuOffersEveryItemAndAChoiceNotifiesEvenIfUnchanged)
{
    combo.setitemindex(1);
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
    ASSERT_EQ(parent.commands.size(), 3u);
    EXPECT_EQ(parent.commands[1].valueSeen, 1);
    EXPECT_EQ(parent.commands[2].valueSeen, 0);
    // A command beyond the list selects nothing.
    combo.OnMenuCommand(350);
    EXPECT_EQ(combo.getitemindex(), 0);
    EXPECT_EQ(parent.commands.size(), 3u);
}

} // namespace
