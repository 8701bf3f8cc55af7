#include "support/RealtimeTrap.h"

#include <dlfcn.h>
#include <pthread.h>
#include <sched.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <new>

namespace
{

using MutexLockFunction = int (*)(pthread_mutex_t*);

// The C library's own pthread_mutex_lock, found once before main runs.
MutexLockFunction g_realMutexLock = nullptr;

__attribute__((constructor(101))) void findRealMutexLock()
{
    g_realMutexLock = reinterpret_cast<MutexLockFunction>(dlsym(RTLD_NEXT, "pthread_mutex_lock"));
}

} // namespace

namespace realtime_trap
{

namespace
{
thread_local bool t_armed = false;
std::atomic<size_t> g_allocations{0};
std::atomic<size_t> g_deallocations{0};
std::atomic<size_t> g_blockingLocks{0};
std::atomic<size_t> g_failingSize{0};
} // namespace

void armCurrentThread() noexcept
{
    t_armed = true;
}
void disarmCurrentThread() noexcept
{
    t_armed = false;
}
bool currentThreadArmed() noexcept
{
    return t_armed;
}

void resetCounts() noexcept
{
    g_allocations = 0;
    g_deallocations = 0;
    g_blockingLocks = 0;
}

size_t allocations() noexcept
{
    return g_allocations.load();
}
size_t deallocations() noexcept
{
    return g_deallocations.load();
}
size_t blockingLocks() noexcept
{
    return g_blockingLocks.load();
}
void failAllocationsOfSize(size_t bytes) noexcept
{
    g_failingSize = bytes;
}

namespace
{

void* countedAllocate(size_t size, size_t alignment = 0)
{
    if (t_armed)
    {
        g_allocations.fetch_add(1, std::memory_order_relaxed);
        // REALTIME_TRAP_ABORT=1 stops at the first violation, for a debugger's backtrace.
        if (std::getenv("REALTIME_TRAP_ABORT") != nullptr)
            __builtin_trap();
    }
    if (size != 0 && size == g_failingSize.load(std::memory_order_relaxed))
        return nullptr;
    if (size == 0)
        size = 1;
    void* memory = nullptr;
    if (alignment > alignof(std::max_align_t))
    {
        if (posix_memalign(&memory, alignment, size) != 0)
            memory = nullptr;
    }
    else
    {
        memory = std::malloc(size);
    }
    return memory;
}

void countedFree(void* memory) noexcept
{
    if (memory == nullptr)
        return;
    if (t_armed)
        g_deallocations.fetch_add(1, std::memory_order_relaxed);
    std::free(memory);
}

} // namespace

} // namespace realtime_trap

using realtime_trap::countedAllocate;
using realtime_trap::countedFree;

void* operator new(size_t size)
{
    if (void* memory = countedAllocate(size))
        return memory;
    throw std::bad_alloc();
}
void* operator new[](size_t size)
{
    if (void* memory = countedAllocate(size))
        return memory;
    throw std::bad_alloc();
}
void* operator new(size_t size, const std::nothrow_t&) noexcept
{
    return countedAllocate(size);
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept
{
    return countedAllocate(size);
}
void* operator new(size_t size, std::align_val_t alignment)
{
    if (void* memory = countedAllocate(size, static_cast<size_t>(alignment)))
        return memory;
    throw std::bad_alloc();
}
void* operator new[](size_t size, std::align_val_t alignment)
{
    if (void* memory = countedAllocate(size, static_cast<size_t>(alignment)))
        return memory;
    throw std::bad_alloc();
}
void operator delete(void* memory) noexcept
{
    countedFree(memory);
}
void operator delete[](void* memory) noexcept
{
    countedFree(memory);
}
void operator delete(void* memory, size_t) noexcept
{
    countedFree(memory);
}
void operator delete[](void* memory, size_t) noexcept
{
    countedFree(memory);
}
void operator delete(void* memory, std::align_val_t) noexcept
{
    countedFree(memory);
}
void operator delete[](void* memory, std::align_val_t) noexcept
{
    countedFree(memory);
}
void operator delete(void* memory, size_t, std::align_val_t) noexcept
{
    countedFree(memory);
}
void operator delete[](void* memory, size_t, std::align_val_t) noexcept
{
    countedFree(memory);
}

extern "C" int pthread_mutex_lock(pthread_mutex_t* mutex)
{
    if (realtime_trap::t_armed)
    {
        realtime_trap::g_blockingLocks.fetch_add(1, std::memory_order_relaxed);
        if (std::getenv("REALTIME_TRAP_ABORT") != nullptr)
            __builtin_trap();
    }
    if (g_realMutexLock != nullptr)
        return g_realMutexLock(mutex);
    // Only while the look-up itself runs: lock without the interposed symbol.
    int result;
    while ((result = pthread_mutex_trylock(mutex)) == EBUSY)
        sched_yield();
    return result;
}
