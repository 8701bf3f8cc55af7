// Every generated picture exists in its module with the strip layout its
// control expects (a rack unit's background also with its size), and its
// parts differ where the control switches between them.

#include "SkinTestSupport.h"

#include "skinkit/PictureModule.h"

#include <QImage>

#include <gtest/gtest.h>

namespace
{

enum class Layout
{
    FilmStrip, // `parts` frames side by side
    TwoHalves, // left off, right on
    LedCells,  // `parts` cells: blank, 0-9, minus, (point)
    Single     // one picture
};

struct ExpectedPicture
{
    bool skinkit;
    int id;
    Layout layout;
    int parts;
    int height = 0; // rack backgrounds only: 69 pixels per slot
};

// The counts are what the controls are told when the pictures are loaded;
// sizes are the artwork's own choice, except the rack units' backgrounds.
std::vector<ExpectedPicture> expectedPictures()
{
    std::vector<ExpectedPicture> pictures = {
        {true, 9005, Layout::LedCells, 13},  {true, 9006, Layout::FilmStrip, 45},
        {true, 9018, Layout::FilmStrip, 64}, {false, 134, Layout::FilmStrip, 66},
        {false, 139, Layout::FilmStrip, 45}, {false, 218, Layout::FilmStrip, 49},
        {false, 135, Layout::LedCells, 13},  {false, 182, Layout::LedCells, 12}};
    for (const int id : {9001, 9002, 9004, 9007, 9008})
        pictures.push_back({true, id, Layout::TwoHalves, 2});
    for (const int id : {9003, 9012})
        pictures.push_back({true, id, Layout::Single, 1});
    for (const int id : {130, 131, 133, 138, 140, 141, 142, 143, 145, 149, 150, 151, 157,
                         158, 159, 160, 161, 162, 164, 166, 167, 168, 169, 181, 183, 185,
                         186, 187, 188, 189, 190, 192, 194, 195, 197, 199, 220})
        pictures.push_back({false, id, Layout::TwoHalves, 2});
    for (const int id : {156, 163, 165, 217})
        pictures.push_back({false, id, Layout::LedCells, 11});
    for (const int id : {137, 191, 196})
        pictures.push_back({false, id, Layout::Single, 1});
    // Rack units by their height in slots; the view's rack holds 18.
    const std::pair<int, int> rackUnits[] = {{132, 2}, {136, 1}, {144, 4}, {146, 18},
                                             {148, 2}, {155, 1}, {170, 1}, {180, 1},
                                             {193, 2}, {198, 2}, {200, 2}};
    for (const auto& [id, rackSlots] : rackUnits)
        pictures.push_back({false, id, Layout::Single, 1, rackSlots * 69});
    return pictures;
}

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

using ArtworkTest = ::testing::TestWithParam<ExpectedPicture>;

TEST_P(ArtworkTest, HasItsLayout)
{
    const ExpectedPicture& expected = GetParam();
    const PictureModule module =
        expected.skinkit ? PictureModule::skinkit() : PictureModule::corvane();
    const QImage picture =
        module.load(expected.id).toImage().convertToFormat(QImage::Format_ARGB32);
    ASSERT_FALSE(picture.isNull()) << expected.id;
    ASSERT_EQ(picture.width() % expected.parts, 0);
    if (expected.height != 0)
    {
        EXPECT_EQ(picture.size(), QSize(750, expected.height));
    }

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
        // Blank is the darkest cell, one (two segments) the dimmest digit and
        // eight the brightest, the minus between blank and eight.
        std::vector<double> cells;
        for (int cell = 0; cell < expected.parts; ++cell)
            cells.push_back(brightness(part(picture, expected.parts, cell)));
        for (int cell = 1; cell <= 10; ++cell)
        {
            EXPECT_GT(cells[cell], cells[0]) << cell;
            EXPECT_GE(cells[cell], cells[2]) << cell;
            EXPECT_LE(cells[cell], cells[9]) << cell;
        }
        if (expected.parts > 11)
        {
            EXPECT_GT(cells[11], cells[0]);
            EXPECT_LT(cells[11], cells[9]);
        }
        break;
    }
    }
}

INSTANTIATE_TEST_SUITE_P(EveryPicture, ArtworkTest, ::testing::ValuesIn(expectedPictures()),
                         [](const ::testing::TestParamInfo<ExpectedPicture>& info)
                         { return std::to_string(info.param.id); });

TEST(ArtworkLayoutTest, MeterLitHalvesAreBrighterAndLaddersHaveWholeLeds)
{
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
