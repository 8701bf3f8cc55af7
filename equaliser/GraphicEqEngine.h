#pragma once

// GraphicEqEngine: the 31-band third-octave graphic equaliser without any
// widget. It works in place on the device outputs after the mixer has filled
// them: outputs 1-2 while the pair-1 switch is on, 3-4 while the pair-2
// switch is on. Each band is a peaking section (Q 4) whose gain is its slider
// value × 0.1 − 15 dB; the 31 sections run as one chain per side, and each
// of the four sides keeps its own filter memory, so no side hears another.
//
// Threads: process runs on the audio thread. Slider values and switches are
// atomics written on the GUI (or MIDI) thread. The 31 bands' coefficients
// travel as one whole set through a triple buffer: the GUI fills a spare set
// and publishes it with one atomic exchange, and the audio thread adopts the
// newest set at the start of a block, so a block never mixes two settings.
//
// Never: process allocates, frees, locks, waits or does I/O.

#include "app/RackEngine.h"
#include "utilkit/FxRbjFilter.h"

#include <array>
#include <atomic>
#include <mutex>

class GraphicEqEngine final : public RackEngine
{
public:
    static constexpr int kBandCount = 31;
    static constexpr int kSideCount = 4;
    // Link 0 is a side's input history, link k (1..31) band k's output.
    static constexpr int kLinkCount = kBandCount + 1;
    static constexpr int kMinValue = 0;
    static constexpr int kMaxValue = 300;
    static constexpr int kFlatValue = 150;
    static constexpr double kQ = 4.0;
    static constexpr std::array<double, kBandCount> kCentres = {
        20,   25,   31.5, 40,   50,   63,    80,    100,   125,  160,  200,
        250,  315,  400,  500,  630,  800,   1000,  1250,  1600, 2000, 2500,
        3150, 4000, 5000, 6300, 8000, 10000, 12500, 16000, 20000};
    // Below this a side's input and memory count as silence.
    static constexpr double kSilence = 1e-15;

    using Values = std::array<int, kBandCount>;
    using Memory = std::array<std::array<double, 2>, kLinkCount>;
    using CoefficientSet = std::array<CFxRbjFilter::Coefficients, kBandCount>;

    GraphicEqEngine();

    static double gainDb(int value) noexcept { return value * 0.1 - 15.0; }
    static int clampValue(int value) noexcept
    {
        return value < kMinValue ? kMinValue : (value > kMaxValue ? kMaxValue : value);
    }

    // GUI thread, device stopped. A running rate becomes the rate the
    // coefficients are computed for (44100 Hz until the first); 0.0 keeps it.
    void prepare(double sampleRate) override;
    // GUI thread, device stopped: clears the four sides' memories.
    void reset() noexcept override;
    // Audio thread: filters out[0..1] (pair 1) and out[2..3] (pair 2) in place.
    void process(float** in, float** out, long numIn, long numOut, long frames) noexcept override;

    // GUI thread. Stores the band values (clamped to 0..300) and publishes
    // the coefficients they give, all 31 at once.
    void setValues(const Values& values);
    Values values() const;
    // Any thread.
    void setPairEnabled(int pair, bool on) noexcept
    {
        m_pairOn[static_cast<size_t>(pair)].store(on, std::memory_order_relaxed);
    }
    bool pairEnabled(int pair) const noexcept
    {
        return m_pairOn[static_cast<size_t>(pair)].load(std::memory_order_relaxed);
    }
    double filterSampleRate() const noexcept { return m_sampleRate.load(); }

    // Audio thread (or tests while no block runs).
    const CoefficientSet& activeCoefficients() const noexcept { return m_sets[m_readerSet]; }
    const Memory& memory(int side) const noexcept { return m_memory[static_cast<size_t>(side)]; }

    // How a section's sums are rounded: Fused with the processor's
    // multiply-add (one rounding for a x + b), Plain without. A processor
    // runs every side one way, so sides never differ in their last bit.
    enum class Arithmetic
    {
        Plain,
        Fused
    };
    Arithmetic arithmetic() const noexcept { return m_arithmetic; }
    // Tests, no block running: the plain steps on a processor that has the
    // fused ones (the other way round is refused: it would not run).
    bool setArithmetic(Arithmetic arithmetic) noexcept;

    // One side's chain over a block, without SIMD: the four-lane code does
    // exactly these operations, so its sides equal this bit for bit.
    static void filterSide(const CoefficientSet& set, Memory& memory, float* samples, long frames,
                           Arithmetic arithmetic = Arithmetic::Plain) noexcept;

private:
    void publish();
    void acquire() noexcept;

    std::array<std::atomic<int>, kBandCount> m_values{};
    std::array<std::atomic<bool>, 2> m_pairOn{};
    std::atomic<double> m_sampleRate{44100.0};

    // Triple buffer of whole coefficient sets; see CFxRbjFilter for the idea.
    static constexpr unsigned kSetIndexMask = 3u;
    static constexpr unsigned kFreshFlag = 4u;
    std::array<CoefficientSet, 3> m_sets{};
    std::atomic<unsigned> m_handOver{2u};
    unsigned m_writerSet = 1u; // GUI side, under m_writerMutex
    unsigned m_readerSet = 0u; // audio thread
    std::mutex m_writerMutex;

    // Audio thread: one memory per side.
    std::array<Memory, kSideCount> m_memory{};
    bool m_useFourLanes = false;
    Arithmetic m_arithmetic = Arithmetic::Plain;
};
