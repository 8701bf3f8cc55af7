#pragma once

// Scheduling priorities for Corvane's threads. Lowest and below-normal lower
// the thread's nice value; Highest asks for SCHED_FIFO for the audio path.
// A refusal (no permission, no RT limits) is never an error: the thread
// simply keeps normal priority.

#include <string_view>

namespace platform
{

enum class ThreadPriority
{
    Lowest,
    BelowNormal,
    Normal,
    Highest,
};

// Applies the priority to the calling thread; returns whether it was granted.
bool setCurrentThreadPriority(ThreadPriority priority) noexcept;

// Names the calling thread for debuggers and `top -H` (cut to 15 characters).
void setCurrentThreadName(std::string_view name) noexcept;

} // namespace platform
