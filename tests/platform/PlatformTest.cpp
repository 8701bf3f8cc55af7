// The platform layer: events, the single-producer single-consumer queue,
// thread names and priorities, handing work to the GUI thread; and the
// real-time trap the engine's tests rely on.

#include "platform/Event.h"
#include "platform/GuiThread.h"
#include "platform/SpscQueue.h"
#include "platform/ThreadPriority.h"
#include "support/RealtimeTrap.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

#include <pthread.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace
{

using namespace std::chrono_literals;

TEST(Event, AutomaticWakesOneWaitAndClearsManualStaysSet)
{
    platform::Event automatic;
    EXPECT_FALSE(automatic.waitFor(1ms));
    automatic.set();
    EXPECT_TRUE(automatic.waitFor(1ms));
    EXPECT_FALSE(automatic.isSet()) << "an automatic event clears when a wait takes it";
    std::thread waiter([&] { automatic.wait(); });
    automatic.set();
    waiter.join();
    EXPECT_FALSE(automatic.isSet());

    platform::Event manual(platform::Event::Reset::Manual);
    manual.set();
    EXPECT_TRUE(manual.waitFor(1ms));
    EXPECT_TRUE(manual.waitFor(1ms));
    manual.reset();
    EXPECT_FALSE(manual.waitFor(1ms));
}

// A full queue refuses an item; across threads every item arrives once, in
// order.
TEST(SpscQueue, RefusesWhenFullAndKeepsOrderAcrossThreads)
{
    platform::SpscQueue<int> queue(64);
    for (int item = 0; item < 64; ++item)
        EXPECT_TRUE(queue.push(item));
    EXPECT_FALSE(queue.push(64));
    constexpr int kItems = 200000;
    std::thread producer(
        [&]
        {
            for (int item = 64; item < kItems; ++item)
                while (!queue.push(item))
                    std::this_thread::yield();
        });
    int expected = 0;
    int outOfOrder = 0;
    while (expected < kItems)
        if (const auto item = queue.pop())
            outOfOrder += *item != expected++ ? 1 : 0;
    producer.join();
    EXPECT_EQ(outOfOrder, 0);
    EXPECT_FALSE(queue.pop().has_value());
}

// A long name is cut to the 15 characters the system keeps. Lowering the
// priority always works and acts on the calling thread only; real time may
// be refused without privileges, which is no error.
TEST(ThreadPriority, ActsOnTheCallingThreadOnly)
{
    const int processNice = getpriority(PRIO_PROCESS, 0);
    std::thread worker(
        []
        {
            platform::setCurrentThreadName("a-name-longer-than-fifteen-characters");
            char name[16] = {};
            pthread_getname_np(pthread_self(), name, sizeof name);
            EXPECT_STREQ(name, "a-name-longer-t");
            platform::setCurrentThreadPriority(platform::ThreadPriority::Highest);
            platform::setCurrentThreadPriority(platform::ThreadPriority::Normal);
            EXPECT_TRUE(platform::setCurrentThreadPriority(platform::ThreadPriority::BelowNormal));
            EXPECT_TRUE(platform::setCurrentThreadPriority(platform::ThreadPriority::Lowest));
            EXPECT_EQ(getpriority(PRIO_PROCESS, static_cast<id_t>(gettid())), 19);
        });
    worker.join();
    EXPECT_EQ(getpriority(PRIO_PROCESS, 0), processNice);
}

TEST(GuiThread, WorkersHandWorkToTheGuiThread)
{
    int argc = 1;
    char name[] = "platform-test";
    char* argv[] = {name, nullptr};
    QCoreApplication application(argc, argv);
    EXPECT_TRUE(platform::isGuiThread());

    std::atomic<bool> ranOnGui{false};
    std::atomic<bool> blockingRanOnGui{false};
    std::atomic<bool> workerDone{false};
    bool workerSawResult = false;
    std::thread worker(
        [&]
        {
            EXPECT_FALSE(platform::isGuiThread());
            platform::postToGui([&] { ranOnGui = platform::isGuiThread(); });
            platform::runOnGuiBlocking(&application,
                                       [&] { blockingRanOnGui = platform::isGuiThread(); });
            // The blocking hand-over has run when it returns.
            workerSawResult = blockingRanOnGui.load();
            workerDone = true;
        });
    while (!workerDone)
        QCoreApplication::processEvents();
    worker.join();
    QCoreApplication::processEvents();
    EXPECT_TRUE(ranOnGui);
    EXPECT_TRUE(workerSawResult);

    // Work posted for a context that is gone is dropped, not run.
    bool ranForDeadContext = false;
    auto* context = new QObject;
    platform::postToGui(context, [&] { ranForDeadContext = true; });
    delete context;
    QCoreApplication::processEvents();
    EXPECT_FALSE(ranForDeadContext);
}

// The trap counts allocations, frees and blocking locks on an armed thread
// only, and a try-lock is no blocking lock.
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
    {
        realtime_trap::ScopedArm arm;
        if (mutex.try_lock())
            mutex.unlock();
    }
    EXPECT_EQ(realtime_trap::allocations(), 0u);
    EXPECT_EQ(realtime_trap::blockingLocks(), 0u);
}

} // namespace
