#pragma once

// A bar or LED-ladder level meter drawn from a two-image picture (left half
// unlit, right half lit). It rises at once to each louder reading, falls only
// by CLevelDriver ticks, and may show a peak-hold line that drops after a
// delay.
//
// Threads: setdb runs on the audio thread (or any thread): it only reads and
// writes atomics and never touches the widget. A GUI-thread refresh timer
// repaints what setdb changed and restarts the hold timer; LevelDriverProc,
// the setters and painting run on the GUI thread. Both timers are members, so
// none fires after the meter is gone.

#include "skinkit/PictureModule.h"
#include "skinkit/SkinControl.h"

#include <QPixmap>
#include <QTimer>

#include <atomic>

class CLevel : public SkinControl
{
    Q_OBJECT

public:
    CLevel();
    ~CLevel() override;

    // Returns false (keeping the old picture) when the picture is missing.
    bool LoadPicture(const PictureModule& module, int bitmapId);

    // Audio thread (any thread). x in dB; lock-free, no allocation.
    void setdb(float x);

    // Accepts only negative values.
    void setmindb(int minDb);
    int getmindb() const { return m_nMinDb.load(std::memory_order_relaxed); }
    // Accepts only values > 0 (pixels per driver tick).
    void setdecay(int decay);
    int getdecay() const { return m_nDecay; }
    // Accepts only values > 0 (hold time in ms).
    void setdelay(int delay);
    int getdelay() const { return m_nDelay; }
    void setvertical(bool vertical);
    void setledladderstyle(bool ladder, unsigned count);

    // GUI thread: one fall step, called by the meter driver.
    void LevelDriverProc();

    // What a paint shows, in pixels from the 0 dB end (extent = empty).
    int barPosition() const { return m_nBarPosition.load(std::memory_order_relaxed); }
    int holdLinePosition() const { return m_nHoldLine.load(std::memory_order_relaxed); }
    int extent() const { return m_nExtent.load(std::memory_order_relaxed); }
    bool holdTimerActive() const { return m_holdTimer.isActive(); }

protected:
    QSize sizeForPicture() const override;
    void paintEvent(QPaintEvent* event) override;

private:
    void setdrawposy(int position);
    // Any thread: moves the hold line and asks the GUI thread to restart the
    // hold timer (bar meters only).
    void setmaxlineposy(int position);
    void updateExtent();
    // GUI thread, every refresh period.
    void applyAudioThreadChanges();

    QTimer m_holdTimer;
    std::atomic<int> m_nBarPosition{0};
    std::atomic<int> m_nMinDb{-30};
    std::atomic<int> m_nHoldLine{0};
    int m_nDecay = 5;
    int m_nDelay = 2500;
    QPixmap m_picture;
    std::atomic<bool> m_bVertical{true};
    std::atomic<bool> m_bLedLadder{false};
    unsigned m_nLedCount = 1;
    std::atomic<int> m_nExtent{0};
    std::atomic<bool> m_bRepaintPending{false};
    std::atomic<bool> m_bHoldRestartPending{false};
    QTimer m_refreshTimer;
};
