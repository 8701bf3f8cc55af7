#pragma once

// Asks the cache for samples the audio thread reads in its next block.
// Long pads and freshly decoded halves sit in main memory or in another
// core's cache; a stream read 512 bytes a block, 1.3 ms apart, is too slow
// for the hardware prefetcher to follow, so each of those reads would stall.
// A hint only: it never faults, even past the end of a buffer.

#include <cstddef>

namespace platform
{

inline void prefetchForRead(const void* begin, size_t bytes) noexcept
{
    constexpr size_t kCacheLine = 64;
    const char* const first = static_cast<const char*>(begin);
    for (size_t offset = 0; offset < bytes; offset += kCacheLine)
        __builtin_prefetch(first + offset, 0, 3);
}

} // namespace platform
