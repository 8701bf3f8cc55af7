// CLevel, CVUMeter and CLevelDriver: the dB-to-pixel laws, the ladder, the
// hold line, the fall, and feeding from another thread.

#include "SkinTestSupport.h"

#include "skinkit/CLevel.h"
#include "skinkit/CLevelDriver.h"
#include "skinkit/CVUMeter.h"
#include "tests/support/RealtimeTrap.h"

#include <QImage>
#include <QTest>

#include <atomic>
#include <thread>

#include <gtest/gtest.h>

namespace
{

// Which rows of a vertical meter show the lit half, judged on the rows where
// the picture's two halves differ. Returns the first lit row (the bar's top)
// and checks that every distinguishable row below it is lit and above it unlit.
struct LitRows
{
    int top = -1;
    bool contiguous = true;
    int litDistinguishable = 0;
};

LitRows litRowsOf(CLevel& meter, int pictureId, const PictureModule& module)
{
    const QImage picture = module.load(pictureId).toImage().convertToFormat(QImage::Format_RGB32);
    const QImage shown = meter.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const int halfWidth = picture.width() / 2;
    LitRows result;
    bool seenLit = false;
    for (int row = 0; row < picture.height(); ++row)
    {
        const QRgb unlit = picture.pixel(halfWidth / 2, row);
        const QRgb lit = picture.pixel(halfWidth + halfWidth / 2, row);
        if (unlit == lit)
            continue;
        const bool isLit = shown.pixel(halfWidth / 2, row) == lit;
        if (isLit)
        {
            ++result.litDistinguishable;
            if (!seenLit)
                result.top = row;
            seenLit = true;
        }
        else if (seenLit)
        {
            result.contiguous = false;
        }
    }
    return result;
}

int distinguishableRowsFrom(int pictureId, int firstRow)
{
    const QImage picture =
        PictureModule::skinkit().load(pictureId).toImage().convertToFormat(QImage::Format_RGB32);
    const int halfWidth = picture.width() / 2;
    int count = 0;
    for (int row = firstRow; row < picture.height(); ++row)
        if (picture.pixel(halfWidth / 2, row) != picture.pixel(halfWidth + halfWidth / 2, row))
            ++count;
    return count;
}

class LevelTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        testApplication();
        meter.create(&parent, QRect(0, 0, 1, 1), 0);
    }

    QWidget parent;
    CLevel meter; // default picture 9001: 100 pixels high, min -30 dB
};

TEST_F(LevelTest, MinusFifteenDecibelsLightsHalfOfAHundredPixels)
{
    ASSERT_EQ(meter.extent(), 100);
    EXPECT_EQ(meter.size(), QSize(10, 100));
    meter.setdb(-15.0f);
    EXPECT_EQ(meter.barPosition(), 50);
    const LitRows rows = litRowsOf(meter, 9001, PictureModule::skinkit());
    EXPECT_TRUE(rows.contiguous);
    EXPECT_GE(rows.top, 50);
    EXPECT_EQ(rows.litDistinguishable, distinguishableRowsFrom(9001, 50));
}

TEST_F(LevelTest, LevelsAtOrBelowMinimumLightNothingAndAboveZeroLightAll)
{
    meter.setdb(-30.0f);
    meter.setdb(-45.0f);
    meter.setdb(-1e30f);
    meter.setdb(-std::numeric_limits<float>::infinity());
    meter.setdb(std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(meter.barPosition(), 100);
    EXPECT_EQ(litRowsOf(meter, 9001, PictureModule::skinkit()).litDistinguishable, 0);
    meter.setdb(1.0f);
    EXPECT_EQ(meter.barPosition(), 0);
    EXPECT_EQ(litRowsOf(meter, 9001, PictureModule::skinkit()).litDistinguishable,
              distinguishableRowsFrom(9001, 0));
}

TEST_F(LevelTest, BarFallsFivePixelsPerTickAndIgnoresLowerReadings)
{
    meter.setdb(-6.3f); // trunc(6.3 / 30 * 100) = 21
    EXPECT_EQ(meter.barPosition(), 21);
    meter.LevelDriverProc();
    EXPECT_EQ(meter.barPosition(), 26);
    meter.setdb(-9.0f); // 30: lower than the falling bar, no change
    EXPECT_EQ(meter.barPosition(), 26);
    for (int tick = 0; tick < 14; ++tick)
        meter.LevelDriverProc();
    EXPECT_EQ(meter.barPosition(), 96);
    meter.LevelDriverProc();
    EXPECT_EQ(meter.barPosition(), 100);
    // The hold line stays where the peak was until its timer drops it.
    EXPECT_EQ(meter.holdLinePosition(), 21);
    const QImage picture =
        PictureModule::skinkit().load(9001).toImage().convertToFormat(QImage::Format_RGB32);
    const QImage shown = meter.grab().toImage().convertToFormat(QImage::Format_RGB32);
    // The line is one lit row at 21 (a row where the halves differ).
    ASSERT_NE(picture.pixel(2, 21), picture.pixel(12, 21));
    ASSERT_NE(picture.pixel(2, 22), picture.pixel(12, 22));
    EXPECT_EQ(shown.pixel(2, 21), picture.pixel(12, 21));
    EXPECT_EQ(shown.pixel(2, 22), picture.pixel(2, 22));
}

TEST_F(LevelTest, LadderShowsOnlyWholeLedsAndNoHoldLine)
{
    meter.setledladderstyle(true, 5);
    meter.setdb(-15.0f); // p = 50: trunc(50 / 100 * 5) * 20 = 40
    LitRows rows = litRowsOf(meter, 9001, PictureModule::skinkit());
    EXPECT_TRUE(rows.contiguous);
    EXPECT_EQ(rows.litDistinguishable, distinguishableRowsFrom(9001, 40));
    for (int tick = 0; tick < 3; ++tick)
        meter.LevelDriverProc(); // p = 65: 3 * 20 = 60
    rows = litRowsOf(meter, 9001, PictureModule::skinkit());
    EXPECT_EQ(rows.litDistinguishable, distinguishableRowsFrom(9001, 60));
    for (int tick = 0; tick < 10; ++tick)
        meter.LevelDriverProc();
    // Empty, and no hold line at row 50.
    EXPECT_EQ(litRowsOf(meter, 9001, PictureModule::skinkit()).litDistinguishable, 0);
    QTest::qWait(100);
    EXPECT_FALSE(meter.holdTimerActive());
}

TEST_F(LevelTest, BarMeterArmsItsHoldTimerFromTheGuiThread)
{
    meter.setdb(-10.0f);
    EXPECT_TRUE(QTest::qWaitFor([this] { return meter.holdTimerActive(); }, 5000));
}

TEST_F(LevelTest, SettersRejectOutOfRangeValues)
{
    meter.setmindb(0);
    meter.setmindb(5);
    EXPECT_EQ(meter.getmindb(), -30);
    meter.setmindb(-40);
    EXPECT_EQ(meter.getmindb(), -40);
    meter.setdecay(0);
    meter.setdecay(-2);
    EXPECT_EQ(meter.getdecay(), 5);
    meter.setdelay(0);
    EXPECT_EQ(meter.getdelay(), 2500);
    meter.setledladderstyle(true, 0); // keeps a usable LED count
    meter.setdb(-20.0f);
    (void)meter.grab();
}

TEST_F(LevelTest, HorizontalLadderQuantisesAlongTheWidth)
{
    // Picture 167: 80 pixels per half, 7 high, a ladder of 8 LEDs.
    ASSERT_TRUE(meter.LoadPicture(PictureModule::corvane(), 167));
    meter.setvertical(false);
    meter.setledladderstyle(true, 8);
    meter.setmindb(-15);
    EXPECT_EQ(meter.extent(), 80);
    meter.setdb(-7.0f); // p = trunc(7 / 15 * 80) = 37 -> trunc(74 / 160 * 8) * 10 = 30
    EXPECT_EQ(meter.barPosition(), 37);
    const QImage picture =
        PictureModule::corvane().load(167).toImage().convertToFormat(QImage::Format_RGB32);
    const QImage shown = meter.grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(shown.width(), 80);
    // Lit width 80 - 30 = 50: the LED centred at x = 45 is lit, the one at 55 is not.
    EXPECT_EQ(shown.pixel(45, 3), picture.pixel(80 + 45, 3));
    EXPECT_EQ(shown.pixel(55, 3), picture.pixel(55, 3));
    // Fallen to empty, it shows the unlit half only.
    for (int tick = 0; tick < 20; ++tick)
        meter.LevelDriverProc();
    EXPECT_EQ(meter.grab().toImage().convertToFormat(QImage::Format_RGB32),
              picture.copy(0, 0, 80, 7));
}

TEST_F(LevelTest, FedFromAnotherThreadItStaysLockFreeAndEndsAtTheRightLevel)
{
    CLevelDriver driver;
    driver.addLevel(&meter);
    driver.start();
    std::atomic<bool> done{false};
    std::atomic<size_t> allocations{0};
    std::atomic<size_t> locks{0};
    std::thread audio(
        [&]
        {
            realtime_trap::resetCounts();
            {
                realtime_trap::ScopedArm arm;
                for (int reading = 0; reading < 400000; ++reading)
                    meter.setdb(-15.0f - static_cast<float>(reading % 16));
            }
            allocations = realtime_trap::allocations();
            locks = realtime_trap::blockingLocks();
            done = true;
        });
    // Meanwhile the GUI thread runs the driver, the refresh and paints.
    while (!done)
    {
        QCoreApplication::processEvents();
        (void)meter.grab();
    }
    audio.join();
    driver.stop();
    EXPECT_EQ(allocations.load(), 0u);
    EXPECT_EQ(locks.load(), 0u);
    // No reading was louder than -15 dB, so the bar is at or below 50; the
    // last loud reading puts it exactly there.
    EXPECT_GE(meter.barPosition(), 50);
    meter.setdb(-15.0f);
    EXPECT_EQ(meter.barPosition(), 50);
    const LitRows rows = litRowsOf(meter, 9001, PictureModule::skinkit());
    EXPECT_EQ(rows.litDistinguishable, distinguishableRowsFrom(9001, 50));
}

TEST(VuMeterTest, FedFromAnotherThreadItStaysLockFreeAndInsideItsStrip)
{
    CVUMeter meter;
    std::atomic<bool> done{false};
    std::atomic<size_t> allocations{0};
    std::atomic<size_t> locks{0};
    std::thread audio(
        [&]
        {
            realtime_trap::resetCounts();
            {
                realtime_trap::ScopedArm arm;
                for (int reading = 0; reading < 200000; ++reading)
                    meter.setdb(-25.0f + static_cast<float>(reading % 30));
            }
            allocations = realtime_trap::allocations();
            locks = realtime_trap::blockingLocks();
            done = true;
        });
    // Meanwhile the GUI thread lets the needle fall and paints it.
    while (!done)
    {
        meter.VuDriverProc();
        EXPECT_GE(meter.currentFrame(), 0);
        EXPECT_LT(meter.currentFrame(), 64);
        (void)meter.grab();
    }
    audio.join();
    EXPECT_EQ(allocations.load(), 0u);
    EXPECT_EQ(locks.load(), 0u);
    meter.setdb(-10.0f);
    EXPECT_GE(meter.currentFrame(), 22);
}

TEST(LevelDriverTest, TicksEveryMeterAndSkipsDestroyedOnes)
{
    testApplication();
    CLevelDriver driver;
    auto* first = new CLevel;
    CLevel second;
    CVUMeter vu;
    driver.addLevel(first);
    driver.addLevel(&second);
    driver.addVu(&vu);
    first->setdb(1.0f);
    second.setdb(1.0f);
    vu.setdb(3.0f);
    delete first;
    driver.tick();
    EXPECT_EQ(second.barPosition(), 5);
    EXPECT_EQ(vu.currentFrame(), 57);
    // A copy has the tables but not the running timer.
    driver.start();
    CLevelDriver copy(driver);
    EXPECT_EQ(copy.levelCount(), 2);
    EXPECT_EQ(copy.vuCount(), 1);
    EXPECT_FALSE(copy.isRunning());
    EXPECT_TRUE(driver.isRunning());
    for (int meter = 0; meter < 120; ++meter)
        copy.addLevel(&second);
    EXPECT_EQ(copy.levelCount(), 100);
}

TEST(VuMeterTest, FrameLawOfTheDefaultStrip)
{
    testApplication();
    CVUMeter meter;
    EXPECT_EQ(meter.frameCount(), 64);
    meter.setdb(-20.0f);
    EXPECT_EQ(meter.currentFrame(), 0);
    meter.setdb(-10.0f); // 43 - trunc(21.5)
    EXPECT_EQ(meter.currentFrame(), 22);
    meter.setdb(-15.0f); // below the current needle: no fall through setdb
    EXPECT_EQ(meter.currentFrame(), 22);
    meter.setdb(-0.001f);
    EXPECT_EQ(meter.currentFrame(), 43);
    meter.setdb(0.0f); // at and above 0 dB the needle is set directly
    EXPECT_EQ(meter.currentFrame(), 42);
    meter.setdb(3.0f);
    EXPECT_EQ(meter.currentFrame(), 63);
    meter.setdb(4.0f); // 43 + 28 - 1 = 70: beyond the strip, kept
    EXPECT_EQ(meter.currentFrame(), 63);
    meter.setdb(std::numeric_limits<float>::infinity());
    EXPECT_EQ(meter.currentFrame(), 63);
    meter.VuDriverProc();
    EXPECT_EQ(meter.currentFrame(), 57);
    meter.setmindb(0);
    EXPECT_EQ(meter.getmindb(), -20);
    meter.setupcay(7);
    EXPECT_EQ(meter.getupcay(), 7);
}

TEST(VuMeterTest, ShowsThePictureOfItsCurrentFrame)
{
    testApplication();
    QWidget parent;
    CVUMeter meter;
    meter.create(&parent, QRect(0, 0, 1, 1), 0);
    const QImage strip =
        PictureModule::skinkit().load(9018).toImage().convertToFormat(QImage::Format_RGB32);
    const int frameWidth = strip.width() / 64;
    EXPECT_EQ(meter.size(), QSize(frameWidth, strip.height()));
    meter.setdb(3.0f);
    const QImage shown = meter.grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(shown, strip.copy(63 * frameWidth, 0, frameWidth, strip.height()));
}

} // namespace
