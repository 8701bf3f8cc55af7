#include "skinkit/CLevelDriver.h"

#include "skinkit/CLevel.h"
#include "skinkit/CVUMeter.h"

namespace
{
// The fall period: with the default decay of 5 pixels a bar falls 100 px/s.
constexpr int tickPeriodMs = 50;
// The size of each table.
constexpr size_t maximumMeters = 100;
} // namespace

CLevelDriver::CLevelDriver()
{
    connectTimer();
}

CLevelDriver::CLevelDriver(const CLevelDriver& other)
    : m_levels(other.m_levels), m_vuMeters(other.m_vuMeters)
{
    connectTimer();
}

CLevelDriver& CLevelDriver::operator=(const CLevelDriver& other)
{
    m_levels = other.m_levels;
    m_vuMeters = other.m_vuMeters;
    return *this;
}

CLevelDriver::~CLevelDriver()
{
    stop();
}

void CLevelDriver::connectTimer()
{
    m_timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_timer, &QTimer::timeout, [this] { tick(); });
}

void CLevelDriver::addLevel(CLevel* level)
{
    if (m_levels.size() < maximumMeters)
        m_levels.emplace_back(level);
}

void CLevelDriver::addVu(CVUMeter* meter)
{
    if (m_vuMeters.size() < maximumMeters)
        m_vuMeters.emplace_back(meter);
}

void CLevelDriver::start()
{
    m_timer.start(tickPeriodMs);
}

void CLevelDriver::stop()
{
    m_timer.stop();
}

void CLevelDriver::tick()
{
    for (const auto& level : m_levels)
        if (level)
            level->LevelDriverProc();
    for (const auto& meter : m_vuMeters)
        if (meter)
            meter->VuDriverProc();
}
