#pragma once

// A unit's remote operations as rows that MIDI remote control joins into its
// numbered functions: one row per family, e.g. {"Channel %d Level", 7, …} for
// the seven channel faders, {"MP3 Rack 1 Play", 1, …} for one button. The
// names are the ones the setup dialog shows, spelled as stored.
//
// Threads: apply may be called on the MIDI input thread; it only hands the
// change to the unit's own thread-safe setter (which moves the control on
// the GUI thread).

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
