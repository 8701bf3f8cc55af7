#pragma once

// A rotary knob drawn from a film strip of equal pictures laid side by side.
// Its value lies in [min, max]. A value given by code (setvalue: restore,
// remote control) is kept exactly and only picks the frame to show; the
// mouse and wheel move whole frames and take the value of the frame they
// reach. Every change (mouse, wheel or setvalue) notifies the parent at once.
//
// Threads: GUI thread, except getvalue/getminvalue/getmaxvalue, which are
// lock-free atomic reads the audio thread may make.

#include "skinkit/PictureModule.h"
#include "skinkit/SkinControl.h"

#include <QPixmap>

#include <atomic>

class CKnob : public SkinControl
{
    Q_OBJECT

public:
    CKnob(int min, int max);
    ~CKnob() override;

    // Replaces the strip; frames is the number of pictures in it. The current
    // frame is kept. Returns false (and keeps the old strip) when the picture
    // does not exist or frames does not fit it.
    bool LoadPicture(const PictureModule& module, int bitmapId, int frames);

    // Ignored outside [min, max]; otherwise keeps v as the value, shows the
    // frame v falls in and notifies, also when v is already current.
    void setvalue(int v);
    // Any thread: lock-free atomic reads.
    int getvalue() const { return m_nValue.load(std::memory_order_relaxed); }
    int getmaxvalue() const { return m_nMax.load(std::memory_order_relaxed); }
    int getminvalue() const { return m_nMin.load(std::memory_order_relaxed); }
    // Takes effect only when v > min. Neither setter moves the frame or notifies.
    void setmaxvalue(int v);
    void setminvalue(int v);
    void setparentwnd(QWidget* notifyHandle) { m_pNotifyHandle = notifyHandle; }

    // Requests a repaint of the current frame.
    void KnobDraw() { update(); }

    int currentFrame() const { return m_nCurrentFrame; }
    int frameCount() const { return m_nFrames; }

    // Frames moved per mouse-move or wheel event; owners may set it directly.
    int m_nStep = 2;

protected:
    QSize sizeForPicture() const override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    // The mouse's change steps: clamp, select, take the frame's value, notify,
    // repaint.
    void setcurpic(int frame);
    // Shows the frame, then notifies and repaints; the value is already set.
    void showFrame(int frame);
    int valueOfFrame(int frame) const;

    QPixmap m_filmStrip;
    int m_nFrames = 0;
    int m_nCurrentFrame = 1;
    std::atomic<int> m_nMin;
    std::atomic<int> m_nMax;
    std::atomic<int> m_nValue;
    int m_nLastX = 0;
    QWidget* m_pNotifyHandle = nullptr;
};
