#pragma once

// MixerSourceTable: the units the mixer drives. Entries 1..5 are the sources
// the stereo selectors' items 1..5 name (MP3 player, CD player, instrument,
// loop player, sound-effect pads); entry 6 is the dual effect rack that
// processes the sends, entry 7 the recorder that takes the record feed.
// Entry 0 ("None") and every entry not yet filled are empty.
//
// Threads: filled and routed on the GUI thread; the audio thread reads the
// entries (atomics) to pull sources. Rate propagation runs on the GUI thread
// while the device is stopped.

#include "app/RackProcessor.h"

#include <array>
#include <atomic>

class MixerSourceTable
{
public:
    enum Entry
    {
        None = 0,
        Mp3Player = 1,
        CdPlayer = 2,
        Instrument = 3,
        LoopPlayer = 4,
        SoundEffects = 5,
        DualEffect = 6,
        Recorder = 7,
    };
    static constexpr int kEntryCount = 8;
    static constexpr int kSelectableSourceCount = 5;

    // GUI thread. The argument order of the view's call.
    void setEntries(RackProcessor* mp3, RackProcessor* cd, RackProcessor* vsti,
                    RackProcessor* effect, RackProcessor* recorder, RackProcessor* loop,
                    RackProcessor* pads);

    // Any thread. Empty (nullptr) for entry 0, an unfilled entry or an index
    // outside the table.
    RackProcessor* entry(int index) const noexcept
    {
        if (index <= None || index >= kEntryCount)
            return nullptr;
        return m_entries[index].load(std::memory_order_acquire);
    }

    // GUI thread. Clears the routed flag of entries 1..6, then sets it on
    // every unit that one of the five stereo selectors names. The recorder's
    // flag is left alone.
    void updateRouting(const std::array<int, kSelectableSourceCount>& stereoSelectorItems);

    // GUI thread, device stopped. A running rate goes to the seven units,
    // then their running flags are set; 0.0 only clears the flags. Order:
    // dual effect, recorder, MP3, CD, instrument, loop, pads.
    void propagateSampleRate(float sampleRate);

private:
    std::array<std::atomic<RackProcessor*>, kEntryCount> m_entries{};
};
