// CLevel, CVUMeter and CLevelDriver: the dB-to-pixel laws on the pixels shown,
// the ladder, the hold line, the fall, and feeding from another thread.

#include "SkinTestSupport.h"

#include "skinkit/CLevel.h"
#include "skinkit/CLevelDriver.h"
#include "skinkit/CVUMeter.h"
#include "tests/support/RealtimeTrap.h"

#include <QImage>
#include <QPainter>
#include <QTest>

#include <atomic>
#include <limits>
#include <thread>

#include <gtest/gtest.h>

namespace
{

QImage pictureOf(const PictureModule& module, int id)
{
    return module.load(id).toImage().convertToFormat(QImage::Format_RGB32);
}

QImage shownBy(QWidget& meter)
{
    return meter.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// What a meter must show: the unlit half of its picture, the lit half from
// `lit` pixels away from the 0 dB end on, and a one-pixel line of the lit
// half at `hold` pixels from that end (none at or beyond the extent).
QImage expectedMeter(const QImage& picture, bool vertical, int lit, int hold)
{
    const int half = picture.width() / 2;
    const int extent = vertical ? picture.height() : half;
    QImage expected = picture.copy(0, 0, half, picture.height());
    QPainter painter(&expected);
    const auto copyLit = [&](const QRect& area)
    {
        if (!area.isEmpty())
            painter.drawImage(area.topLeft(), picture, area.translated(half, 0));
    };
    copyLit(vertical ? QRect(0, lit, half, extent - lit)
                     : QRect(0, 0, extent - lit, picture.height()));
    if (hold < extent)
        copyLit(vertical ? QRect(0, hold, half, 1) : QRect(extent - hold, 0, 1, picture.height()));
    return expected;
}

class LevelTest : public ::testing::Test
{
protected:
    void SetUp() override { meter.create(&parent, QRect(0, 0, 1, 1), 0); }

    QWidget parent;
    CLevel meter; // default picture 9001: 100 pixels high, min -30 dB
    const QImage picture = pictureOf(PictureModule::skinkit(), 9001);
};

// Readings in order: the bar rises to b = trunc(x / -30 * 100) with its hold
// line; at or below -30 dB (or not a number) nothing lights; above 0 dB all
// lights and the hold line stays.
TEST_F(LevelTest, DecibelLawOnPixels)
{
    ASSERT_EQ(meter.extent(), 100);
    EXPECT_EQ(meter.size(), QSize(10, 100));
    struct Reading
    {
        float decibels;
        int bar, hold;
    };
    for (const Reading& reading :
         {Reading{-45.0f, 100, 100}, Reading{-30.0f, 100, 100}, Reading{-1e30f, 100, 100},
          Reading{-std::numeric_limits<float>::infinity(), 100, 100},
          Reading{std::numeric_limits<float>::quiet_NaN(), 100, 100}, Reading{-15.0f, 50, 50},
          Reading{-6.3f, 21, 21}, Reading{-9.0f, 21, 21}, Reading{1.0f, 0, 21}})
    {
        meter.setdb(reading.decibels);
        EXPECT_EQ(meter.barPosition(), reading.bar) << reading.decibels;
        EXPECT_EQ(meter.holdLinePosition(), reading.hold) << reading.decibels;
        EXPECT_EQ(shownBy(meter), expectedMeter(picture, true, reading.bar, reading.hold))
            << reading.decibels;
    }
}

// After -6.3 dB the bar falls 5 pixels a tick until empty, a reading lower
// than the falling bar changes nothing, and the hold line stays at the peak
// until its delay drops it.
TEST_F(LevelTest, BarFallsFivePixelsPerTickAndTheHoldLineDropsAfterItsDelay)
{
    meter.setdelay(200);
    meter.setdb(-6.3f);
    meter.LevelDriverProc();
    EXPECT_EQ(meter.barPosition(), 26);
    meter.setdb(-9.0f); // 30: lower than the falling bar
    EXPECT_EQ(meter.barPosition(), 26);
    for (int tick = 0; tick < 14; ++tick)
        meter.LevelDriverProc();
    EXPECT_EQ(meter.barPosition(), 96);
    meter.LevelDriverProc();
    EXPECT_EQ(meter.barPosition(), 100);
    EXPECT_EQ(shownBy(meter), expectedMeter(picture, true, 100, 21));
    // The hold timer is armed from the GUI thread's refresh.
    EXPECT_TRUE(QTest::qWaitFor([this] { return meter.holdTimerActive(); }, 5000));
    EXPECT_TRUE(QTest::qWaitFor([this] { return meter.holdLinePosition() == 100; }, 5000));
    EXPECT_EQ(shownBy(meter), expectedMeter(picture, true, 100, 100));
}

// Ladders show only whole LEDs, rounding toward more lit, and neither draw a
// hold line nor run a hold timer. Vertical: 5 LEDs on 100 pixels, -15 dB
// gives p = 50 and shows trunc(50 / 100 * 5) * 20 = 40, three ticks later
// p = 65 shows 60. Horizontal (picture 167: 80 pixels per half, 7 high): 8
// LEDs, min -15 dB; -7 dB gives p = 37 and shows trunc(74 / 160 * 8) * 10 = 30.
TEST_F(LevelTest, LaddersShowOnlyWholeLeds)
{
    meter.setledladderstyle(true, 5);
    meter.setdb(-15.0f);
    EXPECT_EQ(shownBy(meter), expectedMeter(picture, true, 40, 100));
    for (int tick = 0; tick < 3; ++tick)
        meter.LevelDriverProc();
    EXPECT_EQ(shownBy(meter), expectedMeter(picture, true, 60, 100));
    QTest::qWait(100);
    EXPECT_FALSE(meter.holdTimerActive());

    ASSERT_TRUE(meter.LoadPicture(PictureModule::corvane(), 167));
    meter.setvertical(false);
    meter.setledladderstyle(true, 8);
    meter.setmindb(-15);
    EXPECT_EQ(meter.extent(), 80);
    for (int tick = 0; tick < 20; ++tick)
        meter.LevelDriverProc();
    const QImage horizontal = pictureOf(PictureModule::corvane(), 167);
    EXPECT_EQ(shownBy(meter), expectedMeter(horizontal, false, 80, 80));
    meter.setdb(-7.0f);
    EXPECT_EQ(meter.barPosition(), 37);
    EXPECT_EQ(shownBy(meter), expectedMeter(horizontal, false, 30, 80));
}

TEST_F(LevelTest, SettersRejectOutOfRangeValues)
{
    meter.setmindb(0);
    meter.setmindb(5);
    EXPECT_EQ(meter.getmindb(), -30);
    meter.setdecay(0);
    meter.setdecay(-2);
    EXPECT_EQ(meter.getdecay(), 5);
    meter.setdelay(0);
    EXPECT_EQ(meter.getdelay(), 2500);
    // A ladder of no LEDs keeps a usable count (no division by zero).
    meter.setledladderstyle(true, 0);
    meter.setdb(-20.0f);
    (void)meter.grab();
}

// The audio thread feeds a bar meter and a needle meter while the GUI thread
// runs the driver, the refresh and the paints: no allocation, no lock, every
// needle inside its strip, and the bar ends where the loudest reading puts it.
TEST_F(LevelTest, FedFromAnotherThreadTheMetersStayLockFree)
{
    CVUMeter needle;
    CLevelDriver driver;
    driver.addLevel(&meter);
    driver.addVu(&needle);
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
                {
                    meter.setdb(-15.0f - static_cast<float>(reading % 16));
                    needle.setdb(-25.0f + static_cast<float>(reading % 30));
                }
            }
            allocations = realtime_trap::allocations();
            locks = realtime_trap::blockingLocks();
            done = true;
        });
    while (!done)
    {
        QCoreApplication::processEvents();
        needle.VuDriverProc();
        EXPECT_GE(needle.currentFrame(), 0);
        EXPECT_LT(needle.currentFrame(), 64);
        (void)meter.grab();
        (void)needle.grab();
    }
    audio.join();
    driver.stop();
    EXPECT_EQ(allocations.load(), 0u);
    EXPECT_EQ(locks.load(), 0u);
    // No reading was louder than -15 dB: the bar is at or below 50.
    EXPECT_GE(meter.barPosition(), 50);
    meter.setdb(-15.0f);
    EXPECT_EQ(shownBy(meter), expectedMeter(picture, true, 50, meter.holdLinePosition()));
}

TEST(LevelDriverTest, TicksEveryMeterAndSkipsDestroyedOnes)
{
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

// The default strip: 64 pictures, 0 dB at 43, -20..+3 dB; the needle rises
// only below 0 dB and is set directly from 0 dB on.
TEST(VuMeterTest, FrameLawOfTheDefaultStripOnPixels)
{
    QWidget parent;
    CVUMeter meter;
    meter.create(&parent, QRect(0, 0, 1, 1), 0);
    const QImage strip = pictureOf(PictureModule::skinkit(), 9018);
    const int frameWidth = strip.width() / 64;
    EXPECT_EQ(meter.frameCount(), 64);
    EXPECT_EQ(meter.size(), QSize(frameWidth, strip.height()));
    const std::pair<float, int> readings[] = {
        {-20.0f, 0}, {-10.0f, 22}, {-15.0f, 22}, {-0.001f, 43},
        {0.0f, 42},  {3.0f, 63},   {4.0f, 63},   {std::numeric_limits<float>::infinity(), 63}};
    for (const auto& [decibels, frame] : readings)
    {
        meter.setdb(decibels);
        EXPECT_EQ(meter.currentFrame(), frame) << decibels;
    }
    EXPECT_EQ(shownBy(meter), strip.copy(63 * frameWidth, 0, frameWidth, strip.height()));
    meter.VuDriverProc();
    EXPECT_EQ(meter.currentFrame(), 57);
    meter.setmindb(0); // would divide by zero
    EXPECT_EQ(meter.getmindb(), -20);
}

} // namespace
