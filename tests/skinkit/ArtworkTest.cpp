// Every generated picture exists in its module with the size and strip layout
// its control expects, and its parts differ where the control switches
// between them.

#include "SkinTestSupport.h"

#include "skinkit/PictureModule.h"

#include <QImage>

#include <gtest/gtest.h>

namespace
{

enum class Layout
{
    FilmStrip, // `parts` equal square-or-not frames side by side
    TwoHalves, // left off, right on
    LedCells,  // `parts` cells: blank, 0-9, minus, (point)
    Single     // one picture
};

struct ExpectedPicture
{
    const char* module;
    int id;
    Layout layout;
    int parts;
    int width;
    int height;
};

PictureModule moduleNamed(const char* name)
{
    return QLatin1String(name) == QLatin1String("skinkit") ? PictureModule::skinkit()
                                                           : PictureModule::corvane();
}

// Sizes are the artwork's own choice; frame and cell counts are what the
// controls are told when the pictures are loaded.
const ExpectedPicture expectedPictures[] = {
    {"skinkit", 9001, Layout::TwoHalves, 2, 20, 100},
    {"skinkit", 9002, Layout::TwoHalves, 2, 80, 20},
    {"skinkit", 9003, Layout::Single, 1, 24, 100},
    {"skinkit", 9004, Layout::TwoHalves, 2, 40, 24},
    {"skinkit", 9005, Layout::LedCells, 13, 13 * 14, 22},
    {"skinkit", 9006, Layout::FilmStrip, 45, 45 * 24, 24},
    {"skinkit", 9007, Layout::TwoHalves, 2, 28, 14},
    {"skinkit", 9008, Layout::TwoHalves, 2, 28, 14},
    {"skinkit", 9012, Layout::Single, 1, 200, 60},
    {"skinkit", 9018, Layout::FilmStrip, 64, 64 * 84, 50},
    {"corvane", 130, Layout::TwoHalves, 2, 64, 16},
    {"corvane", 131, Layout::TwoHalves, 2, 40, 14},
    {"corvane", 133, Layout::TwoHalves, 2, 24, 12},
    {"corvane", 134, Layout::FilmStrip, 66, 66 * 26, 26},
    {"corvane", 135, Layout::LedCells, 13, 13 * 13, 20},
    {"corvane", 137, Layout::Single, 1, 24, 118},
    {"corvane", 138, Layout::TwoHalves, 2, 44, 26},
    {"corvane", 139, Layout::FilmStrip, 45, 45 * 28, 28},
    {"corvane", 140, Layout::TwoHalves, 2, 16, 60},
    {"corvane", 141, Layout::TwoHalves, 2, 20, 90},
    {"corvane", 142, Layout::TwoHalves, 2, 24, 12},
    {"corvane", 143, Layout::TwoHalves, 2, 120, 7},
    {"corvane", 145, Layout::TwoHalves, 2, 88, 26},
    {"corvane", 149, Layout::TwoHalves, 2, 40, 14},
    {"corvane", 150, Layout::TwoHalves, 2, 60, 16},
    {"corvane", 151, Layout::TwoHalves, 2, 44, 14},
    {"corvane", 156, Layout::LedCells, 11, 11 * 12, 20},
    {"corvane", 157, Layout::TwoHalves, 2, 24, 12},
    {"corvane", 158, Layout::TwoHalves, 2, 132, 7},
    {"corvane", 159, Layout::TwoHalves, 2, 56, 18},
    {"corvane", 160, Layout::TwoHalves, 2, 56, 18},
    {"corvane", 161, Layout::TwoHalves, 2, 56, 18},
    {"corvane", 162, Layout::TwoHalves, 2, 44, 14},
    {"corvane", 163, Layout::LedCells, 11, 11 * 12, 20},
    {"corvane", 164, Layout::TwoHalves, 2, 56, 18},
    {"corvane", 165, Layout::LedCells, 11, 11 * 12, 20},
    {"corvane", 166, Layout::TwoHalves, 2, 24, 12},
    {"corvane", 167, Layout::TwoHalves, 2, 160, 7},
    {"corvane", 168, Layout::TwoHalves, 2, 56, 18},
    {"corvane", 169, Layout::TwoHalves, 2, 56, 18},
    {"corvane", 181, Layout::TwoHalves, 2, 56, 18},
    {"corvane", 182, Layout::LedCells, 12, 12 * 12, 20},
    {"corvane", 183, Layout::TwoHalves, 2, 40, 14},
    {"corvane", 185, Layout::TwoHalves, 2, 24, 12},
    {"corvane", 186, Layout::TwoHalves, 2, 44, 16},
    {"corvane", 187, Layout::TwoHalves, 2, 44, 16},
    {"corvane", 188, Layout::TwoHalves, 2, 44, 16},
    {"corvane", 189, Layout::TwoHalves, 2, 44, 16},
    {"corvane", 190, Layout::TwoHalves, 2, 68, 16},
    {"corvane", 191, Layout::Single, 1, 16, 110},
    {"corvane", 192, Layout::TwoHalves, 2, 28, 14},
    {"corvane", 194, Layout::TwoHalves, 2, 56, 18},
    {"corvane", 195, Layout::TwoHalves, 2, 56, 18},
    {"corvane", 196, Layout::Single, 1, 360, 80},
    {"corvane", 197, Layout::TwoHalves, 2, 68, 18},
    {"corvane", 199, Layout::TwoHalves, 2, 28, 14},
    {"corvane", 217, Layout::LedCells, 11, 11 * 12, 20},
    {"corvane", 218, Layout::FilmStrip, 49, 49 * 30, 30},
    {"corvane", 220, Layout::TwoHalves, 2, 44, 16},
    // Rack units: 750 wide, 69 pixels per slot; the view: the 18-slot rack.
    {"corvane", 132, Layout::Single, 1, 750, 2 * 69},
    {"corvane", 136, Layout::Single, 1, 750, 69},
    {"corvane", 144, Layout::Single, 1, 750, 4 * 69},
    {"corvane", 146, Layout::Single, 1, 750, 18 * 69},
    {"corvane", 148, Layout::Single, 1, 750, 2 * 69},
    {"corvane", 155, Layout::Single, 1, 750, 69},
    {"corvane", 170, Layout::Single, 1, 750, 69},
    {"corvane", 180, Layout::Single, 1, 750, 69},
    {"corvane", 193, Layout::Single, 1, 750, 2 * 69},
    {"corvane", 198, Layout::Single, 1, 750, 2 * 69},
    {"corvane", 200, Layout::Single, 1, 750, 2 * 69},
};

QImage part(const QImage& picture, int parts, int index)
{
    const int width = picture.width() / parts;
    return picture.copy(index * width, 0, width, picture.height());
}

double brightness(const QImage& image)
{
    double sum = 0.0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
        {
            const QColor colour = QColor::fromRgba(image.pixel(x, y));
            sum += colour.alphaF() * (colour.red() + colour.green() + colour.blue());
        }
    return sum;
}

class ArtworkTest : public ::testing::TestWithParam<ExpectedPicture>
{
protected:
    void SetUp() override { testApplication(); }
};

TEST_P(ArtworkTest, HasItsSizeAndLayout)
{
    const ExpectedPicture& expected = GetParam();
    const QImage picture = moduleNamed(expected.module)
                               .load(expected.id)
                               .toImage()
                               .convertToFormat(QImage::Format_ARGB32);
    ASSERT_FALSE(picture.isNull()) << expected.module << " " << expected.id;
    EXPECT_EQ(picture.size(), QSize(expected.width, expected.height));
    ASSERT_EQ(picture.width() % expected.parts, 0);

    switch (expected.layout)
    {
    case Layout::Single:
        break;
    case Layout::TwoHalves:
        EXPECT_NE(part(picture, 2, 0), part(picture, 2, 1));
        break;
    case Layout::FilmStrip:
        // Every frame shows a new position.
        for (int frame = 1; frame < expected.parts; ++frame)
            EXPECT_NE(part(picture, expected.parts, frame - 1),
                      part(picture, expected.parts, frame))
                << frame;
        break;
    case Layout::LedCells:
    {
        // Blank is the darkest cell, 8 the brightest digit, the minus between.
        const double blank = brightness(part(picture, expected.parts, 0));
        const double eight = brightness(part(picture, expected.parts, 9));
        for (int cell = 1; cell <= 10; ++cell)
        {
            const double digit = brightness(part(picture, expected.parts, cell));
            EXPECT_GT(digit, blank) << cell;
            EXPECT_LE(digit, eight) << cell;
        }
        // The one is the dimmest digit (two segments).
        for (int cell = 1; cell <= 10; ++cell)
            EXPECT_GE(brightness(part(picture, expected.parts, cell)),
                      brightness(part(picture, expected.parts, 2)));
        if (expected.parts > 11)
        {
            const double minus = brightness(part(picture, expected.parts, 11));
            EXPECT_GT(minus, blank);
            EXPECT_LT(minus, eight);
        }
        break;
    }
    }
}

INSTANTIATE_TEST_SUITE_P(EveryPicture, ArtworkTest, ::testing::ValuesIn(expectedPictures),
                         [](const ::testing::TestParamInfo<ExpectedPicture>& info) {
                             return std::string(info.param.module) + "_" +
                                    std::to_string(info.param.id);
                         });

TEST(ArtworkLayoutTest, MeterLitHalvesAreBrighterAndLaddersHaveWholeLeds)
{
    testApplication();
    // Meter pictures and their ladder counts: vertical 140 (5), 141 (9);
    // horizontal 143 (6), 158 (6), 167 (8).
    struct Ladder
    {
        int id;
        bool vertical;
        int leds;
    };
    for (const Ladder ladder : {Ladder{140, true, 5}, Ladder{141, true, 9}, Ladder{143, false, 6},
                                Ladder{158, false, 6}, Ladder{167, false, 8}})
    {
        const QImage picture = PictureModule::corvane().load(ladder.id).toImage().convertToFormat(
            QImage::Format_RGB32);
        const QImage unlit = part(picture, 2, 0);
        const QImage lit = part(picture, 2, 1);
        EXPECT_GT(brightness(lit), 2.0 * brightness(unlit)) << ladder.id;
        // Each LED boundary of the ladder's quantisation is a dark gap, so a
        // bar cut there never shows half an LED.
        const int extent = ladder.vertical ? lit.height() : lit.width();
        for (int led = 1; led < ladder.leds; ++led)
        {
            const int boundary = led * extent / ladder.leds;
            const QRgb gap = ladder.vertical ? lit.pixel(lit.width() / 2, boundary)
                                             : lit.pixel(boundary, lit.height() / 2);
            EXPECT_LT(qGray(gap), 40) << ladder.id << " LED " << led;
        }
    }
}

} // namespace
