#include "mixer/MixerMeterReadings.h"

void MixerMeterReadings::postMeterReading(int meterIndex, float decibels) noexcept
{
    if (meterIndex < 0 || meterIndex >= kMeterCount)
        return;
    m_latestDecibels[meterIndex].store(decibels, std::memory_order_relaxed);
    m_readingCounts[meterIndex].fetch_add(1, std::memory_order_release);
}

float MixerMeterReadings::latestDecibels(int meterIndex) const noexcept
{
    if (meterIndex < 0 || meterIndex >= kMeterCount)
        return kNoReadingDb;
    return m_latestDecibels[meterIndex].load(std::memory_order_relaxed);
}

unsigned MixerMeterReadings::readingCount(int meterIndex) const noexcept
{
    if (meterIndex < 0 || meterIndex >= kMeterCount)
        return 0;
    return m_readingCounts[meterIndex].load(std::memory_order_acquire);
}
