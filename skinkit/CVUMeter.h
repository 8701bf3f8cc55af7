#pragma once

// A needle meter drawn from a film strip of needle pictures. A reading moves
// the needle up at once (or sets it directly at 0 dB and above); its own
// 30 ms timer lets it fall.
//
// Threads: setdb runs on the audio thread (or any thread): atomics only, it
// never touches the widget. The fall timer, VuDriverProc, the setters and
// painting run on the GUI thread; the timer is a member, so it never fires for
// a destroyed meter.

#include "skinkit/PictureModule.h"
#include "skinkit/SkinControl.h"

#include <QPixmap>
#include <QTimer>

#include <atomic>

class CVUMeter : public SkinControl
{
    Q_OBJECT

public:
    CVUMeter();
    ~CVUMeter() override;

    // frames pictures in the strip, zeroFrame the picture (from 0) of 0 dB.
    // Returns false (keeping the old strip) when the picture is missing or
    // the counts do not fit it.
    bool LoadPicture(const PictureModule& module, int bitmapId, int frames, int zeroFrame);

    // Audio thread (any thread). x in dB; lock-free, no allocation, no repaint.
    void setdb(float x);

    // Accepts only negative values.
    void setmindb(int minDb);
    int getmindb() const { return m_nMinDb.load(std::memory_order_relaxed); }
    int getdecay() const { return m_nDecay; }
    // Stored only; the meter does not use it.
    void setupcay(int upcay) { m_nUpcay = upcay; }
    int getupcay() const { return m_nUpcay; }

    // GUI thread: one fall step for a meter driver.
    void VuDriverProc();

    int currentFrame() const { return m_nCurrentFrame.load(std::memory_order_relaxed); }
    int frameCount() const { return m_nFrames.load(std::memory_order_relaxed); }

protected:
    QSize sizeForPicture() const override;
    void paintEvent(QPaintEvent* event) override;

private:
    // GUI thread, every 30 ms.
    void fallTick();

    QPixmap m_picture;
    QTimer m_fallTimer;
    std::atomic<int> m_nMinDb{-20};
    // The level shown at the last picture.
    static constexpr int maxDb = 3;
    int m_nDecay = 6;
    int m_nUpcay = 20;
    std::atomic<int> m_nFrames{64};
    std::atomic<int> m_nZeroFrame{43};
    std::atomic<int> m_nCurrentFrame{0};
};
