#pragma once

// What the CD player's panel hears from its engine. Every callback arrives on
// the thread that made the change: the GUI thread (buttons, displays), the
// MIDI thread (remote operations) or the worker (a track started, ended or
// failed) - never the audio thread. A callback only hands the news to the GUI
// thread (platform::postToGui) and returns; it may read the engine's state
// getters but must not call its transport operations (the engine may hold its
// transport lock while it notifies).

enum class CDTransportState : int
{
    Stopped,  // no lamp lit
    Starting, // the worker reads the table of contents and the first chunks
    Playing,  // playing lamp lit
    Paused,   // paused lamp lit
};

class CDPlayerListener
{
public:
    virtual ~CDPlayerListener() = default;

    // The lamps, the current track and the time display follow the transport.
    virtual void transportChanged(CDTransportState state) = 0;
    // The track selector or the pitch display was set by a remote operation.
    virtual void selectionChanged() = 0;
};
