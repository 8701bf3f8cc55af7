#pragma once

// A bounded single-producer single-consumer FIFO, lock-free and free of
// allocation after construction: the way events cross to and from the audio
// thread (MIDI to a plug-in, "refill half B" to a worker). Exactly one thread
// pushes and exactly one thread pops.

#include <atomic>
#include <cstddef>
#include <optional>
#include <vector>

namespace platform
{

template <typename T> class SpscQueue
{
public:
    // Holds up to capacity items.
    explicit SpscQueue(size_t capacity) : m_slots(capacity + 1) {}

    // Producer thread. Returns false (and drops nothing else) when full.
    bool push(const T& item) noexcept
    {
        const size_t tail = m_tail.load(std::memory_order_relaxed);
        const size_t next = advance(tail);
        if (next == m_head.load(std::memory_order_acquire))
            return false;
        m_slots[tail] = item;
        m_tail.store(next, std::memory_order_release);
        return true;
    }

    // Consumer thread.
    std::optional<T> pop() noexcept
    {
        const size_t head = m_head.load(std::memory_order_relaxed);
        if (head == m_tail.load(std::memory_order_acquire))
            return std::nullopt;
        T item = m_slots[head];
        m_head.store(advance(head), std::memory_order_release);
        return item;
    }

    bool empty() const noexcept
    {
        return m_head.load(std::memory_order_acquire) == m_tail.load(std::memory_order_acquire);
    }

private:
    size_t advance(size_t index) const noexcept
    {
        return index + 1 == m_slots.size() ? 0 : index + 1;
    }

    std::vector<T> m_slots;
    alignas(64) std::atomic<size_t> m_head{0};
    alignas(64) std::atomic<size_t> m_tail{0};
};

} // namespace platform
