#pragma once

// The mixer's MIDI remote setters and keyboard steps, as plain functions.
//
// The *Value functions turn a MIDI data value v (only its low 8 bits count)
// into the value the control is set to, truncating toward zero: faders and
// masters trunc(v / 127 x 110), pans, sends, returns and the record level
// trunc(v / 127 x 100), gains trunc(v / 127 x 60 - 30). The panel passes it to
// the control's setvalue, which applies its own range rule.
//
// The Set*Remote and Step* functions apply the same result straight to a
// MixerControlState with the controls' rules: sliders clamp, knobs ignore a
// value outside their range.
//
// Threads: the remote setters run on the MIDI input thread, the steps on the
// GUI thread; the state is atomics.

#include "mixer/MixerControlState.h"

namespace mixer_remote
{

int ChannelFaderValue(int midiValue);
int MasterLevelValue(int midiValue);
int PanValue(int midiValue);
int GainValue(int midiValue);
int SendValue(int midiValue);
int ReturnLevelValue(int midiValue);
int RecordLevelValue(int midiValue);

// channelIndex 0..6, masterIndex 0..3, returnIndex 0..1.
void SetChannelFaderRemote(MixerControlState& state, int channelIndex, int midiValue);
void SetMasterLevelRemote(MixerControlState& state, int masterIndex, int midiValue);
void SetPanRemote(MixerControlState& state, int channelIndex, int midiValue);
void SetGainRemote(MixerControlState& state, int channelIndex, int midiValue);
// sendIndex 0..13 in the order channel 1 pre, channel 1 post, channel 2 pre,
// .. channel 7 post.
void SetSendRemote(MixerControlState& state, int sendIndex, int midiValue);
void SetReturnLevelRemote(MixerControlState& state, int returnIndex, int midiValue);
void SetRecordLevelRemote(MixerControlState& state, int midiValue);

// Keyboard steps: the slider moves 5 up (true) or down (false), clamped.
void StepChannelFader(MixerControlState& state, int channelIndex, bool up);
void StepMasterLevel(MixerControlState& state, int masterIndex, bool up);

} // namespace mixer_remote
