#pragma once

// A trap for real-time violations in tests. A thread that is armed counts
// every heap allocation, every free and every blocking mutex lock it makes;
// a test arms the audio thread (for example from inside the engine callback),
// runs blocks, and asserts that the counts stayed zero. It can also make
// allocations of one size fail.
//
// Linking this file into a test replaces the global operator new/delete and
// interposes pthread_mutex_lock for the whole test program.

#include <cstddef>

namespace realtime_trap
{

// Arms or disarms counting for the calling thread.
void armCurrentThread() noexcept;
void disarmCurrentThread() noexcept;
bool currentThreadArmed() noexcept;

void resetCounts() noexcept;
size_t allocations() noexcept;
size_t deallocations() noexcept;
size_t blockingLocks() noexcept;
// All three counts: what a real-time thread must keep at zero.
inline size_t violations() noexcept
{
    return allocations() + deallocations() + blockingLocks();
}

// From now on every allocation of exactly `bytes` fails, on any thread (0:
// none does): how a test reaches a unit's out-of-memory path.
void failAllocationsOfSize(size_t bytes) noexcept;

// Arms the calling thread for its lifetime.
class ScopedArm
{
public:
    ScopedArm() noexcept { armCurrentThread(); }
    ~ScopedArm() { disarmCurrentThread(); }
    ScopedArm(const ScopedArm&) = delete;
    ScopedArm& operator=(const ScopedArm&) = delete;
};

} // namespace realtime_trap
