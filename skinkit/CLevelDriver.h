#pragma once

// Makes a set of meters fall at a steady rate: every 50 ms it calls
// LevelDriverProc on each added CLevel, then VuDriverProc on each added
// CVUMeter, in the order of adding.
//
// Threads: GUI thread only (its timer is a GUI-thread timer). Meters are held
// by guarded pointers, so a meter destroyed before its driver is skipped.

#include <QPointer>
#include <QTimer>

#include <vector>

class CLevel;
class CVUMeter;

class CLevelDriver
{
public:
    CLevelDriver();
    // A copy takes both tables but not the running timer: two drivers sharing
    // one timer would stop each other.
    CLevelDriver(const CLevelDriver& other);
    CLevelDriver& operator=(const CLevelDriver& other);
    ~CLevelDriver();

    // Each table holds at most 100 meters; further ones are ignored.
    void addLevel(CLevel* level);
    void addVu(CVUMeter* meter);
    void start();
    void stop();

    bool isRunning() const { return m_timer.isActive(); }
    int levelCount() const { return static_cast<int>(m_levels.size()); }
    int vuCount() const { return static_cast<int>(m_vuMeters.size()); }

    // One tick (what the timer runs).
    void tick();

private:
    void connectTimer();

    std::vector<QPointer<CLevel>> m_levels;
    std::vector<QPointer<CVUMeter>> m_vuMeters;
    QTimer m_timer;
};
