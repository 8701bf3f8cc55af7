#include "utilkit/FxRbjFilter.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace
{

// Highest centre or corner frequency, as a fraction of the rate: just below
// Nyquist, where the cookbook's formulas still give a stable section.
constexpr double kHighestFrequencyFraction = 0.499;

} // namespace

bool CFxRbjFilter::calc_filter_coeffs(int type, double frequency, double sampleRate, double q,
                                      double gainDb, bool qIsBandwidth)
{
    if (type < LowPass || type > HighShelf)
        return false;
    if (!std::isfinite(sampleRate) || sampleRate <= 0.0 || !std::isfinite(frequency) ||
        frequency <= 0.0 || !std::isfinite(q) || q <= 0.0 || !std::isfinite(gainDb))
        return false;
    frequency = std::min(frequency, sampleRate * kHighestFrequencyFraction);

    // The cookbook's intermediate values.
    const double amplitude = std::pow(10.0, gainDb / 40.0);
    const double omega = 2.0 * std::numbers::pi * frequency / sampleRate;
    const double sine = std::sin(omega);
    const double cosine = std::cos(omega);
    double alpha = 0.0;
    if (type == LowShelf || type == HighShelf)
    {
        // For the shelves the "bandwidth" form is the shelf slope S.
        alpha = qIsBandwidth
                    ? sine / 2.0 * std::sqrt((amplitude + 1.0 / amplitude) * (1.0 / q - 1.0) + 2.0)
                    : sine / (2.0 * q);
    }
    else
    {
        alpha = qIsBandwidth ? sine * std::sinh(std::numbers::ln2 / 2.0 * q * omega / sine)
                             : sine / (2.0 * q);
    }
    if (!std::isfinite(alpha) || alpha <= 0.0)
        return false;

    double b0 = 1.0, b1 = 0.0, b2 = 0.0, a0 = 1.0, a1 = 0.0, a2 = 0.0;
    switch (type)
    {
    case LowPass:
        b0 = (1.0 - cosine) / 2.0;
        b1 = 1.0 - cosine;
        b2 = (1.0 - cosine) / 2.0;
        a0 = 1.0 + alpha;
        a1 = -2.0 * cosine;
        a2 = 1.0 - alpha;
        break;
    case HighPass:
        b0 = (1.0 + cosine) / 2.0;
        b1 = -(1.0 + cosine);
        b2 = (1.0 + cosine) / 2.0;
        a0 = 1.0 + alpha;
        a1 = -2.0 * cosine;
        a2 = 1.0 - alpha;
        break;
    case BandPassConstantSkirt:
        b0 = sine / 2.0;
        b1 = 0.0;
        b2 = -sine / 2.0;
        a0 = 1.0 + alpha;
        a1 = -2.0 * cosine;
        a2 = 1.0 - alpha;
        break;
    case BandPassConstantPeak:
        b0 = alpha;
        b1 = 0.0;
        b2 = -alpha;
        a0 = 1.0 + alpha;
        a1 = -2.0 * cosine;
        a2 = 1.0 - alpha;
        break;
    case Notch:
        b0 = 1.0;
        b1 = -2.0 * cosine;
        b2 = 1.0;
        a0 = 1.0 + alpha;
        a1 = -2.0 * cosine;
        a2 = 1.0 - alpha;
        break;
    case AllPass:
        b0 = 1.0 - alpha;
        b1 = -2.0 * cosine;
        b2 = 1.0 + alpha;
        a0 = 1.0 + alpha;
        a1 = -2.0 * cosine;
        a2 = 1.0 - alpha;
        break;
    case PeakingEqualiser:
        b0 = 1.0 + alpha * amplitude;
        b1 = -2.0 * cosine;
        b2 = 1.0 - alpha * amplitude;
        a0 = 1.0 + alpha / amplitude;
        a1 = -2.0 * cosine;
        a2 = 1.0 - alpha / amplitude;
        break;
    case LowShelf:
    {
        const double shelf = 2.0 * std::sqrt(amplitude) * alpha;
        b0 = amplitude * ((amplitude + 1.0) - (amplitude - 1.0) * cosine + shelf);
        b1 = 2.0 * amplitude * ((amplitude - 1.0) - (amplitude + 1.0) * cosine);
        b2 = amplitude * ((amplitude + 1.0) - (amplitude - 1.0) * cosine - shelf);
        a0 = (amplitude + 1.0) + (amplitude - 1.0) * cosine + shelf;
        a1 = -2.0 * ((amplitude - 1.0) + (amplitude + 1.0) * cosine);
        a2 = (amplitude + 1.0) + (amplitude - 1.0) * cosine - shelf;
        break;
    }
    case HighShelf:
    {
        const double shelf = 2.0 * std::sqrt(amplitude) * alpha;
        b0 = amplitude * ((amplitude + 1.0) + (amplitude - 1.0) * cosine + shelf);
        b1 = -2.0 * amplitude * ((amplitude - 1.0) + (amplitude + 1.0) * cosine);
        b2 = amplitude * ((amplitude + 1.0) + (amplitude - 1.0) * cosine - shelf);
        a0 = (amplitude + 1.0) - (amplitude - 1.0) * cosine + shelf;
        a1 = 2.0 * ((amplitude - 1.0) - (amplitude + 1.0) * cosine);
        a2 = (amplitude + 1.0) - (amplitude - 1.0) * cosine - shelf;
        break;
    }
    default:
        return false;
    }

    std::lock_guard<std::mutex> writerLock(m_writerMutex);
    Coefficients& target = m_coefficientSets[m_writerSetIndex];
    target.b0 = b0 / a0;
    target.b1 = b1 / a0;
    target.b2 = b2 / a0;
    target.a1 = a1 / a0;
    target.a2 = a2 / a0;
    // Release: the set's contents are visible before its index is.
    const unsigned previous =
        m_handOver.exchange(m_writerSetIndex | kFreshFlag, std::memory_order_acq_rel);
    m_writerSetIndex = previous & kSetIndexMask;
    return true;
}

void CFxRbjFilter::acquireCoefficients() noexcept
{
    if ((m_handOver.load(std::memory_order_relaxed) & kFreshFlag) == 0)
        return;
    // Acquire: the set's contents written before the writer's exchange are
    // visible here.
    const unsigned previous = m_handOver.exchange(m_readerSetIndex, std::memory_order_acq_rel);
    m_readerSetIndex = previous & kSetIndexMask;
}

CFxRbjFilter::BlockState CFxRbjFilter::beginBlock() noexcept
{
    acquireCoefficients();
    return currentState();
}

void CFxRbjFilter::endBlock(const BlockState& state) noexcept
{
    m_input1 = state.input1;
    m_input2 = state.input2;
    m_output1 = state.output1;
    m_output2 = state.output2;
}

void CFxRbjFilter::processBlock(float* samples, long frames) noexcept
{
    BlockState state = beginBlock();
    for (long frame = 0; frame < frames; ++frame)
        samples[frame] = state.filter(samples[frame]);
    endBlock(state);
}

void CFxRbjFilter::reset() noexcept
{
    m_input1 = 0.0;
    m_input2 = 0.0;
    m_output1 = 0.0;
    m_output2 = 0.0;
}
