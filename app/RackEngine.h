#pragma once

// RackEngine: the life every unit's widget-free engine shares, so each new
// unit has the same operations with the same thread rules.
//
// - prepare: GUI thread, device stopped. Takes the device's rate (0.0 when
//   the device has stopped) and may allocate.
// - reset: GUI thread, device stopped. Clears what would sound from before
//   (filter memories, play positions, voices).
// - process: audio thread, noexcept. One block of `frames` 32-bit float
//   samples per channel; never allocates, frees, locks, waits, does I/O or
//   touches a widget.
//
// An engine holds no widget ids. It tells its panel what changed through a
// listener interface of its own (XListener); the panel's listener hands the
// news to the GUI thread with platform::postToGui before touching a control.

class RackEngine
{
public:
    virtual ~RackEngine() = default;

    virtual void prepare(double sampleRate) = 0;
    virtual void reset() = 0;
    virtual void process(float** in, float** out, long numIn, long numOut,
                         long frames) noexcept = 0;
};
