#include "engine/EngineBlock.h"

#include "utilkit/MeterReading.h"

#include <cmath>

void EngineBlock::setChain(RackProcessor* chainRoot, RackProcessor* postProcessor)
{
    m_pChainRoot = chainRoot;
    m_pPostProcessor = postProcessor;
}

std::uint32_t EngineBlock::tickPeriod(double sampleRate, long frames) noexcept
{
    if (frames <= 0 || sampleRate <= 0.0)
        return 1;
    const auto period = static_cast<std::uint32_t>(sampleRate / static_cast<double>(frames));
    return period == 0 ? 1 : period;
}

void EngineBlock::prepare(double sampleRate)
{
    m_fSampleRate.store(sampleRate, std::memory_order_relaxed);
}

void EngineBlock::reset()
{
    m_nBlockCounter.store(0, std::memory_order_relaxed);
}

void EngineBlock::process(float** in, float** out, long numIn, long numOut, long frames) noexcept
{
    const double sampleRate = m_fSampleRate.load(std::memory_order_relaxed);
    const std::uint32_t block = m_nBlockCounter.fetch_add(1, std::memory_order_relaxed) + 1;

    // The chain.
    m_bChainIdle.store(false, std::memory_order_relaxed);
    if (m_pChainRoot != nullptr)
        m_pChainRoot->Process(in, out, numIn, numOut, frames);
    m_bChainIdle.store(true, std::memory_order_release);
    if (m_pPostProcessor != nullptr)
        m_pPostProcessor->Process(in, out, numIn, numOut, frames);

    // Tick, peaks and clipping on the first four outputs.
    const long channels = numOut < kMeteredChannels ? numOut : kMeteredChannels;
    std::array<float, kMeteredChannels> peaks;
    peaks.fill(kPeakFloor);
    if (out != nullptr && channels > 0)
    {
        const bool tickOn = m_bTickOn.load(std::memory_order_relaxed);
        if (tickOn)
        {
            // While the tick is on the first sample of every block is 0, and
            // a full-scale impulse once per tick period (about a second).
            const float tick = block % tickPeriod(sampleRate, frames) == 0 ? 1.0f : 0.0f;
            for (long channel = 0; channel < channels; ++channel)
                if (frames > 0)
                    out[channel][0] = tick;
        }
        for (long channel = 0; channel < channels; ++channel)
        {
            float* samples = out[channel];
            float peak = kPeakFloor;
            for (long frame = 0; frame < frames; ++frame)
            {
                const float sample = samples[frame];
                const float magnitude = std::fabs(sample);
                // The peak is taken before clipping, so it can read above 0 dB.
                if (magnitude > peak)
                    peak = magnitude;
                if (sample > 1.0f)
                    samples[frame] = 1.0f;
                else if (sample < -1.0f)
                    samples[frame] = -1.0f;
            }
            peaks[static_cast<size_t>(channel)] = peak;
        }
    }
    for (size_t channel = 0; channel < kMeteredChannels; ++channel)
        m_meterDb[channel].store(meter::decibels(peaks[channel]), std::memory_order_relaxed);
}
