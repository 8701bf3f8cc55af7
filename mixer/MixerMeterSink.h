#pragma once

// MixerMeterSink: where the mixer posts its eleven meter readings (channel
// meters 1..7, then device outputs 1..4), in dB.
//
// Threads: postMeterReading runs on the audio thread; an implementation must
// not allocate, lock, wait, do I/O or paint (store the value and let the GUI
// thread repaint).

class MixerMeterSink
{
public:
    static constexpr int kChannelMeterCount = 7;
    static constexpr int kOutputMeterCount = 4;
    static constexpr int kMeterCount = kChannelMeterCount + kOutputMeterCount;
    static constexpr int firstOutputMeter() { return kChannelMeterCount; }

    virtual ~MixerMeterSink() = default;

    // Audio thread. meterIndex 0..6 = channel 1..7, 7..10 = output 1..4.
    virtual void postMeterReading(int meterIndex, float decibels) noexcept = 0;
};
