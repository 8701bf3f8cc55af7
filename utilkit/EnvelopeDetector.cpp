#include "utilkit/EnvelopeDetector.h"

#include <cmath>

EnvelopeDetector::EnvelopeDetector(double timeConstantMs, double sampleRate)
    : m_timeConstantMs(timeConstantMs), m_sampleRate(sampleRate)
{
    updateCoefficient();
}

void EnvelopeDetector::setTimeConstant(double milliseconds)
{
    m_timeConstantMs = milliseconds;
    updateCoefficient();
}

void EnvelopeDetector::setSampleRate(double sampleRate)
{
    m_sampleRate = sampleRate;
    updateCoefficient();
}

void EnvelopeDetector::updateCoefficient()
{
    // After one time constant the follower has covered 1 - 1/e of a step.
    // A zero time or an unknown rate (0.0 while the engine is stopped) makes
    // the follower jump straight to its target instead of dividing by zero.
    const double samplesPerTimeConstant = 0.001 * m_timeConstantMs * m_sampleRate;
    const double coefficient =
        (std::isfinite(samplesPerTimeConstant) && samplesPerTimeConstant > 0.0)
            ? std::exp(-1.0 / samplesPerTimeConstant)
            : 0.0;
    m_coefficient.store(coefficient, std::memory_order_relaxed);
}
