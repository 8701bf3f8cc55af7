#pragma once

// A vertical fader: a thumb picture moving on a track picture. The top end is
// max, the bottom end min. The slider keeps exactly the value it is given
// (setvalue from code, keys, remote control or restore) and draws the thumb
// where that value lies; only the mouse maps a pixel row back to a value, so
// a value never drifts through the track's coarser pixel grid. Every change
// notifies the parent.
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

    // Clamps v to [min, max], keeps it as the value and moves the thumb to
    // its position (notifies, also when v is already current).
    void setvalue(int v);
    // Any thread: lock-free atomic reads.
    int getvalue() const { return m_nValue.load(std::memory_order_relaxed); }
    int getmaxvalue() const { return m_nMax.load(std::memory_order_relaxed); }
    int getminvalue() const { return m_nMin.load(std::memory_order_relaxed); }
    // Store the bound without touching the value or notifying; the thumb is
    // redrawn where the value lies in the new range.
    void setmaxvalue(int v);
    void setminvalue(int v);
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
    // The mouse's way in: accepts only positions inside the track (no
    // clamping; a fast drag past an end leaves the thumb at its last accepted
    // position) and takes the value of that pixel row.
    void setptposy(int y);
    int travel() const;
    // The thumb's row for a value: the value's share of the range, from the
    // top (max) down, truncated to a whole pixel.
    int thumbYForValue(int value) const;
    void placeThumbAtValue();

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
