#pragma once

// MixerMeterReadings: a MixerMeterSink that keeps the latest reading of each
// of the eleven meters in atomics, with a count of readings, so a GUI timer
// can forward new readings to the panel's meters (a meter whose count did not
// move got no reading and falls).
//
// Threads: postMeterReading on the audio thread; the getters on any thread.

#include "mixer/MixerMeterSink.h"

#include <array>
#include <atomic>

class MixerMeterReadings : public MixerMeterSink
{
public:
    // Audio thread.
    void postMeterReading(int meterIndex, float decibels) noexcept override;

    // Any thread.
    float latestDecibels(int meterIndex) const noexcept;
    unsigned readingCount(int meterIndex) const noexcept;

private:
    // The reading a meter shows before its first one: the mixer's floor.
    static constexpr float kNoReadingDb = -100.0f;

    std::array<std::atomic<float>, kMeterCount> m_latestDecibels{
        kNoReadingDb, kNoReadingDb, kNoReadingDb, kNoReadingDb, kNoReadingDb, kNoReadingDb,
        kNoReadingDb, kNoReadingDb, kNoReadingDb, kNoReadingDb, kNoReadingDb};
    std::array<std::atomic<unsigned>, kMeterCount> m_readingCounts{};
};
