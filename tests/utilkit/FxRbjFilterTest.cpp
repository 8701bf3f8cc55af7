#include "utilkit/FxRbjFilter.h"

#include "platform/Denormals.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <numbers>
#include <random>
#include <thread>
#include <vector>

namespace
{

// Level of a steady sine of `frequency` after the filter, in dB relative to
// the input amplitude: the filter settles for a second, then the output is
// correlated with sine and cosine over a whole number of periods.
double measuredGainDb(CFxRbjFilter& filter, double frequency, double sampleRate)
{
    const double step = 2.0 * std::numbers::pi * frequency / sampleRate;
    const long settleFrames = static_cast<long>(sampleRate);
    const long periods = 200;
    const long measureFrames = std::lround(periods * sampleRate / frequency);
    const double amplitude = 0.5;
    double inPhase = 0.0;
    double quadrature = 0.0;
    for (long frame = 0; frame < settleFrames + measureFrames; ++frame)
    {
        const double phase = step * frame;
        const float output = filter.filter(static_cast<float>(amplitude * std::sin(phase)));
        if (frame >= settleFrames)
        {
            inPhase += output * std::sin(phase);
            quadrature += output * std::cos(phase);
        }
    }
    const double outputAmplitude = 2.0 * std::hypot(inPhase, quadrature) / measureFrames;
    return 20.0 * std::log10(outputAmplitude / amplitude);
}

} // namespace

TEST(FxRbjFilterTest, FlatPeakingFilterPassesTheSignalUnchanged)
{
    platform::ScopedNoDenormals noDenormals;
    std::mt19937 generator(7);
    std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
    // The mixer's three bands, at two device rates.
    for (double sampleRate : {44100.0, 96000.0})
    {
        for (auto [frequency, quality] : {std::pair{6000.0, 1.0}, {950.0, 1.0}, {55.0, 0.8}})
        {
            CFxRbjFilter filter;
            ASSERT_TRUE(filter.calc_filter_coeffs(CFxRbjFilter::PeakingEqualiser, frequency,
                                                  sampleRate, quality, 0.0, false));
            filter.acquireCoefficients();
            for (int frame = 0; frame < 20000; ++frame)
            {
                const float input = noise(generator);
                ASSERT_EQ(filter.filter(input), input) << frequency << " Hz, frame " << frame;
            }
        }
    }
}

TEST(FxRbjFilterTest, PeakingGainAtTheCentreFrequencyIsTheRequestedGain)
{
    platform::ScopedNoDenormals noDenormals;
    struct Setting
    {
        double frequency, sampleRate, quality, gainDb;
    };
    for (const Setting& setting :
         {Setting{6000.0, 48000.0, 1.0, 12.0}, Setting{950.0, 44100.0, 1.0, -9.0},
          Setting{55.0, 44100.0, 0.8, 15.0}, Setting{55.0, 96000.0, 0.8, -15.0},
          Setting{2500.0, 48000.0, 4.0, 3.0}})
    {
        CFxRbjFilter filter;
        ASSERT_TRUE(filter.calc_filter_coeffs(CFxRbjFilter::PeakingEqualiser, setting.frequency,
                                              setting.sampleRate, setting.quality, setting.gainDb,
                                              false));
        filter.acquireCoefficients();
        EXPECT_NEAR(measuredGainDb(filter, setting.frequency, setting.sampleRate), setting.gainDb,
                    0.01)
            << setting.frequency << " Hz at " << setting.sampleRate;
    }
}

TEST(FxRbjFilterTest, InvalidSettingsAreRefusedAndKeepTheCoefficientsInForce)
{
    CFxRbjFilter filter;
    ASSERT_TRUE(
        filter.calc_filter_coeffs(CFxRbjFilter::PeakingEqualiser, 950.0, 48000.0, 1.0, 6.0, false));
    filter.acquireCoefficients();
    const CFxRbjFilter::Coefficients before = filter.activeCoefficients();

    // A stopped engine reports the rate 0.0; it must never produce NaN.
    EXPECT_FALSE(filter.calc_filter_coeffs(6, 950.0, 0.0, 1.0, 6.0, false));
    EXPECT_FALSE(filter.calc_filter_coeffs(6, 0.0, 48000.0, 1.0, 6.0, false));
    EXPECT_FALSE(filter.calc_filter_coeffs(6, 950.0, 48000.0, 0.0, 6.0, false));
    EXPECT_FALSE(filter.calc_filter_coeffs(6, 950.0, 48000.0, 1.0, NAN, false));
    EXPECT_FALSE(filter.calc_filter_coeffs(9, 950.0, 48000.0, 1.0, 6.0, false));
    EXPECT_FALSE(filter.calc_filter_coeffs(-1, 950.0, 48000.0, 1.0, 6.0, false));
    filter.acquireCoefficients();
    EXPECT_EQ(filter.activeCoefficients().b0, before.b0);
    EXPECT_EQ(filter.activeCoefficients().a1, before.a1);

    // A centre above Nyquist is pulled below it and stays stable.
    ASSERT_TRUE(filter.calc_filter_coeffs(6, 30000.0, 48000.0, 1.0, 12.0, false));
    filter.acquireCoefficients();
    const auto& c = filter.activeCoefficients();
    EXPECT_LT(std::abs(c.a2), 1.0);
    EXPECT_LT(std::abs(c.a1), 1.0 + c.a2);
}

TEST(FxRbjFilterTest, NewCoefficientsTakeEffectOnlyWhenAcquired)
{
    CFxRbjFilter filter;
    // A new filter is flat.
    EXPECT_EQ(filter.filter(0.25f), 0.25f);
    ASSERT_TRUE(filter.calc_filter_coeffs(CFxRbjFilter::PeakingEqualiser, 1000.0, 48000.0, 1.0,
                                          12.0, false));
    EXPECT_EQ(filter.activeCoefficients().b0, 1.0);
    EXPECT_EQ(filter.filter(0.25f), 0.25f);
    filter.acquireCoefficients();
    EXPECT_GT(filter.activeCoefficients().b0, 1.0);

    // processBlock adopts the newest set itself.
    CFxRbjFilter blockFilter;
    ASSERT_TRUE(blockFilter.calc_filter_coeffs(CFxRbjFilter::PeakingEqualiser, 1000.0, 48000.0, 1.0,
                                               12.0, false));
    float sample = 0.25f;
    blockFilter.processBlock(&sample, 1);
    EXPECT_GT(blockFilter.activeCoefficients().b0, 1.0);
    EXPECT_NE(sample, 0.25f);
}

// The GUI thread recomputes while the audio thread filters: every set the
// audio thread adopts must be one whole set some call computed.
TEST(FxRbjFilterTest, ConcurrentRecomputationNeverTearsACoefficientSet)
{
    const std::vector<double> gains{-15.0, -7.0, 0.0, 4.0, 15.0};
    std::vector<CFxRbjFilter::Coefficients> expected;
    for (double gain : gains)
    {
        CFxRbjFilter reference;
        reference.calc_filter_coeffs(6, 6000.0, 48000.0, 1.0, gain, false);
        reference.acquireCoefficients();
        expected.push_back(reference.activeCoefficients());
    }
    auto isWholeSet = [&](const CFxRbjFilter::Coefficients& c)
    {
        CFxRbjFilter flat;
        const auto& identity = flat.activeCoefficients();
        auto same = [](const CFxRbjFilter::Coefficients& x, const CFxRbjFilter::Coefficients& y)
        { return x.b0 == y.b0 && x.b1 == y.b1 && x.b2 == y.b2 && x.a1 == y.a1 && x.a2 == y.a2; };
        if (same(c, identity))
            return true;
        for (const auto& candidate : expected)
        {
            if (same(c, candidate))
                return true;
        }
        return false;
    };

    CFxRbjFilter filter;
    constexpr long kWrites = 50000;
    std::atomic<bool> writerDone{false};
    std::thread writer(
        [&]
        {
            for (long round = 0; round < kWrites; ++round)
            {
                filter.calc_filter_coeffs(6, 6000.0, 48000.0, 1.0, gains[round % gains.size()],
                                          false);
                // Let the reader in between writes even on a busy machine.
                if (round % 16 == 0)
                    std::this_thread::yield();
            }
            writerDone.store(true);
        });
    size_t tornSets = 0;
    while (!writerDone.load())
    {
        filter.acquireCoefficients();
        if (!isWholeSet(filter.activeCoefficients()))
            ++tornSets;
    }
    writer.join();
    // Whatever was adopted on the way, the newest set wins in the end.
    filter.acquireCoefficients();
    const auto& newest = expected[(kWrites - 1) % gains.size()];
    EXPECT_EQ(filter.activeCoefficients().b0, newest.b0);
    EXPECT_EQ(filter.activeCoefficients().a2, newest.a2);
    EXPECT_EQ(tornSets, 0u);
}
