// The panel painter draws a unit's background from its layout table:
// the size it is given, labels where the table puts them, the same pixels
// every time.

#include "SkinTestSupport.h"

#include "skinkit/panel/PanelPainter.h"

#include <QImage>

#include <gtest/gtest.h>

namespace
{

using panel::LabelAlignment;

// Pixels of an area that are clearly light (silk-screen ink on dark metal).
int inkedPixels(const QImage& image, const QRect& area)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (qGray(image.pixel(x, y)) > 170)
                ++count;
    return count;
}

constexpr panel::PanelLabel labels[] = {
    {100, 30, "GAIN", 10, LabelAlignment::Centre},
    {400, 30, "MASTER", 10, LabelAlignment::Right},
};
constexpr panel::PanelFootprint footprints[] = {
    {88, 44, 24, 24, panel::FootprintKind::Knob},
    {300, 40, 60, 20, panel::FootprintKind::Display},
};
constexpr panel::PanelLayout layout{panel::rackWidth, 2 * panel::slotHeight, "Mixer", labels,
                                    footprints};

TEST(PanelPainterTest, PaintsTheLayoutAtItsSizeAndPlacesLabels)
{
    const QImage image = PanelPainter::paint(layout);
    EXPECT_EQ(image.size(), QSize(750, 138));
    // Centred on x = 100, right-aligned to x = 400, nothing printed in between.
    EXPECT_GT(inkedPixels(image, QRect(85, 30, 30, 12)), 10);
    EXPECT_GT(inkedPixels(image, QRect(350, 30, 50, 12)), 10);
    EXPECT_EQ(inkedPixels(image, QRect(405, 30, 40, 12)), 0);
    EXPECT_EQ(inkedPixels(image, QRect(150, 30, 100, 12)), 0);
    // The display footprint is a dark window.
    EXPECT_LT(qGray(image.pixel(330, 50)), 20);
    // The same layout gives the same pixels every time.
    EXPECT_EQ(PanelPainter::paint(layout), image);
}

} // namespace
