#include "utilkit/CpuUsage.h"

#include <gtest/gtest.h>

#include <ctime>

namespace
{

double threadCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// The first call only starts the measurement; the next gives this process's
// load since then. A process that does not exist reads 0.
TEST(CpuUsage, MeasuresThisProcessBetweenCalls)
{
    CCpuUsage usage;
    EXPECT_EQ(usage.GetCpuUsage(""), 0);
    // Burn a fixed amount of this thread's CPU time (not wall time), so the
    // result does not depend on how busy the machine is.
    const double start = threadCpuSeconds();
    volatile double sink = 0.0;
    while (threadCpuSeconds() - start < 0.3)
        sink = sink + 1.0;
    const int percent = usage.GetCpuUsage("");
    EXPECT_GT(percent, 0);
    EXPECT_LE(percent, 100);

    CCpuUsage unknown;
    EXPECT_EQ(unknown.GetCpuUsage("no-such-process-name"), 0);
    EXPECT_EQ(unknown.GetCpuUsage("no-such-process-name"), 0);
}

} // namespace
