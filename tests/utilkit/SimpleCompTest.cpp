#include "utilkit/SimpleComp.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(SimpleCompTest, TimesAndRateBecomeOnePoleCoefficients)
{
    SimpleComp compressor;
    compressor.setAttack(2.5);
    compressor.setRelease(500.0);
    compressor.setSampleRate(48000.0);
    // 2.5 ms at 48 kHz is 120 samples, 500 ms 24000 samples.
    EXPECT_DOUBLE_EQ(compressor.getAttackCoefficient(), std::exp(-1.0 / 120.0));
    EXPECT_DOUBLE_EQ(compressor.getReleaseCoefficient(), std::exp(-1.0 / 24000.0));
    EXPECT_DOUBLE_EQ(compressor.getAttack(), 2.5);
    EXPECT_DOUBLE_EQ(compressor.getRelease(), 500.0);

    // A new rate recomputes both; the times stay.
    compressor.setSampleRate(96000.0);
    EXPECT_DOUBLE_EQ(compressor.getAttackCoefficient(), std::exp(-1.0 / 240.0));
    EXPECT_DOUBLE_EQ(compressor.getReleaseCoefficient(), std::exp(-1.0 / 48000.0));
    EXPECT_DOUBLE_EQ(compressor.getSampleRate(), 96000.0);
}

TEST(SimpleCompTest, AStoppedRateOrZeroTimeFollowsInstantlyInsteadOfDividingByZero)
{
    SimpleComp compressor;
    compressor.setSampleRate(0.0);
    EXPECT_EQ(compressor.getAttackCoefficient(), 0.0);
    EXPECT_EQ(compressor.getReleaseCoefficient(), 0.0);
    compressor.setSampleRate(44100.0);
    compressor.setAttack(0.0);
    EXPECT_EQ(compressor.getAttackCoefficient(), 0.0);
    EXPECT_GT(compressor.getReleaseCoefficient(), 0.0);
}

TEST(SimpleCompTest, ParametersAndEnvelopeAreThoseSet)
{
    SimpleComp compressor;
    compressor.setThreshold(-6.0);
    compressor.setRatio(0.0);
    EXPECT_EQ(compressor.getThreshold(), -6.0);
    EXPECT_EQ(compressor.getRatio(), 0.0);

    compressor.setEnvelopeDb(4.5);
    EXPECT_EQ(compressor.getEnvelopeDb(), 4.5);
    // The runtime reset leaves a small non-negative "no excess" value.
    compressor.initRuntime();
    EXPECT_EQ(compressor.getEnvelopeDb(), SimpleComp::kDcOffset);
    EXPECT_GE(compressor.getEnvelopeDb(), 0.0);
}
