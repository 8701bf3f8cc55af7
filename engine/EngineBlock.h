#pragma once

// EngineBlock: what the amplifier does with every device block once the
// driver has converted it to float: run the chain root (the mixer) and the
// post-processor (the graphic equaliser), add the optional test tick, take
// the output peaks, clip to ±1 and leave the four meter readings for the
// amplifier to show.
//
// Threads: process() runs on the audio thread and never allocates, locks or
// waits. setChain() and prepare() are called on the GUI thread while the
// device is stopped; the tick switch and the meter readings are atomics
// shared with the GUI.

#include "app/RackEngine.h"
#include "app/RackProcessor.h"

#include <array>
#include <atomic>
#include <cstdint>

class EngineBlock : public RackEngine
{
public:
    static constexpr int kMeteredChannels = 4;
    // Peaks start here (-120 dB), so a silent or missing channel reads -120 dB.
    static constexpr float kPeakFloor = 1e-6f;

    // GUI thread, once, before the device starts.
    void setChain(RackProcessor* chainRoot, RackProcessor* postProcessor);
    RackProcessor* chainRoot() const { return m_pChainRoot; }
    RackProcessor* postProcessor() const { return m_pPostProcessor; }

    // GUI thread, device stopped: the device's rate (0.0 once it stopped),
    // which paces the tick.
    void prepare(double sampleRate) override;
    // GUI thread, device stopped: the tick starts counting afresh.
    void reset() override;
    // Audio thread: one block.
    void process(float** in, float** out, long numIn, long numOut, long frames) noexcept override;

    std::atomic<bool> m_bTickOn{false};
    // Set whenever the chain root is not inside a block; nothing waits on it.
    std::atomic<bool> m_bChainIdle{true};

    // The readings of the last block, in dB (20 × log10 of the peak before clipping).
    float meterDb(int channel) const
    {
        return m_meterDb[static_cast<size_t>(channel)].load(std::memory_order_relaxed);
    }
    std::uint32_t blockCount() const { return m_nBlockCounter.load(std::memory_order_relaxed); }

    // Blocks per tick: the rate divided by the block size, truncated; a block
    // longer than a second would give 0, so every block ticks then.
    static std::uint32_t tickPeriod(double sampleRate, long frames) noexcept;

private:
    RackProcessor* m_pChainRoot = nullptr;
    RackProcessor* m_pPostProcessor = nullptr;
    // Paces the tick; counts every block.
    std::atomic<std::uint32_t> m_nBlockCounter{0};
    std::atomic<double> m_fSampleRate{0.0};
    std::array<std::atomic<float>, kMeteredChannels> m_meterDb{};
};
