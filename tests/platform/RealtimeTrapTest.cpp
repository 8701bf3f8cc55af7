// The trap that the engine's real-time tests rely on must itself catch what
// it claims to: allocations, frees and blocking locks on an armed thread
// only.

#include "support/RealtimeTrap.h"

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace
{

TEST(RealtimeTrap, CountsOnlyOnTheArmedThread)
{
    realtime_trap::resetCounts();
    std::mutex mutex;
    std::thread armed(
        [&]
        {
            realtime_trap::ScopedArm arm;
            auto value = std::make_unique<int>(7);
            std::vector<float> buffer(64);
            std::lock_guard lock(mutex);
        });
    armed.join();
    EXPECT_EQ(realtime_trap::allocations(), 2u);
    EXPECT_EQ(realtime_trap::deallocations(), 2u);
    EXPECT_EQ(realtime_trap::blockingLocks(), 1u);

    realtime_trap::resetCounts();
    std::thread unarmed(
        [&]
        {
            auto value = std::make_unique<int>(7);
            std::lock_guard lock(mutex);
        });
    unarmed.join();
    EXPECT_EQ(realtime_trap::allocations(), 0u);
    EXPECT_EQ(realtime_trap::blockingLocks(), 0u);
}

TEST(RealtimeTrap, TryLockIsNotABlockingLock)
{
    realtime_trap::resetCounts();
    std::mutex mutex;
    {
        realtime_trap::ScopedArm arm;
        if (mutex.try_lock())
            mutex.unlock();
    }
    EXPECT_EQ(realtime_trap::blockingLocks(), 0u);
}

} // namespace
