#pragma once

// MixerControlState: every control value of the mixer that the audio thread
// reads, plus the equaliser knob values. The panel writes it from its
// controls; MixerEngine reads it once per block; the settings are restored
// into and saved from it.
//
// Threads: written on the GUI thread, read on the audio thread; atomics only.
// Never holds anything the audio thread would have to lock for.

#include "mixer/MixerChannelControls.h"

#include <algorithm>
#include <array>
#include <atomic>

// The panel's control ranges (minimum, maximum).
struct MixerControlRange
{
    int minimum;
    int maximum;
};

namespace mixer_ranges
{
constexpr MixerControlRange kMonoSource{0, 4};   // "None", "In 1" .. "In 4"
constexpr MixerControlRange kStereoSource{0, 5}; // "None" .. "SoundFX"
constexpr MixerControlRange kGain{-30, 30};      // trim knob, dB
constexpr MixerControlRange kEqualiser{-15, 15}; // band knobs, dB
constexpr MixerControlRange kSend{0, 100};       // pre and post send knobs
constexpr MixerControlRange kPan{0, 100};        // 50 is centre
constexpr MixerControlRange kChannelFader{0, 110};
constexpr MixerControlRange kMasterLevel{0, 100};
constexpr MixerControlRange kReturnLevel{0, 100};
constexpr MixerControlRange kRecordLevel{0, 110};
} // namespace mixer_ranges

// A knob ignores a value outside its range; true when the value was taken.
inline bool SetKnobValue(std::atomic<int>& knob, int value, MixerControlRange range)
{
    if (value < range.minimum || value > range.maximum)
        return false;
    knob.store(value);
    return true;
}

// A slider clamps a value to its range.
inline void SetSliderValue(std::atomic<int>& slider, int value, MixerControlRange range)
{
    slider.store(std::clamp(value, range.minimum, range.maximum));
}

struct MixerControlState
{
    static constexpr int kChannelCount = 7;
    // Channels 1 and 2 (indexes 0 and 1) are mono, 3..7 stereo.
    static constexpr int kMonoChannelCount = 2;
    static constexpr int kReturnCount = 2;
    static constexpr int kMasterCount = 4;

    static constexpr bool isMonoChannel(int channelIndex)
    {
        return channelIndex < kMonoChannelCount;
    }

    std::array<MixerChannelControls, kChannelCount> channels;

    // Return 1 brings back the pre-fader send, return 2 the post-fader send.
    std::array<std::atomic<int>, kReturnCount> returnLevel{};
    std::array<std::atomic<bool>, kReturnCount> returnToOutputPairOne{true, true};
    std::array<std::atomic<bool>, kReturnCount> returnToOutputPairTwo{false, false};

    std::atomic<int> recordLevel{0};
    std::atomic<bool> recordFromOutputPairOne{false};
    std::atomic<bool> recordFromOutputPairTwo{false};

    // One per device output 1..4: left and right of pair 1, then of pair 2.
    std::array<std::atomic<int>, kMasterCount> masterLevel{};
};
