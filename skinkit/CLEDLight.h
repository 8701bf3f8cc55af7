#pragma once

// An on/off lamp drawn from a two-half picture (dark, lit). Mouse input is
// ignored.
//
// Threads: getlightened is a lock-free atomic read for any thread. setlightened
// may be called from any thread except the audio thread: off the GUI thread it
// hands the repaint to the GUI thread.

#include "skinkit/PictureModule.h"
#include "skinkit/SkinControl.h"

#include <QPixmap>

#include <atomic>

class CLEDLight : public SkinControl
{
    Q_OBJECT

public:
    CLEDLight();
    ~CLEDLight() override;

    // Any thread but the audio thread.
    void setlightened(bool lit);
    // Any thread: lock-free atomic reads.
    bool getlightened() const { return m_bLit.load(std::memory_order_relaxed); }
    bool LoadPicture(const PictureModule& module, int bitmapId);

protected:
    QSize sizeForPicture() const override;
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap m_picture;
    std::atomic<bool> m_bLit{false};
};
