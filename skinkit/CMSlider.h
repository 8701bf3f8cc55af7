#pragma once

// A vertical fader: a thumb picture moving on a track picture. The top end is
// max, the bottom end min; the value follows the thumb's pixel position, and
// every accepted thumb position notifies the parent.
//
// Threads: GUI thread, except getvalue/getminvalue/getmaxvalue (lock-free
// atomic reads for the audio thread).

#include "skinkit/PictureModule.h"
#include "skinkit/SkinControl.h"

#include <QPixmap>

#include <atomic>

class CMSlider : public SkinControl
{
    Q_OBJECT

public:
    CMSlider(int max, int min);
    ~CMSlider() override;

    // The thumb picture holds two thumbs side by side: normal, then pressed.
    // Returns false (keeping the old pictures) when either is missing.
    bool LoadPicture(const PictureModule& module, int trackId, int thumbId);

    // Clamps v to [min, max] and moves the thumb to its position (notifies).
    void setvalue(int v);
    // Any thread: lock-free atomic reads.
    int getvalue() const { return m_nValue.load(std::memory_order_relaxed); }
    int getmaxvalue() const { return m_nMax.load(std::memory_order_relaxed); }
    int getminvalue() const { return m_nMin.load(std::memory_order_relaxed); }
    // Plain stores: no redraw, no notification.
    void setmaxvalue(int v) { m_nMax.store(v, std::memory_order_relaxed); }
    void setminvalue(int v) { m_nMin.store(v, std::memory_order_relaxed); }
    void setparentwnd(QWidget* notifyHandle) { m_pNotifyHandle = notifyHandle; }

    void SliderDraw() { update(); }

    int thumbY() const { return m_nThumbY; }
    bool thumbPressed() const { return m_nPressedOffset != 0; }

protected:
    QSize sizeForPicture() const override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    // Accepts only positions inside the track (no clamping): a fast drag past
    // an end leaves the thumb at its last accepted position.
    void setptposy(int y);
    int travel() const;

    QPixmap m_track;
    QPixmap m_thumb;
    std::atomic<int> m_nValue;
    std::atomic<int> m_nMin;
    std::atomic<int> m_nMax;
    int m_nThumbY = 0;
    int m_nPressedOffset = 0;
    int m_nStep = 5;
    int m_nGrabOffset = 0;
    QWidget* m_pNotifyHandle = nullptr;
};
