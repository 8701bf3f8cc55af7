// The equaliser's filter bank without widgets: flat is transparent, a band
// lifts its own tone by its gain and the sides never mix, the rate moves the
// bands, the filters ring on after the input stops, the bank's summed lift,
// a blown-up side recovers, and a block is real-time safe.

#include "equaliser/GraphicEqEngine.h"
#include "support/RealtimeTrap.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <limits>
#include <numbers>
#include <vector>

namespace
{

constexpr int kBand40Hz = 3;
constexpr int kBand45HzUpper = 4; // 50 Hz
constexpr int kBand1kHz = 17;
constexpr long kBlock = 256;

using Values = GraphicEqEngine::Values;

Values valuesWith(int flatBandsValue, std::initializer_list<std::pair<int, int>> bands = {})
{
    Values values{};
    values.fill(flatBandsValue);
    for (const auto& [band, value] : bands)
        values[static_cast<size_t>(band)] = value;
    return values;
}

// +12 dB on the slider scale.
constexpr int kPlus12 = 270;

struct Sides
{
    explicit Sides(size_t frames) : samples(4, std::vector<float>(frames)) {}
    std::vector<std::vector<float>> samples;
};

// Runs the four sides through the engine in blocks of kBlock.
void run(GraphicEqEngine& engine, Sides& sides, long numOut = 4)
{
    const size_t frames = sides.samples[0].size();
    for (size_t start = 0; start < frames; start += kBlock)
    {
        const long count = static_cast<long>(std::min<size_t>(kBlock, frames - start));
        float* out[4];
        for (size_t side = 0; side < 4; ++side)
            out[side] = sides.samples[side].data() + start;
        engine.process(nullptr, out, 0, numOut, count);
    }
}

void fillSine(std::vector<float>& samples, double rate, double frequency, double amplitude,
              size_t from = 0, size_t to = std::numeric_limits<size_t>::max())
{
    for (size_t frame = from; frame < std::min(to, samples.size()); ++frame)
        samples[frame] = static_cast<float>(
            amplitude * std::sin(2.0 * std::numbers::pi * frequency * frame / rate));
}

// Amplitude of one frequency over the last `count` samples (a whole number
// of its periods).
double amplitudeAt(const std::vector<float>& samples, double rate, double frequency, size_t count)
{
    std::complex<double> sum;
    const size_t first = samples.size() - count;
    for (size_t frame = first; frame < samples.size(); ++frame)
        sum += static_cast<double>(samples[frame]) *
               std::polar(1.0, -2.0 * std::numbers::pi * frequency * frame / rate);
    return 2.0 * std::abs(sum) / static_cast<double>(count);
}

double decibels(double ratio)
{
    return 20.0 * std::log10(ratio);
}

void configure(GraphicEqEngine& engine, double rate, const Values& values, bool pair2 = true)
{
    engine.prepare(rate);
    engine.setValues(values);
    engine.setPairEnabled(0, true);
    engine.setPairEnabled(1, pair2);
}

TEST(GraphicEqEngineTest, FlatSlidersPassEverySideBitExactly)
{
    GraphicEqEngine engine;
    configure(engine, 48000.0, valuesWith(GraphicEqEngine::kFlatValue));
    Sides sides(4096);
    for (size_t side = 0; side < 4; ++side)
        for (size_t frame = 0; frame < 4096; ++frame)
            sides.samples[side][frame] =
                static_cast<float>(std::sin(0.001 * (side + 1) * frame * frame) * 0.9);
    const Sides before = sides;
    run(engine, sides);
    EXPECT_EQ(sides.samples, before.samples);
}

// Catches shared filter memory between sides and a bank built for the wrong
// gain: L (1 kHz) is lifted by exactly its band's gain, R's 3 kHz never
// reaches L, on both output pairs.
TEST(GraphicEqEngineTest, BandLiftsItsToneAndSidesStayApart)
{
    constexpr double rate = 48000.0;
    GraphicEqEngine engine;
    configure(engine, rate, valuesWith(150, {{kBand1kHz, kPlus12}}));
    Sides sides(48000);
    for (size_t side : {0u, 2u})
        fillSine(sides.samples[side], rate, 1000.0, 0.25);
    for (size_t side : {1u, 3u})
        fillSine(sides.samples[side], rate, 3000.0, 0.25);
    run(engine, sides);
    for (size_t left : {0u, 2u})
    {
        EXPECT_NEAR(decibels(amplitudeAt(sides.samples[left], rate, 1000.0, 4800) / 0.25), 12.0,
                    0.05);
        EXPECT_LT(decibels(amplitudeAt(sides.samples[left], rate, 3000.0, 4800)), -120.0);
    }
}

// Catches a bank computed for 44100 Hz whatever the device runs at.
TEST(GraphicEqEngineTest, BandPeaksAtItsCentreAtTheDevicesRate)
{
    for (double rate : {44100.0, 96000.0})
    {
        GraphicEqEngine engine;
        configure(engine, rate, valuesWith(150, {{kBand1kHz, kPlus12}}));
        Sides probe(1);
        run(engine, probe); // adopts the coefficients
        const auto& c = engine.activeCoefficients()[kBand1kHz];
        double best = 0.0, peakFrequency = 0.0;
        for (double frequency = 800.0; frequency <= 1200.0; frequency += 1.0)
        {
            const std::complex<double> z =
                std::polar(1.0, -2.0 * std::numbers::pi * frequency / rate);
            const double gain =
                std::abs((c.b0 + c.b1 * z + c.b2 * z * z) / (1.0 + c.a1 * z + c.a2 * z * z));
            if (gain > best)
                best = gain, peakFrequency = frequency;
        }
        EXPECT_NEAR(peakFrequency, 1000.0, 10.0) << rate;
        EXPECT_NEAR(decibels(best), 12.0, 0.01) << rate;
    }
}

// Catches skipping an all-zero block while the filters still ring.
TEST(GraphicEqEngineTest, FiltersRingOnAfterTheInputStops)
{
    constexpr double rate = 48000.0;
    GraphicEqEngine engine;
    configure(engine, rate, valuesWith(150, {{kBand40Hz, kPlus12}, {kBand45HzUpper, kPlus12}}),
              false);
    Sides sides(48000 + 4 * kBlock);
    fillSine(sides.samples[0], rate, 45.0, 0.5, 0, 48000);
    run(engine, sides, 2);
    EXPECT_NE(sides.samples[0][48000], 0.0f);
    EXPECT_GT(std::fabs(sides.samples[0][48000 + kBlock]), 1e-4f);
}

TEST(GraphicEqEngineTest, AllBandsUpGiveTheBanksSummedLift)
{
    constexpr double rate = 48000.0;
    GraphicEqEngine engine;
    configure(engine, rate, valuesWith(kPlus12), false);
    Sides sides(48000);
    fillSine(sides.samples[0], rate, 1000.0, 0.01);
    run(engine, sides, 2);
    EXPECT_NEAR(decibels(amplitudeAt(sides.samples[0], rate, 1000.0, 4800) / 0.01), 22.04, 0.1);
}

// A side that blew up (a non-finite sample) starts again; one output only
// never reaches past the buffers it was given.
TEST(GraphicEqEngineTest, BrokenSideRecoversAndFewOutputsAreRespected)
{
    GraphicEqEngine engine;
    configure(engine, 48000.0, valuesWith(kPlus12));
    Sides sides(4 * kBlock);
    fillSine(sides.samples[0], 48000.0, 1000.0, 0.5);
    sides.samples[0][10] = std::numeric_limits<float>::quiet_NaN();
    run(engine, sides, 1);
    for (size_t frame = kBlock; frame < sides.samples[0].size(); ++frame)
        ASSERT_TRUE(std::isfinite(sides.samples[0][frame])) << frame;
    EXPECT_NE(sides.samples[0].back(), 0.0f);
    for (size_t side = 1; side < 4; ++side)
        EXPECT_EQ(sides.samples[side], std::vector<float>(4 * kBlock, 0.0f));
}

TEST(GraphicEqEngineTest, ProcessIsRealTimeSafe)
{
    GraphicEqEngine engine;
    configure(engine, 48000.0, valuesWith(200));
    Sides sides(kBlock);
    fillSine(sides.samples[0], 48000.0, 440.0, 0.5);
    fillSine(sides.samples[3], 48000.0, 440.0, 0.5);
    float* out[4] = {sides.samples[0].data(), sides.samples[1].data(), sides.samples[2].data(),
                     sides.samples[3].data()};
    for (int block = 0; block < 4; ++block)
    {
        engine.setValues(valuesWith(100 + block * 40));
        realtime_trap::resetCounts();
        {
            const realtime_trap::ScopedArm arm;
            engine.process(nullptr, out, 0, 4, kBlock);
        }
        EXPECT_EQ(realtime_trap::allocations(), 0u);
        EXPECT_EQ(realtime_trap::deallocations(), 0u);
        EXPECT_EQ(realtime_trap::blockingLocks(), 0u);
    }
}

} // namespace
