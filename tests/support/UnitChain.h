#pragma once

// The chain every unit's end-to-end test runs: the unit as a source on one
// stereo mixer channel (fader and masters 1-2 at 100), the mixer as the
// amplifier's chain root, the amplifier powered on a device (the Virtual
// Device, or JACK) at 48000 Hz. Each mixer block runs with the real-time trap
// armed, so the test can assert the unit and the mixer neither allocated nor
// locked on the audio thread.
//
// Threads: built and powered on the GUI thread; Process runs on the device's.

#include "app/RackProcessor.h"
#include "mixer/MixerEngine.h"
#include "mixer/MixerSourceTable.h"

#include <QString>

#include <functional>

class CAmpRack;

namespace testkit
{

class UnitChain : public RackProcessor
{
public:
    // source: the unit under test; entry: which source table entry it is;
    // channelIndex: the stereo channel (2 = channel 3) that selects it.
    UnitChain(RackProcessor& source, MixerSourceTable::Entry entry, int channelIndex = 2);

    void Process(float** in, float** out, long numIn, long numOut, long frames) override;
    void SetSampleRate(float rate) override;

    // A full-scale source sample's level at outputs 1 and 2: trim 0 dB,
    // fader 100, centre pan, master 100.
    double outputGain() const;

    // Builds the amplifier's panel, makes this chain its root and powers it
    // on with the named device at 48000 Hz; true when it runs at that rate.
    bool powerOn(CAmpRack& amp, const QString& device);

    MixerEngine mixer;
    // Device thread, after each block and outside the trap: a test acts here
    // at an exact point of playback (or paces a device far faster than real
    // time to what the unit's workers would get from a real one).
    std::function<void()> afterBlock;
};

} // namespace testkit
