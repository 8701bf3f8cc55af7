#pragma once

// RefillWorker: the one waiting thread a player fills its two-half store on.
// The audio thread asks for work with request(), an atomic add and a
// semaphore release (no lock, no allocation); the worker runs the engine's
// job once per request, in order, at normal priority: a refill must beat the
// reader, and a user waits for any start job the engine gives it.
//
// Threads:
// - audio thread: request() only.
// - the worker: the job.
// - the engine's other threads and its owner: request(), hold(), idle(),
//   waitUntilIdle(); shutdown() from the owner's destructor.

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <semaphore>
#include <string_view>
#include <thread>

class RefillWorker
{
public:
    // Starts the thread, named `name` for debuggers and `top -H`; `job`
    // runs on it once per request.
    RefillWorker(std::string_view name, std::function<void()> job);
    // Shuts down if the owner has not.
    ~RefillWorker();
    RefillWorker(const RefillWorker&) = delete;
    RefillWorker& operator=(const RefillWorker&) = delete;

    // Any thread, the audio thread included: `count` more runs of the job.
    void request(int count = 1) noexcept
    {
        m_nOutstanding.fetch_add(count);
        m_requests.release(count);
    }

    // Whether every request so far has been served. Never the audio thread.
    bool idle() const { return m_nOutstanding.load() == 0; }
    // Blocks until idle(). For tests and tools driving process() themselves.
    void waitUntilIdle() const;
    // Test hook: while held, the worker takes no work, so a test can make a
    // refill late on purpose.
    void hold(bool held);

    // Lets go of a hold, ends the thread once the job in progress (if any)
    // has finished, and joins it; requests not yet served are dropped. The
    // owner calls it before freeing anything the job touches.
    void shutdown();

private:
    void threadMain(std::string_view name);

    std::function<void()> m_job;
    std::counting_semaphore<> m_requests{0};
    std::atomic<int> m_nOutstanding{0};
    std::mutex m_holdMutex;
    std::condition_variable m_holdWake;
    bool m_bHold = false;
    std::atomic<bool> m_bShuttingDown{false};
    std::thread m_thread;
};
