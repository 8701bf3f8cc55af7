// CMStatic: transparent text over the panel, font and colour, text from any
// thread, the click command.

#include "plugins/CMStatic.h"
#include "skinkit/CommandReceiver.h"
#include "support/RackTest.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>

#include <thread>

#include <gtest/gtest.h>

namespace
{

using testkit::application;

// A panel of one solid colour that records commands.
class Panel : public CommandReceiver<QWidget>
{
public:
    Panel() { resize(200, 40); }
    std::vector<std::pair<int, QWidget*>> commands;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), panelColour);
    }
    void OnCommand(int commandId, QWidget* notifyHandle) override
    {
        commands.emplace_back(commandId, notifyHandle);
    }

public:
    static inline const QColor panelColour{40, 42, 46};
};

class StaticTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        application();
        display.create(&panel, QRect(10, 5, 180, 20));
        display.SetTextFont(QStringLiteral("Tahoma"), 13, 700, skinkit::rgb(0x08, 0xCE, 0xDE));
    }

    // Columns of the panel grab (inside the display) that show anything but
    // the panel's colour.
    int lastInkedColumn()
    {
        const QImage shown = panel.grab().toImage().convertToFormat(QImage::Format_RGB32);
        int last = -1;
        for (int x = 10; x < 190; ++x)
            for (int y = 5; y < 25; ++y)
                if (shown.pixel(x, y) != Panel::panelColour.rgb())
                    last = x;
        return last;
    }

    Panel panel;
    CMStatic display;
};

TEST_F(StaticTest, TextIsDrawnOverThePanelAndAShorterTextLeavesNoRemains)
{
    EXPECT_STREQ(display.metaObject()->className(), "CMStatic");
    display.SetText(QStringLiteral("A rather long plug-in name"));
    const int longEnd = lastInkedColumn();
    display.SetText(QStringLiteral("No"));
    const int shortEnd = lastInkedColumn();
    EXPECT_GT(longEnd, 100);
    EXPECT_GT(shortEnd, 10);
    EXPECT_LT(shortEnd, 40);
    // Around the letters the panel shows through.
    const QImage shown = panel.grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(shown.pixel(150, 15), Panel::panelColour.rgb());
}

TEST_F(StaticTest, FontAndColourFollowTheLastCall)
{
    EXPECT_EQ(display.textFont().weight(), QFont::Bold);
    EXPECT_LE(QFontMetrics(display.textFont()).height(), 13);
    display.SetTextFont(QStringLiteral("Tahoma"), 12, 400, skinkit::rgb(0x53, 0x53, 0x53));
    EXPECT_EQ(display.textFont().weight(), QFont::Normal);
    EXPECT_LE(QFontMetrics(display.textFont()).height(), 12);
    EXPECT_EQ(display.textColor(), skinkit::rgb(0x53, 0x53, 0x53));
}

TEST_F(StaticTest, TextFromAnotherThreadArrivesInOrder)
{
    std::thread loader(
        [this]
        {
            display.SetText(QStringLiteral("Loading..."));
            display.SetText(QStringLiteral("Reverb"));
        });
    loader.join();
    EXPECT_TRUE(display.text().isEmpty());
    QCoreApplication::processEvents();
    EXPECT_EQ(display.text(), QStringLiteral("Reverb"));
}

TEST_F(StaticTest, ClickSendsTheFlaggedCommand)
{
    display.setparentwnd(&panel);
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(3, 3), display.mapToGlobal(QPointF(3, 3)),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&display, &press);
    ASSERT_EQ(panel.commands.size(), 1u);
    EXPECT_EQ(panel.commands[0].first, 0x14D);
    EXPECT_EQ(panel.commands[0].second, &panel);
}

} // namespace
