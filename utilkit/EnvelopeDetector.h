#pragma once

// EnvelopeDetector: turns a time constant and a sample rate into the one-pole
// smoothing coefficient of an envelope follower
// (envelope <- target + coefficient x (envelope - target)).
//
// Threads: configured on the GUI thread; the coefficient is an atomic, so the
// audio thread may read it at any time and sees either the old or the new
// value.

#include <atomic>

class EnvelopeDetector
{
public:
    explicit EnvelopeDetector(double timeConstantMs = 1.0, double sampleRate = 44100.0);

    // GUI thread. Both recompute the coefficient.
    void setTimeConstant(double milliseconds);
    void setSampleRate(double sampleRate);

    double getTimeConstant() const { return m_timeConstantMs; }
    double getSampleRate() const { return m_sampleRate; }

    // Any thread.
    double getCoefficient() const noexcept { return m_coefficient.load(std::memory_order_relaxed); }

private:
    void updateCoefficient();

    double m_timeConstantMs;
    double m_sampleRate;
    std::atomic<double> m_coefficient{0.0};
};
