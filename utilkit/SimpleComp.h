#pragma once

// SimpleComp: the parameters and envelope of a feed-forward compressor:
// threshold and ratio, an attack and a release EnvelopeDetector, and the
// smoothed excess over the threshold in dB (the envelope). The owner runs the
// gain computation itself and reads and writes the envelope through this
// object, so the same state can serve a custom gain law.
//
// Threads: the set-up operations run on the GUI thread and store atomics, so
// the audio thread may read the parameters at any time. The envelope belongs
// to the audio thread; initRuntime() may run on the GUI thread only while the
// audio thread is not using the compressor.
//
// Never: nothing here allocates or locks after construction.

#include "utilkit/EnvelopeDetector.h"

#include <atomic>

class SimpleComp
{
public:
    // Keeps the logarithm of a silent signal finite and the envelope a small
    // positive dB value (it is subtracted again before the gain is computed).
    static constexpr double kDcOffset = 1e-25;

    SimpleComp();
    ~SimpleComp() = default;
    SimpleComp(const SimpleComp&) = delete;
    SimpleComp& operator=(const SimpleComp&) = delete;

    // GUI thread.
    void setThreshold(double thresholdDb) { m_thresholdDb.store(thresholdDb); }
    void setRatio(double ratio) { m_ratio.store(ratio); }
    void setAttack(double milliseconds) { m_attack.setTimeConstant(milliseconds); }
    void setRelease(double milliseconds) { m_release.setTimeConstant(milliseconds); }
    void setSampleRate(double sampleRate);
    // Runtime reset: the envelope back to "no excess".
    void initRuntime() noexcept { m_envelopeDb = kDcOffset; }

    double getAttack() const { return m_attack.getTimeConstant(); }
    double getRelease() const { return m_release.getTimeConstant(); }
    double getSampleRate() const { return m_attack.getSampleRate(); }

    // Any thread.
    double getThreshold() const noexcept { return m_thresholdDb.load(std::memory_order_relaxed); }
    double getRatio() const noexcept { return m_ratio.load(std::memory_order_relaxed); }
    double getAttackCoefficient() const noexcept { return m_attack.getCoefficient(); }
    double getReleaseCoefficient() const noexcept { return m_release.getCoefficient(); }

    // Audio thread: the envelope, in dB above the threshold.
    double getEnvelopeDb() const noexcept { return m_envelopeDb; }
    void setEnvelopeDb(double envelopeDb) noexcept { m_envelopeDb = envelopeDb; }

private:
    // Defaults of a gentle general-purpose compressor until the owner sets
    // its own.
    std::atomic<double> m_thresholdDb{0.0};
    std::atomic<double> m_ratio{1.0};
    EnvelopeDetector m_attack{10.0};
    EnvelopeDetector m_release{100.0};
    double m_envelopeDb = kDcOffset;
};
