#pragma once

// What the MP3 player's panel hears from its engine. Every callback arrives on
// the thread that made the change: the GUI thread (buttons), the MIDI thread
// (remote Play/Pause/Stop), the load thread or the refill worker (end of a
// track, play-all advance) - never the audio thread. A callback must only hand
// the news to the GUI thread (platform::postToGui) and return: it may read the
// engine's state getters, but must not call its transport or playlist
// operations itself (the engine holds its transport lock while it notifies).

#include <string>

enum class MP3TransportState : int
{
    Stopped, // no lamp lit
    Playing, // playing lamp lit
    Paused,  // paused lamp lit
};

class MP3PlayerListener
{
public:
    virtual ~MP3PlayerListener() = default;

    // The title display's new text: "Loading...", "Failed", "No File",
    // artist-title or the entry's name.
    virtual void titleChanged(const std::string& title) = 0;
    // The lamps: the transport state changed.
    virtual void transportChanged(MP3TransportState state) = 0;
    // The playlist's entries or its selected entry changed: refill the
    // selector from the engine's names and select its selected index.
    virtual void playlistChanged() = 0;
    // Play-all was switched by the engine (Play on entry "All").
    virtual void playAllChanged(bool playAll) = 0;
};
