#pragma once

// CFxRbjFilter: one biquad section with the coefficient formulas of Robert
// Bristow-Johnson's audio-EQ cookbook (low/high pass, band pass, notch, all
// pass, peaking equaliser, low and high shelf).
//
// Threads: calc_filter_coeffs runs on the GUI thread (or any non-audio
// thread; concurrent writers are serialised by a writer-side mutex) while the
// audio thread filters. The coefficient sets travel through a lock-free triple
// buffer: the writer fills a set nobody reads and publishes it with one atomic
// exchange; the audio thread adopts the newest published set once per block,
// in acquireCoefficients() (or beginBlock/processBlock, which call it), so
// every sample in between uses one whole set, never a half-written one. The
// filter memory belongs to the audio thread alone.
//
// Never: the audio-thread side (acquireCoefficients, filter, beginBlock,
// endBlock, processBlock, reset) allocates, locks or waits.

#include <array>
#include <atomic>
#include <mutex>

class CFxRbjFilter
{
public:
    // The cookbook's filter shapes, as the type codes callers pass.
    enum FilterType
    {
        LowPass = 0,
        HighPass = 1,
        BandPassConstantSkirt = 2,
        BandPassConstantPeak = 3,
        Notch = 4,
        AllPass = 5,
        PeakingEqualiser = 6,
        LowShelf = 7,
        HighShelf = 8,
    };

    CFxRbjFilter() = default;
    CFxRbjFilter(const CFxRbjFilter&) = delete;
    CFxRbjFilter& operator=(const CFxRbjFilter&) = delete;

    // GUI thread. Computes and publishes new coefficients. With qIsBandwidth
    // false, q is the quality factor; with true it is the bandwidth in octaves
    // (for the shelves: the shelf slope S). Frequencies at or above Nyquist
    // are pulled just below it. Returns false, and keeps the coefficients in
    // force, for an unknown type or a rate, frequency or q that is not a
    // positive finite number.
    bool calc_filter_coeffs(int type, double frequency, double sampleRate, double q, double gainDb,
                            bool qIsBandwidth);

    // Audio thread, once per block: adopts the newest published coefficient
    // set, if one arrived since the last call. Until then filter() keeps
    // using the set it has (a new filter passes the signal unchanged).
    void acquireCoefficients() noexcept;

    // Audio thread. One sample through the biquad, updating its memory.
    float filter(float input) noexcept
    {
        BlockState state = currentState();
        const float output = state.filter(input);
        endBlock(state);
        return output;
    }

    // The coefficients and memory of one block, held in locals by a hot loop
    // (so the memory stays in registers): beginBlock adopts the newest
    // coefficients and copies both out, filter runs samples, endBlock writes
    // the memory back. Results equal those of filter() sample by sample.
    struct BlockState;
    BlockState beginBlock() noexcept;
    void endBlock(const BlockState& state) noexcept;

    // Audio thread. Adopts the newest coefficients, then filters the block in
    // place.
    void processBlock(float* samples, long frames) noexcept;

    // Audio thread, or any thread while the audio thread is not filtering.
    // Clears the filter memory; the coefficients stay.
    void reset() noexcept;

    // Normalised coefficients (divided by a0).
    struct Coefficients
    {
        double b0 = 1.0;
        double b1 = 0.0;
        double b2 = 0.0;
        double a1 = 0.0;
        double a2 = 0.0;
    };

    // One output of the section from an input and the memory (the last two
    // inputs and outputs), in double. Sections chained in a hot loop can pass
    // this double straight on, so a link between two sections keeps one
    // history that is the earlier one's output and the later one's input.
    static double nextOutput(const Coefficients& c, double input, double input1, double input2,
                             double output1, double output2) noexcept
    {
        // The memory's terms first and the new input last: in a chain of
        // sections only one multiply-add then waits on the section before.
        // Each pair cancels exactly in a flat section (b1 = a1, b2 = a2 and
        // input = output), so a flat section passes its input bit for bit.
        const double memory = (c.b1 * input1 - c.a1 * output1) + (c.b2 * input2 - c.a2 * output2);
        return memory + c.b0 * input;
    }

    struct BlockState
    {
        // Points into the filter's own sets: the set in use at beginBlock
        // stays untouched by the writer until the next acquireCoefficients.
        const Coefficients* coefficients;
        double input1 = 0.0;
        double input2 = 0.0;
        double output1 = 0.0;
        double output2 = 0.0;

        float filter(float input) noexcept
        {
            const double output =
                nextOutput(*coefficients, input, input1, input2, output1, output2);
            input2 = input1;
            input1 = input;
            output2 = output1;
            output1 = output;
            return static_cast<float>(output);
        }
    };

    // The set the audio thread filters with; for tests and diagnostics on
    // the audio thread.
    const Coefficients& activeCoefficients() const noexcept
    {
        return m_coefficientSets[m_readerSetIndex];
    }

private:
    // Triple buffer: the writer owns one set, the reader one, and the third is
    // the hand-over slot. m_handOver holds the hand-over set's index plus the
    // fresh flag that says the writer put a set there the reader has not
    // taken yet.
    static constexpr unsigned kSetIndexMask = 3u;
    static constexpr unsigned kFreshFlag = 4u;

    std::array<Coefficients, 3> m_coefficientSets{};
    std::atomic<unsigned> m_handOver{2u};
    unsigned m_writerSetIndex = 1u; // writer side only, under m_writerMutex
    unsigned m_readerSetIndex = 0u; // audio thread only
    std::mutex m_writerMutex;

    BlockState currentState() const noexcept
    {
        return {&m_coefficientSets[m_readerSetIndex], m_input1, m_input2, m_output1, m_output2};
    }

    // Filter memory (audio thread): the last two inputs and outputs.
    double m_input1 = 0.0;
    double m_input2 = 0.0;
    double m_output1 = 0.0;
    double m_output2 = 0.0;
};
