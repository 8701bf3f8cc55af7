#pragma once

// CCpuUsage: the CPU load of a process in whole percent of the machine (all
// cores together), measured between two calls from /proc. The first call
// starts the measurement and returns 0.
//
// Threads: whichever thread owns the object (the amplifier's GUI timer).

#include <chrono>
#include <cstdint>
#include <string>

class CCpuUsage
{
public:
    CCpuUsage();
    ~CCpuUsage();

    // processName: the executable's name; empty or Corvane's own name measures
    // this process, another name the first process of that name (0 when none).
    int GetCpuUsage(const std::string& processName);

private:
    int m_nProcessId = -1;
    std::string m_strProcessName;
    std::uint64_t m_nLastTicks = 0;
    std::chrono::steady_clock::time_point m_lastTime{};
    bool m_bStarted = false;
};
