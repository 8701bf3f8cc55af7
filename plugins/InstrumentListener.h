#pragma once

// What the instrument rack's panel hears from its engine. Called on the
// thread that made the change, never the audio thread; the panel hands the
// news to the GUI thread before it touches a control.

class InstrumentListener
{
public:
    virtual ~InstrumentListener() = default;
    // GUI or loader thread: the state and display text changed.
    virtual void instrumentChanged() = 0;
    // MIDI delivery thread: a message other than a control change arrived.
    virtual void midiActivity() = 0;
};
