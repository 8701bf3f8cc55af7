#pragma once

// A unit's remote operations as rows that MIDI remote control joins into its
// numbered functions: one row per family, e.g. {"Channel %d Level", 7, …} for
// the seven channel faders, {"MP3 Rack 1 Play", 1, …} for one button. The
// names are the ones the setup dialog shows, spelled as stored.
//
// Threads: apply runs on the GUI thread. The remote's dispatcher takes the
// messages on the MIDI port's delivery thread and applies them there,
// coalesced, so a row may move controls directly.

#include <span>

template <typename Unit> struct RackRemoteOperation
{
    // "%d" stands for 1 … count.
    const char* name;
    int count;
    // index 0 … count - 1; midiValue 0 … 127 (ignored by buttons).
    void (*apply)(Unit& unit, int index, int midiValue);
};

template <typename Unit> using RackRemoteTable = std::span<const RackRemoteOperation<Unit>>;
