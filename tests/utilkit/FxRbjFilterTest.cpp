#include "utilkit/FxRbjFilter.h"

#include "platform/Denormals.h"
#include "support/Tones.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <numbers>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace
{

// What is wrong with the filter's steady output for a sine of amplitude 0.5
// at `frequency`, as a sine raised by `gainDb` (within 0.01 dB): a second to
// settle, then 200 whole periods measured.
std::string steadyToneFaults(CFxRbjFilter& filter, double frequency, double sampleRate,
                             double gainDb)
{
    const size_t settle = static_cast<size_t>(sampleRate);
    const size_t count = static_cast<size_t>(std::lround(200 * sampleRate / frequency));
    std::vector<float> output(settle + count);
    for (size_t frame = 0; frame < output.size(); ++frame)
        output[frame] = filter.filter(static_cast<float>(
            0.5 * std::sin(2.0 * std::numbers::pi * frequency * frame / sampleRate)));
    const double level = 0.5 * std::pow(10.0, gainDb / 20.0);
    return testkit::toneFaults(output.data() + settle, count, 1, sampleRate, frequency, level, 0.05,
                               level * (std::pow(10.0, 0.01 / 20.0) - 1.0));
}

} // namespace

// At 0 dB the mixer's three bands, at two device rates, pass every sample
// bit for bit.
TEST(FxRbjFilterTest, FlatPeakingFilterPassesTheSignalUnchanged)
{
    platform::ScopedNoDenormals noDenormals;
    std::mt19937 generator(7);
    std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
    for (double sampleRate : {44100.0, 96000.0})
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
        EXPECT_EQ(steadyToneFaults(filter, setting.frequency, setting.sampleRate, setting.gainDb),
                  "")
            << setting.frequency << " Hz at " << setting.sampleRate;
    }
}

// New coefficients take effect only when the audio thread acquires them
// (processBlock does so itself). Invalid settings are refused and keep the
// set in force: a stopped engine reports the rate 0.0, which must never give
// NaN. A centre above Nyquist is pulled below it and stays stable.
TEST(FxRbjFilterTest, CoefficientsChangeOnlyWhenValidAndAcquired)
{
    CFxRbjFilter filter;
    ASSERT_TRUE(filter.calc_filter_coeffs(6, 950.0, 48000.0, 1.0, 6.0, false));
    EXPECT_EQ(filter.filter(0.25f), 0.25f); // a new filter is flat
    filter.acquireCoefficients();
    const CFxRbjFilter::Coefficients before = filter.activeCoefficients();
    EXPECT_GT(before.b0, 1.0);

    EXPECT_FALSE(filter.calc_filter_coeffs(6, 950.0, 0.0, 1.0, 6.0, false));
    EXPECT_FALSE(filter.calc_filter_coeffs(6, 0.0, 48000.0, 1.0, 6.0, false));
    EXPECT_FALSE(filter.calc_filter_coeffs(6, 950.0, 48000.0, 0.0, 6.0, false));
    EXPECT_FALSE(filter.calc_filter_coeffs(6, 950.0, 48000.0, 1.0, NAN, false));
    EXPECT_FALSE(filter.calc_filter_coeffs(9, 950.0, 48000.0, 1.0, 6.0, false));
    EXPECT_FALSE(filter.calc_filter_coeffs(-1, 950.0, 48000.0, 1.0, 6.0, false));
    filter.acquireCoefficients();
    EXPECT_EQ(std::memcmp(&filter.activeCoefficients(), &before, sizeof before), 0);

    ASSERT_TRUE(filter.calc_filter_coeffs(6, 30000.0, 48000.0, 1.0, 12.0, false));
    float sample = 0.25f;
    filter.processBlock(&sample, 1);
    const auto& c = filter.activeCoefficients();
    EXPECT_NE(c.b0, before.b0);
    EXPECT_LT(std::abs(c.a2), 1.0);
    EXPECT_LT(std::abs(c.a1), 1.0 + c.a2);
}

// The GUI thread recomputes while the audio thread filters: every set the
// audio thread adopts is one whole set some call computed (or the flat one
// of a new filter), and the newest set wins in the end.
TEST(FxRbjFilterTest, ConcurrentRecomputationNeverTearsACoefficientSet)
{
    const std::vector<double> gains{-15.0, -7.0, 0.0, 4.0, 15.0};
    std::vector<CFxRbjFilter::Coefficients> wholeSets{CFxRbjFilter::Coefficients{}};
    for (double gain : gains)
    {
        CFxRbjFilter reference;
        reference.calc_filter_coeffs(6, 6000.0, 48000.0, 1.0, gain, false);
        reference.acquireCoefficients();
        wholeSets.push_back(reference.activeCoefficients());
    }
    const auto isWholeSet = [&](const CFxRbjFilter::Coefficients& active)
    {
        return std::ranges::any_of(wholeSets, [&](const auto& set)
                                   { return std::memcmp(&set, &active, sizeof set) == 0; });
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
        tornSets += isWholeSet(filter.activeCoefficients()) ? 0 : 1;
    }
    writer.join();
    EXPECT_EQ(tornSets, 0u);
    filter.acquireCoefficients();
    EXPECT_TRUE(std::memcmp(&filter.activeCoefficients(), &wholeSets[1 + (kWrites - 1) % 5],
                            sizeof(CFxRbjFilter::Coefficients)) == 0);
}
