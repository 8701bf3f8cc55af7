// The equaliser's filter bank without widgets: flat is transparent, bands
// lift their tones by their gain with the sides kept apart, the filters ring
// on after the input stops, a blown-up side recovers, and a block is
// real-time safe. (The bands' centres at each device rate: the equaliser
// journey.)

#include "equaliser/GraphicEqEngine.h"
#include "support/RealtimeTrap.h"
#include "support/Tones.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <limits>
#include <numbers>
#include <vector>

namespace
{

constexpr int kBand1kHz = 17;
constexpr int kPlus12 = 270; // slider value of +12 dB
constexpr long kBlock = 256;
constexpr double kRate = 48000.0;

using Sides = std::vector<std::vector<float>>;

GraphicEqEngine::Values valuesWith(int all, int band = -1, int value = 0)
{
    GraphicEqEngine::Values values{};
    values.fill(all);
    if (band >= 0)
        values[static_cast<size_t>(band)] = value;
    return values;
}

void configure(GraphicEqEngine& engine, double rate, const GraphicEqEngine::Values& values)
{
    engine.prepare(rate);
    engine.setValues(values);
    engine.setPairEnabled(0, true);
    engine.setPairEnabled(1, true);
}

// The four sides through the engine in blocks of kBlock.
void run(GraphicEqEngine& engine, Sides& sides, long numOut = 4)
{
    for (size_t start = 0; start < sides[0].size(); start += kBlock)
    {
        float* out[4];
        for (size_t side = 0; side < 4; ++side)
            out[side] = sides[side].data() + start;
        engine.process(nullptr, out, 0, numOut,
                       static_cast<long>(std::min<size_t>(kBlock, sides[0].size() - start)));
    }
}

std::vector<float> sine(size_t frames, double frequency, double amplitude)
{
    return testkit::makeSine(static_cast<int>(kRate), frames, frequency, amplitude);
}

// dB of one frequency over the last 0.1 s relative to `amplitude`.
double levelDb(const std::vector<float>& samples, double frequency, double amplitude)
{
    std::complex<double> sum;
    for (size_t frame = samples.size() - 4800; frame < samples.size(); ++frame)
        sum += static_cast<double>(samples[frame]) *
               std::polar(1.0, -2.0 * std::numbers::pi * frequency * frame / kRate);
    return 20.0 * std::log10(2.0 * std::abs(sum) / 4800.0 / amplitude);
}

TEST(GraphicEqEngineTest, FlatSlidersPassEverySideBitExactly)
{
    GraphicEqEngine engine;
    configure(engine, kRate, valuesWith(GraphicEqEngine::kFlatValue));
    Sides sides(4, std::vector<float>(4096));
    for (size_t side = 0; side < 4; ++side)
        for (size_t frame = 0; frame < 4096; ++frame)
            sides[side][frame] = static_cast<float>(std::sin(0.001 * (side + 1) * frame * frame));
    const Sides before = sides;
    run(engine, sides);
    EXPECT_EQ(sides, before);
}

// L (1 kHz) is lifted by the band's gain, or by the bank's summed lift with
// every band up; R's 3 kHz never reaches L (shared filter memory would);
// four sides in SIMD lanes equal the plain chain bit for bit, with fused
// multiply-adds and without.
TEST(GraphicEqEngineTest, BandsLiftTheirToneAndSidesStayApart)
{
    struct Case
    {
        GraphicEqEngine::Values values;
        double liftDb, tolerance;
    };
    using Arithmetic = GraphicEqEngine::Arithmetic;
    for (const Arithmetic arithmetic : {Arithmetic::Plain, Arithmetic::Fused})
        for (const Case& c : {Case{valuesWith(150, kBand1kHz, kPlus12), 12.0, 0.05},
                              Case{valuesWith(kPlus12), 22.04, 0.1}})
        {
            GraphicEqEngine engine;
            if (!engine.setArithmetic(arithmetic))
                continue;
            configure(engine, kRate, c.values);
            Sides sides{sine(48000, 1000.0, 0.01), sine(48000, 3000.0, 0.01),
                        sine(48000, 1000.0, 0.01), sine(48000, 3000.0, 0.01)};
            run(engine, sides);
            // The four sides side by side give what one plain chain gives.
            std::vector<float> plain = sine(48000, 3000.0, 0.01);
            GraphicEqEngine::Memory memory{};
            GraphicEqEngine::filterSide(engine.activeCoefficients(), memory, plain.data(), 48000,
                                        arithmetic);
            EXPECT_EQ(plain, sides[3]);
            for (size_t left : {0u, 2u})
            {
                EXPECT_NEAR(levelDb(sides[left], 1000.0, 0.01), c.liftDb, c.tolerance) << left;
                EXPECT_LT(levelDb(sides[left], 3000.0, 1.0), -120.0) << left;
            }
        }
}

// Catches skipping an all-zero block while the filters still ring; a side
// that blew up starts again; one output never reaches past its buffer.
TEST(GraphicEqEngineTest, RingsOnRecoversAndKeepsToItsOutputs)
{
    GraphicEqEngine engine;
    auto values = valuesWith(150, 3, kPlus12); // 40 Hz
    values[4] = kPlus12;                       // 50 Hz
    configure(engine, kRate, values);
    Sides sides(4, std::vector<float>(48000 + 4 * kBlock));
    sides[0] = sine(48000, 45.0, 0.5);
    sides[0].resize(sides[1].size()); // silence after one second
    run(engine, sides, 1);
    EXPECT_NE(sides[0][48000], 0.0f);
    EXPECT_GT(std::fabs(sides[0][48000 + kBlock]), 1e-4f);
    for (size_t side = 1; side < 4; ++side)
        EXPECT_EQ(sides[side], std::vector<float>(sides[side].size(), 0.0f)) << side;

    sides[0] = sine(4 * kBlock, 1000.0, 0.5);
    sides[0][10] = std::numeric_limits<float>::quiet_NaN();
    sides[1] = sides[2] = sides[3] = sides[0];
    run(engine, sides);
    for (const auto& side : sides)
    {
        for (size_t frame = 0; frame < side.size(); ++frame)
            ASSERT_TRUE(std::isfinite(side[frame])) << frame;
        EXPECT_NE(side.back(), 0.0f);
    }
}

TEST(GraphicEqEngineTest, ProcessIsRealTimeSafe)
{
    GraphicEqEngine engine;
    configure(engine, kRate, valuesWith(200));
    Sides sides(4, sine(kBlock, 440.0, 0.5));
    float* out[4] = {sides[0].data(), sides[1].data(), sides[2].data(), sides[3].data()};
    for (int block = 0; block < 4; ++block)
    {
        engine.setValues(valuesWith(100 + block * 40)); // a new set each block
        realtime_trap::resetCounts();
        {
            const realtime_trap::ScopedArm arm;
            engine.process(nullptr, out, 0, 4, kBlock);
        }
        EXPECT_EQ(realtime_trap::violations(), 0u);
    }
}

} // namespace
