#include "players/RefillWorker.h"

#include "platform/ThreadPriority.h"

#include <chrono>
#include <string>
#include <utility>

RefillWorker::RefillWorker(std::string_view name, std::function<void()> job)
    : m_job(std::move(job)),
      m_thread([this, threadName = std::string(name)] { threadMain(threadName); })
{
}

RefillWorker::~RefillWorker()
{
    shutdown();
}

// The owner's thread.
void RefillWorker::shutdown()
{
    if (!m_thread.joinable())
        return;
    m_bShuttingDown.store(true);
    hold(false);
    m_requests.release();
    m_thread.join();
}

// The worker.
void RefillWorker::threadMain(std::string_view name)
{
    platform::setCurrentThreadName(name);
    platform::setCurrentThreadPriority(platform::ThreadPriority::Normal);
    while (true)
    {
        m_requests.acquire();
        {
            std::unique_lock lock(m_holdMutex);
            m_holdWake.wait(lock, [this] { return !m_bHold || m_bShuttingDown.load(); });
        }
        if (m_bShuttingDown.load())
            return;
        m_job();
        m_nOutstanding.fetch_sub(1);
    }
}

// Test or tool thread driving process() itself.
void RefillWorker::waitUntilIdle() const
{
    while (!idle())
        std::this_thread::sleep_for(std::chrono::microseconds(200));
}

// Test thread, or the owner shutting down.
void RefillWorker::hold(bool held)
{
    {
        std::lock_guard lock(m_holdMutex);
        m_bHold = held;
    }
    m_holdWake.notify_all();
}
