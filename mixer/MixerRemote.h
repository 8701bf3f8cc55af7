#pragma once

// The mixer's part of MIDI remote control: functions 0-41 as rows
// {name, count, apply}, and the laws that turn a MIDI data value v (only its
// low 8 bits count) into the value a control is set to, truncating toward
// zero. The panel's remote setters apply the laws; the rows only point at
// those setters.
//
// Threads: apply runs on the GUI thread, where the remote's dispatcher
// applies every function; the setters move the control at once there.

#include "app/RackRemote.h"

class CMixerRack;

namespace mixer_remote
{

// Channel faders: trunc(v / 127 × 110). Masters use the same scale and
// clamp to their own 100 (v ≥ 116 gives 100).
int faderValue(int midiValue);
// Pans, sends, returns and the record level: trunc(v / 127 × 100), so the
// record knob's top 101..110 is out of remote reach.
int levelValue(int midiValue);
// Gain knobs: trunc(v / 127 × 60 − 30); v 63 and 64 both give 0.
int gainValue(int midiValue);

// Functions 0-41 in order: "Channel %d Level", "Channel %d Gain",
// "Channel %d Pan", "Channel %d Pre AUX Level", "Channel %d Post AUX Level",
// "Bus %d Master Level", "Pre AUX Return Level", "Post AUX Return Level",
// "Rec Out Level".
RackRemoteTable<CMixerRack> operations();

} // namespace mixer_remote
