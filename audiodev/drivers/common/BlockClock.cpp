#include "BlockClock.h"

#include <cerrno>

namespace audiodev
{

namespace
{
constexpr int64_t kNanosecondsPerSecond = 1000000000;
// Falling this many blocks behind counts as a stall.
constexpr int64_t kStallBlocks = 8;

int64_t toNanoseconds(const timespec& time)
{
    return int64_t(time.tv_sec) * kNanosecondsPerSecond + time.tv_nsec;
}

timespec fromNanoseconds(int64_t nanoseconds)
{
    timespec time{};
    time.tv_sec = static_cast<time_t>(nanoseconds / kNanosecondsPerSecond);
    time.tv_nsec = static_cast<long>(nanoseconds % kNanosecondsPerSecond);
    return time;
}
} // namespace

void BlockClock::start(double sampleRate, long framesPerBlock) noexcept
{
    clock_gettime(CLOCK_MONOTONIC, &m_start);
    m_blockNumber = 0;
    m_blockNanoseconds = double(framesPerBlock) * double(kNanosecondsPerSecond) / sampleRate;
}

void BlockClock::waitForNextBlock() noexcept
{
    ++m_blockNumber;
    const int64_t due =
        toNanoseconds(m_start) + static_cast<int64_t>(double(m_blockNumber) * m_blockNanoseconds);
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    if (toNanoseconds(now) - due > kStallBlocks * static_cast<int64_t>(m_blockNanoseconds))
    {
        m_start = now;
        m_blockNumber = 0;
        return;
    }
    const timespec deadline = fromNanoseconds(due);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR)
    {
    }
}

} // namespace audiodev
