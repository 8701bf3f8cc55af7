#pragma once

// What MIDI remote control needs of the unit that plays MIDI notes (the
// instrument rack): Linux MIDI ports are not exclusive, so when both use one
// port the remote opens it alone and passes the notes on, and each note
// reaches the instrument exactly once.
//
// Threads: GUI thread, except the receiver, which runs on the remote port's
// delivery thread while the port is shared.

#include "utilkit/midi/MIDIReceiver.h"

#include <functional>
#include <string>

namespace remote
{

class InstrumentPort
{
public:
    virtual ~InstrumentPort() = default;

    // The name of the port the instrument's selector names; empty for none.
    virtual std::string midiPortName() const = 0;
    // Gets the remote port's notes, pitch bend and system exclusive data
    // while the port is shared.
    virtual midi::CMIDIReceiver& midiReceiver() = 0;
    // true: close its own port (the remote forwards); false: open its own.
    virtual void setSharesRemotePort(bool shares) = 0;
    // Called (GUI thread) whenever the instrument's port selector changes,
    // so the sharing decision is taken again.
    virtual void setPortChangedHandler(std::function<void()> handler) = 0;
};

} // namespace remote
