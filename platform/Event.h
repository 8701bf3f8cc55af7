#pragma once

// A signalling event for worker threads: one thread sets it, another waits
// for it. Auto-reset events wake one waiter and clear themselves; manual-reset
// events stay set until reset. Never used on the audio thread (it may wait).

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace platform
{

class Event
{
public:
    enum class Reset
    {
        Automatic,
        Manual,
    };

    explicit Event(Reset reset = Reset::Automatic, bool initiallySet = false);

    void set();
    void reset();
    bool isSet() const;

    // Blocks until set. An automatic event is cleared on the way out.
    void wait();
    // Returns false when the timeout passed without the event being set.
    bool waitFor(std::chrono::milliseconds timeout);

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_condition;
    const Reset m_reset;
    bool m_set;
};

} // namespace platform
