#include "platform/Event.h"

namespace platform
{

Event::Event(Reset reset, bool initiallySet) : m_reset(reset), m_set(initiallySet) {}

void Event::set()
{
    // Notified under the lock: a waiter that wakes may destroy the event
    // (JACK's shutdown callback sets it while the driver's destructor
    // waits), and must not do so before this call is done with it.
    std::lock_guard lock(m_mutex);
    m_set = true;
    if (m_reset == Reset::Automatic)
        m_condition.notify_one();
    else
        m_condition.notify_all();
}

void Event::reset()
{
    std::lock_guard lock(m_mutex);
    m_set = false;
}

bool Event::isSet() const
{
    std::lock_guard lock(m_mutex);
    return m_set;
}

void Event::wait()
{
    std::unique_lock lock(m_mutex);
    m_condition.wait(lock, [this] { return m_set; });
    if (m_reset == Reset::Automatic)
        m_set = false;
}

bool Event::waitFor(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_mutex);
    if (!m_condition.wait_for(lock, timeout, [this] { return m_set; }))
        return false;
    if (m_reset == Reset::Automatic)
        m_set = false;
    return true;
}

} // namespace platform
