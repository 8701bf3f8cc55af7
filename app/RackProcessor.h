#pragma once

// The engine side of a rack unit: its run state, routing flag, sample rate and
// the block-processing operation through which the audio engine reaches it.
// CRackUnit (the widget) derives from this, so the DSP and state logic of every
// unit can be driven by tests without a window.
//
// Threads: Process runs on the audio thread; SetSampleRate and the flags are
// written on the GUI thread while the device is stopped (m_bRouted may change
// while it runs). The flags are atomics because the audio thread and worker
// threads read them.

#include <atomic>

class RackProcessor
{
public:
    virtual ~RackProcessor() = default;

    // Audio thread. Processes one block: in/out are arrays of per-channel
    // buffers of `frames` 32-bit float samples each. Never allocates, locks,
    // waits or does I/O.
    virtual void Process(float** in, float** out, long numIn, long numOut, long frames) = 0;

    // GUI thread. 0.0 means the engine has stopped.
    virtual float GetSampleRate() const { return m_fSampleRate.load(std::memory_order_relaxed); }
    virtual void SetSampleRate(float rate) { m_fSampleRate.store(rate, std::memory_order_relaxed); }

    std::atomic<bool> m_bRunning{false};
    std::atomic<bool> m_bRouted{false};

protected:
    // The rate a unit assumes until the engine tells it otherwise.
    std::atomic<float> m_fSampleRate{44100.0f};
};
