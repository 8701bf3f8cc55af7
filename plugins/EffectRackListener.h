#pragma once

// What the dual effect rack's panel hears from its engine: a slot's display
// text changed ("Loading...", the plug-in's name, "Failed", "Unsupported
// VST"). Called on the thread that made the change (the GUI thread or the
// slot's loader thread), never the audio thread; the panel hands the news to
// the GUI thread and reads the text from the engine there.

class EffectRackListener
{
public:
    virtual ~EffectRackListener() = default;
    virtual void slotTextChanged(int slot) = 0;
};
