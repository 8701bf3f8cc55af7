#include "mixer/MixerSourceTable.h"

namespace
{

// The order in which the rate and the running flag reach the units.
constexpr std::array<int, 7> kRateOrder{MixerSourceTable::DualEffect,  MixerSourceTable::Recorder,
                                        MixerSourceTable::Mp3Player,   MixerSourceTable::CdPlayer,
                                        MixerSourceTable::Instrument,  MixerSourceTable::LoopPlayer,
                                        MixerSourceTable::SoundEffects};

} // namespace

void MixerSourceTable::setEntries(RackProcessor* mp3, RackProcessor* cd, RackProcessor* vsti,
                                  RackProcessor* effect, RackProcessor* recorder,
                                  RackProcessor* loop, RackProcessor* pads)
{
    m_entries[Mp3Player].store(mp3, std::memory_order_release);
    m_entries[CdPlayer].store(cd, std::memory_order_release);
    m_entries[Instrument].store(vsti, std::memory_order_release);
    m_entries[DualEffect].store(effect, std::memory_order_release);
    m_entries[Recorder].store(recorder, std::memory_order_release);
    m_entries[LoopPlayer].store(loop, std::memory_order_release);
    m_entries[SoundEffects].store(pads, std::memory_order_release);
}

void MixerSourceTable::updateRouting(
    const std::array<int, kSelectableSourceCount>& stereoSelectorItems)
{
    // Each flag is written once, with its final value: a unit whose Play
    // checks the flag between a clear and a set would load and never start.
    for (int index = Mp3Player; index <= DualEffect; ++index)
    {
        RackProcessor* unit = entry(index);
        if (unit == nullptr)
            continue;
        // Only the units a stereo selector offers (items 1-5) can be routed.
        bool routed = false;
        for (int item : stereoSelectorItems)
            routed = routed || (item == index && item <= kSelectableSourceCount);
        unit->m_bRouted.store(routed);
    }
}

void MixerSourceTable::propagateSampleRate(float sampleRate)
{
    if (sampleRate != 0.0f)
    {
        for (int index : kRateOrder)
        {
            if (RackProcessor* unit = entry(index))
                unit->SetSampleRate(sampleRate);
        }
    }
    for (int index : kRateOrder)
    {
        if (RackProcessor* unit = entry(index))
            unit->m_bRunning.store(sampleRate != 0.0f);
    }
}
