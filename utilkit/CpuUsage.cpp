#include "utilkit/CpuUsage.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace
{

std::string readFirstLine(const std::string& path)
{
    std::ifstream file(path);
    std::string line;
    std::getline(file, line);
    return line;
}

// User plus system time of a process in clock ticks; false when it is gone.
bool readProcessTicks(int processId, std::uint64_t& ticks)
{
    const std::string line = readFirstLine("/proc/" + std::to_string(processId) + "/stat");
    // The command name (field 2) may hold blanks and parentheses: fields are
    // counted from the last ')'.
    const auto close = line.rfind(')');
    if (close == std::string::npos)
        return false;
    std::istringstream fields(line.substr(close + 2));
    std::string field;
    // After the name: state is field 3; utime and stime are fields 14 and 15.
    for (int index = 3; index < 14; ++index)
        fields >> field;
    std::uint64_t userTicks = 0, systemTicks = 0;
    if (!(fields >> userTicks >> systemTicks))
        return false;
    ticks = userTicks + systemTicks;
    return true;
}

int findProcess(const std::string& name)
{
    if (name.empty())
        return getpid();
    const std::string ownName = readFirstLine("/proc/self/comm");
    // The kernel keeps 15 characters of a command name.
    const std::string wanted = name.substr(0, 15);
    if (wanted == ownName)
        return getpid();
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", error))
    {
        const std::string folder = entry.path().filename().string();
        if (folder.empty() || !std::all_of(folder.begin(), folder.end(), ::isdigit))
            continue;
        if (readFirstLine(entry.path().string() + "/comm") == wanted)
            return std::stoi(folder);
    }
    return -1;
}

} // namespace

CCpuUsage::CCpuUsage() = default;
CCpuUsage::~CCpuUsage() = default;

int CCpuUsage::GetCpuUsage(const std::string& processName)
{
    if (processName != m_strProcessName || m_nProcessId < 0)
    {
        m_strProcessName = processName;
        m_nProcessId = findProcess(processName);
        m_bStarted = false;
    }
    std::uint64_t ticks = 0;
    if (m_nProcessId < 0 || !readProcessTicks(m_nProcessId, ticks))
    {
        m_nProcessId = -1;
        return 0;
    }
    const auto now = std::chrono::steady_clock::now();
    int percent = 0;
    if (m_bStarted)
    {
        const double elapsedSeconds = std::chrono::duration<double>(now - m_lastTime).count();
        const double ticksPerSecond = static_cast<double>(sysconf(_SC_CLK_TCK));
        const double cores = std::max(1u, std::thread::hardware_concurrency());
        if (elapsedSeconds > 0.0 && ticks >= m_nLastTicks)
        {
            const double busySeconds = static_cast<double>(ticks - m_nLastTicks) / ticksPerSecond;
            percent = static_cast<int>(std::lround(
                std::clamp(100.0 * busySeconds / (elapsedSeconds * cores), 0.0, 100.0)));
        }
    }
    m_nLastTicks = ticks;
    m_lastTime = now;
    m_bStarted = true;
    return percent;
}
