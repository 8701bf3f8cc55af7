#include "platform/ThreadPriority.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace platform
{

namespace
{

bool setNice(int nice) noexcept
{
    // Linux keeps a nice value per thread, addressed by its kernel thread id.
    const auto threadId = static_cast<id_t>(syscall(SYS_gettid));
    return setpriority(PRIO_PROCESS, threadId, nice) == 0;
}

} // namespace

bool setCurrentThreadPriority(ThreadPriority priority) noexcept
{
    switch (priority)
    {
    case ThreadPriority::Lowest:
        return setNice(19);
    case ThreadPriority::BelowNormal:
        return setNice(5);
    case ThreadPriority::Normal:
    {
        sched_param param{};
        param.sched_priority = 0;
        pthread_setschedparam(pthread_self(), SCHED_OTHER, &param);
        return setNice(0);
    }
    case ThreadPriority::Highest:
    {
        // A priority near the top of the range but below the kernel's own
        // interrupt threads and JACK's server (which use 80-99 by default).
        sched_param param{};
        param.sched_priority = std::min(70, sched_get_priority_max(SCHED_FIFO));
        return pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) == 0;
    }
    }
    return false;
}

void setCurrentThreadName(std::string_view name) noexcept
{
    char buffer[16] = {};
    std::memcpy(buffer, name.data(), std::min<size_t>(name.size(), sizeof(buffer) - 1));
    pthread_setname_np(pthread_self(), buffer);
}

} // namespace platform
