#pragma once

// A ring of fixed-size blocks handed from one thread to another without
// locks or allocation (single producer, single consumer). The producer fills
// slotToWrite() and publishes it; the consumer reads slotToRead() and
// releases it. Sized once, before either thread runs.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace audiodev
{

class BlockRing
{
public:
    void allocate(size_t blocks, size_t bytesPerBlock)
    {
        m_blocks = blocks;
        m_bytesPerBlock = bytesPerBlock;
        m_storage.assign(blocks * bytesPerBlock, 0);
        m_written.store(0);
        m_read.store(0);
    }

    // Producer.
    bool hasRoom() const noexcept
    {
        return m_written.load(std::memory_order_relaxed) - m_read.load(std::memory_order_acquire) <
               m_blocks;
    }
    unsigned char* slotToWrite() noexcept
    {
        return slot(m_written.load(std::memory_order_relaxed));
    }
    void publish() noexcept { m_written.fetch_add(1, std::memory_order_release); }

    // Consumer.
    bool hasData() const noexcept
    {
        return m_read.load(std::memory_order_relaxed) != m_written.load(std::memory_order_acquire);
    }
    const unsigned char* slotToRead() noexcept
    {
        return slot(m_read.load(std::memory_order_relaxed));
    }
    void release() noexcept { m_read.fetch_add(1, std::memory_order_release); }

    size_t bytesPerBlock() const noexcept { return m_bytesPerBlock; }

private:
    unsigned char* slot(uint64_t count) noexcept
    {
        return m_storage.data() + size_t(count % m_blocks) * m_bytesPerBlock;
    }

    size_t m_blocks = 1;
    size_t m_bytesPerBlock = 0;
    std::vector<unsigned char> m_storage;
    std::atomic<uint64_t> m_written{0};
    std::atomic<uint64_t> m_read{0};
};

} // namespace audiodev
