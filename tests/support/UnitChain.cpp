#include "support/UnitChain.h"

#include "engine/AmpRack.h"
#include "support/RealtimeTrap.h"

namespace testkit
{

UnitChain::UnitChain(RackProcessor& source, MixerSourceTable::Entry entry, int channelIndex)
{
    // The source table's order: MP3, CD, instrument, effect, recorder, loop, pads.
    RackProcessor* units[MixerSourceTable::kEntryCount] = {};
    units[entry] = &source;
    mixer.SetSources(units[MixerSourceTable::Mp3Player], units[MixerSourceTable::CdPlayer],
                     units[MixerSourceTable::Instrument], units[MixerSourceTable::DualEffect],
                     units[MixerSourceTable::Recorder], units[MixerSourceTable::LoopPlayer],
                     units[MixerSourceTable::SoundEffects]);
    MixerControlState& controls = mixer.controls();
    if (entry <= MixerSourceTable::kSelectableSourceCount)
    {
        controls.channels[channelIndex].source = entry;
        controls.channels[channelIndex].fader = 100;
    }
    controls.masterLevel[0] = controls.masterLevel[1] = 100;
    mixer.UpdateRouting();
}

void UnitChain::Process(float** in, float** out, long numIn, long numOut, long frames)
{
    realtime_trap::armCurrentThread();
    mixer.process(in, out, numIn, numOut, frames);
    realtime_trap::disarmCurrentThread();
    if (afterBlock)
        afterBlock();
}

void UnitChain::SetSampleRate(float rate)
{
    mixer.prepare(rate);
    RackProcessor::SetSampleRate(rate);
}

double UnitChain::outputGain() const
{
    const MixerGainLaws& laws = mixer.gainLaws();
    return laws.trim(0) * laws.fader(100) * laws.panLeft(50) * laws.fader(100);
}

bool UnitChain::powerOn(CAmpRack& amp, const QString& device)
{
    amp.CreateControls();
    amp.setTellUser(false);
    amp.SetChain(this, nullptr);
    for (int item = 0; item < amp.deviceSelector().getcount(); ++item)
        if (amp.deviceSelector().itemText(item) == device)
            amp.deviceSelector().setitemindex(item);
    amp.rateSelector().setitemindex(1); // 48000 Hz
    amp.powerSwitch().SetStatus(true);
    amp.PowerOn();
    return amp.powerSwitch().getStatus() && GetSampleRate() == 48000.0f;
}

} // namespace testkit
