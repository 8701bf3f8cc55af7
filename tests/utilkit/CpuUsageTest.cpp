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

TEST(CpuUsage, MeasuresThisProcessBetweenCalls)
{
    CCpuUsage usage;
    EXPECT_EQ(usage.GetCpuUsage(""), 0) << "the first call only starts the measurement";

    // Burn a fixed amount of this thread's CPU time (not wall time), so the
    // result does not depend on how busy the machine is.
    const double start = threadCpuSeconds();
    volatile double sink = 0.0;
    while (threadCpuSeconds() - start < 0.3)
        sink = sink + 1.0;

    const int percent = usage.GetCpuUsage("");
    EXPECT_GT(percent, 0);
    EXPECT_LE(percent, 100);
}

TEST(CpuUsage, UnknownProcessReadsZero)
{
    CCpuUsage usage;
    EXPECT_EQ(usage.GetCpuUsage("no-such-process-name"), 0);
    EXPECT_EQ(usage.GetCpuUsage("no-such-process-name"), 0);
}

} // namespace
