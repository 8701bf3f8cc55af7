#pragma once

// A wake-up that a real-time thread may give: the audio thread calls
// signal() to hand work to a waiting worker without taking a lock or
// allocating (a POSIX semaphore: an atomic count plus a futex wake). Each
// signal wakes one wait; signals given while nobody waits are counted.
// Use platform::Event where neither side is real-time.

#include <semaphore.h>

#include <cerrno>

namespace platform
{

class WakeSignal
{
public:
    WakeSignal() noexcept { sem_init(&m_semaphore, 0, 0); }
    ~WakeSignal() { sem_destroy(&m_semaphore); }
    WakeSignal(const WakeSignal&) = delete;
    WakeSignal& operator=(const WakeSignal&) = delete;

    // Any thread, the audio thread included.
    void signal() noexcept { sem_post(&m_semaphore); }

    // Worker thread: blocks until a signal is there and consumes it.
    void wait() noexcept
    {
        while (sem_wait(&m_semaphore) != 0 && errno == EINTR)
        {
        }
    }

    // Drops signals given so far (nobody may wait meanwhile).
    void clear() noexcept
    {
        while (sem_trywait(&m_semaphore) == 0)
        {
        }
    }

private:
    sem_t m_semaphore;
};

} // namespace platform
