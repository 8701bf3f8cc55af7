#pragma once

// MixerChannelControls: the current values of one mixer channel's controls,
// as the panel's controls show them. Defaults are the controls' values on a
// first start without settings.
//
// Threads: written on the GUI thread (from the panel's controls, which the
// settings and the remote setters move), read by the audio thread once per
// block. Every
// member is an atomic, so a change lands whole and takes effect from the next
// block.

#include <array>
#include <atomic>

struct MixerChannelControls
{
    // Selector item: mono channels 0 "None", 1..4 device inputs 1..4; stereo
    // channels 0 "None", 1..5 source-table entries 1..5.
    std::atomic<int> source{0};
    std::atomic<int> gainDb{0};
    // High, mid and low band, in dB. Change them only through
    // MixerEngine::setEqualiserGain, which also recomputes the filter.
    std::array<std::atomic<int>, 3> equaliserGainDb{};
    // Only channels 1 and 2 have a compressor switch.
    std::atomic<bool> compressorOn{false};
    std::atomic<int> preFaderSend{0};
    std::atomic<int> postFaderSend{0};
    std::atomic<int> pan{50};
    std::atomic<int> fader{0};
    std::atomic<bool> toOutputPairOne{true};
    std::atomic<bool> toOutputPairTwo{false};
};
