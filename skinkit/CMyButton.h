#pragma once

// A push button (momentary) or a latching switch (toggle) drawn from a
// two-half picture: left half up/off, right half down/on. It notifies its
// parent on release of a press that started on it, wherever the pointer is
// then; a toggle has already changed state when the parent hears of it.
//
// Threads: GUI thread, except getStatus (a lock-free atomic read).

#include "skinkit/PictureModule.h"
#include "skinkit/SkinControl.h"

#include <QPixmap>

#include <atomic>

class CMyButton : public SkinControl
{
    Q_OBJECT

public:
    explicit CMyButton(bool toggle = false);
    ~CMyButton() override;

    void SetStyle(bool toggle) { m_bToggle = toggle; }
    bool isToggle() const { return m_bToggle; }
    // The switch state; always false for a momentary button.
    // Any thread: lock-free atomic reads.
    bool getStatus() const { return m_bStatus.load(std::memory_order_relaxed); }
    // A toggle takes the state and shows it; a momentary button ignores it.
    // Never notifies.
    void SetStatus(bool status);
    void setparentwnd(QWidget* notifyHandle) { m_pNotifyHandle = notifyHandle; }
    // Returns false (keeping the old picture) when the picture is missing.
    bool LoadPicture(const PictureModule& module, int bitmapId);

    // Which half is shown: 0 (left) or half the picture's width.
    int imageOffset() const { return m_nImageOffset; }

protected:
    QSize sizeForPicture() const override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void showHalf(bool rightHalf);

    QPixmap m_picture;
    bool m_bToggle;
    std::atomic<bool> m_bStatus{false};
    bool m_bPressed = false;
    int m_nImageOffset = 0;
    QWidget* m_pNotifyHandle = nullptr;
};
