#include "platform/Event.h"
#include "platform/GuiThread.h"
#include "platform/SpscQueue.h"
#include "platform/ThreadPriority.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace
{

using namespace std::chrono_literals;

TEST(Event, AutomaticResetWakesOneWaitAndClears)
{
    platform::Event event;
    EXPECT_FALSE(event.waitFor(1ms));
    event.set();
    EXPECT_TRUE(event.waitFor(1ms));
    EXPECT_FALSE(event.isSet()) << "an automatic event clears when a wait takes it";

    std::atomic<bool> woke{false};
    std::thread waiter(
        [&]
        {
            event.wait();
            woke = true;
        });
    event.set();
    waiter.join();
    EXPECT_TRUE(woke);
}

TEST(Event, ManualResetStaysSetForEveryWaiter)
{
    platform::Event event(platform::Event::Reset::Manual);
    event.set();
    EXPECT_TRUE(event.waitFor(1ms));
    EXPECT_TRUE(event.waitFor(1ms));
    event.reset();
    EXPECT_FALSE(event.waitFor(1ms));
}

TEST(SpscQueue, KeepsOrderAndRefusesWhenFull)
{
    platform::SpscQueue<int> queue(3);
    EXPECT_TRUE(queue.empty());
    EXPECT_TRUE(queue.push(1));
    EXPECT_TRUE(queue.push(2));
    EXPECT_TRUE(queue.push(3));
    EXPECT_FALSE(queue.push(4)) << "capacity is 3";
    EXPECT_EQ(queue.pop(), 1);
    EXPECT_TRUE(queue.push(4));
    EXPECT_EQ(queue.pop(), 2);
    EXPECT_EQ(queue.pop(), 3);
    EXPECT_EQ(queue.pop(), 4);
    EXPECT_FALSE(queue.pop().has_value());
}

TEST(SpscQueue, CarriesEveryItemAcrossThreadsInOrder)
{
    platform::SpscQueue<int> queue(64);
    constexpr int kItems = 200000;
    std::thread producer(
        [&]
        {
            for (int item = 0; item < kItems; ++item)
                while (!queue.push(item))
                    std::this_thread::yield();
        });
    int expected = 0;
    while (expected < kItems)
    {
        if (auto item = queue.pop())
        {
            ASSERT_EQ(*item, expected);
            ++expected;
        }
    }
    producer.join();
}

TEST(ThreadPriority, RefusalIsNeverAnError)
{
    std::thread worker(
        []
        {
            platform::setCurrentThreadName("a-name-longer-than-fifteen-characters");
            platform::setCurrentThreadPriority(platform::ThreadPriority::Highest);
            platform::setCurrentThreadPriority(platform::ThreadPriority::Normal);
            EXPECT_TRUE(platform::setCurrentThreadPriority(platform::ThreadPriority::BelowNormal));
            EXPECT_TRUE(platform::setCurrentThreadPriority(platform::ThreadPriority::Lowest));
        });
    worker.join();
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
    std::atomic<bool> workerSawResult{false};
    std::thread worker(
        [&]
        {
            EXPECT_FALSE(platform::isGuiThread());
            platform::postToGui([&] { ranOnGui = platform::isGuiThread(); });
            platform::runOnGuiBlocking(&application,
                                       [&] { blockingRanOnGui = platform::isGuiThread(); });
            // The blocking hand-over has run when it returns.
            workerSawResult = blockingRanOnGui.load();
        });
    while (!workerSawResult)
    {
        QCoreApplication::processEvents();
        std::this_thread::yield();
        if (blockingRanOnGui)
            break;
    }
    worker.join();
    QCoreApplication::processEvents();
    EXPECT_TRUE(ranOnGui);
    EXPECT_TRUE(blockingRanOnGui);
    EXPECT_TRUE(workerSawResult);

    // Work posted for a context that is gone is dropped, not run.
    bool ranForDeadContext = false;
    auto* context = new QObject;
    platform::postToGui(context, [&] { ranForDeadContext = true; });
    delete context;
    QCoreApplication::processEvents();
    EXPECT_FALSE(ranForDeadContext);
}

} // namespace
