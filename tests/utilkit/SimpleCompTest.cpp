// SimpleComp's times become one-pole coefficients exp(-1 / (ms * rate / 1000));
// a stopped engine (rate 0) or a zero time follows at once instead of
// dividing by zero.

#include "utilkit/SimpleComp.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(SimpleCompTest, TimesAndRateBecomeOnePoleCoefficients)
{
    SimpleComp compressor;
    compressor.setAttack(2.5);
    compressor.setRelease(500.0);
    // 2.5 ms and 500 ms are 120 and 24000 samples at 48 kHz, twice that at
    // 96 kHz: a new rate recomputes both, the times stay.
    for (const double rate : {48000.0, 96000.0})
    {
        compressor.setSampleRate(rate);
        EXPECT_DOUBLE_EQ(compressor.getAttackCoefficient(), std::exp(-1.0 / (rate / 400.0)));
        EXPECT_DOUBLE_EQ(compressor.getReleaseCoefficient(), std::exp(-1.0 / (rate / 2.0)));
    }
    compressor.setSampleRate(0.0);
    EXPECT_EQ(compressor.getAttackCoefficient(), 0.0);
    EXPECT_EQ(compressor.getReleaseCoefficient(), 0.0);
    compressor.setSampleRate(44100.0);
    compressor.setAttack(0.0);
    EXPECT_EQ(compressor.getAttackCoefficient(), 0.0);
    EXPECT_DOUBLE_EQ(compressor.getReleaseCoefficient(), std::exp(-1.0 / 22050.0));
}
