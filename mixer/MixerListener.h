#pragma once

// MixerListener: the news the mixer's engine gives its panel, which is one
// thing: each block's meter readings (channel meters 1..7, then device
// outputs 1..4), in dB.
//
// Threads: postMeterReading runs on the audio thread, so unlike other units'
// news it is not handed to the GUI thread (that would allocate): an
// implementation only stores the value (a CLevel's setdb does) and lets the
// GUI thread repaint. It must not allocate, lock, wait, do I/O or paint.

class MixerListener
{
public:
    static constexpr int kChannelMeterCount = 7;
    static constexpr int kOutputMeterCount = 4;
    static constexpr int kMeterCount = kChannelMeterCount + kOutputMeterCount;
    static constexpr int firstOutputMeter() { return kChannelMeterCount; }

    virtual ~MixerListener() = default;

    // Audio thread. meterIndex 0..6 = channel 1..7, 7..10 = output 1..4.
    virtual void postMeterReading(int meterIndex, float decibels) noexcept = 0;
};
