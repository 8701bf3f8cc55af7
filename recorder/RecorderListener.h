#pragma once

// What the recorder's panel hears from its engine. Callbacks arrive on the
// thread that made the change (the GUI thread, or the recording's encoder
// worker for a failure) - never the audio thread. A callback only hands the
// news to the GUI thread (platform::postToGui) and returns; it must not call
// the engine's rec, pause or stop itself (the worker cannot join itself).

class RecorderListener
{
public:
    virtual ~RecorderListener() = default;

    // The state (lamp, counter, file name) changed without a button: a rate
    // change finished the recording.
    virtual void recorderStateChanged() = 0;
    // The recording cannot go on (see RecorderEngine::failure); the panel
    // stops it and tells the user.
    virtual void recorderFailed() = 0;
};
