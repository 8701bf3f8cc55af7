#include "skinkit/CKnob.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>

namespace
{
// The library's default strip: 45 pictures, resource 9006.
constexpr int defaultStripId = 9006;
constexpr int defaultStripFrames = 45;

bool onlyLeftButtonHeld(const QMouseEvent* event)
{
    return event->buttons() == Qt::LeftButton &&
           (event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier)) == 0;
}
} // namespace

CKnob::CKnob(int min, int max) : m_nMin(min), m_nMax(max), m_nValue(min)
{
    LoadPicture(PictureModule::skinkit(), defaultStripId, defaultStripFrames);
    m_nFrames = defaultStripFrames; // even when the default strip is missing
    m_nCurrentFrame = m_nFrames / 2 + 1;
    m_nValue.store(valueOfFrame(m_nCurrentFrame), std::memory_order_relaxed);
}

CKnob::~CKnob() = default;

bool CKnob::LoadPicture(const PictureModule& module, int bitmapId, int frames)
{
    QPixmap strip = module.load(bitmapId);
    if (strip.isNull() || frames <= 0 || strip.width() < frames)
        return false;
    m_filmStrip = strip;
    m_nFrames = frames;
    requestResize();
    update();
    return true;
}

void CKnob::setvalue(int v)
{
    const int min = getminvalue();
    const int max = getmaxvalue();
    if (v > max || v < min)
        return;
    m_nValue.store(v, std::memory_order_relaxed);
    // A range of one value has a single frame to show.
    const long long span = static_cast<long long>(max) - min;
    const int frame =
        span > 0 ? static_cast<int>((static_cast<long long>(v) - min) * m_nFrames / span) + 1 : 1;
    showFrame(frame);
}

void CKnob::setmaxvalue(int v)
{
    if (v > getminvalue())
        m_nMax.store(v, std::memory_order_relaxed);
}

void CKnob::setminvalue(int v)
{
    m_nMin.store(v, std::memory_order_relaxed);
}

int CKnob::valueOfFrame(int frame) const
{
    const int min = getminvalue();
    const int max = getmaxvalue();
    if (frame >= m_nFrames)
        return max;
    const double value =
        static_cast<double>(frame - 1) / m_nFrames * (static_cast<double>(max) - min) + min;
    return static_cast<int>(value); // truncation toward zero
}

void CKnob::setcurpic(int frame)
{
    frame = std::clamp(frame, 1, std::max(m_nFrames, 1));
    m_nValue.store(valueOfFrame(frame), std::memory_order_relaxed);
    showFrame(frame);
}

void CKnob::showFrame(int frame)
{
    m_nCurrentFrame = std::clamp(frame, 1, std::max(m_nFrames, 1));
    notifyParent(m_pNotifyHandle);
    update();
}

QSize CKnob::sizeForPicture() const
{
    if (m_filmStrip.isNull() || m_nFrames <= 0)
        return size();
    return QSize(m_filmStrip.width() / m_nFrames, m_filmStrip.height());
}

void CKnob::paintEvent(QPaintEvent*)
{
    applyPendingResize();
    if (m_filmStrip.isNull() || m_nFrames <= 0)
        return;
    const int frameWidth = m_filmStrip.width() / m_nFrames;
    // A shorter strip loaded later shows its last frame until the knob moves.
    const int frame = std::min(m_nCurrentFrame, m_nFrames);
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_filmStrip, (frame - 1) * frameWidth, 0, frameWidth,
                       m_filmStrip.height());
}

void CKnob::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_nLastX = static_cast<int>(event->position().x());
    update();
}

void CKnob::mouseMoveEvent(QMouseEvent* event)
{
    if (!onlyLeftButtonHeld(event))
        return;
    // Only the direction of the motion counts: every event is one step.
    const int x = static_cast<int>(event->position().x());
    if (x < m_nLastX)
        setcurpic(m_nCurrentFrame - m_nStep);
    else if (x > m_nLastX)
        setcurpic(m_nCurrentFrame + m_nStep);
    m_nLastX = x;
    update();
}

void CKnob::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        update();
}

void CKnob::mouseDoubleClickEvent(QMouseEvent*)
{
    update();
}

void CKnob::wheelEvent(QWheelEvent* event)
{
    const int delta = event->angleDelta().y();
    if (delta > 0)
        setcurpic(m_nCurrentFrame + m_nStep);
    else if (delta < 0)
        setcurpic(m_nCurrentFrame - m_nStep);
    update();
    // Passed on, so the rack around the knob sees the wheel too.
    event->ignore();
}

void CKnob::keyPressEvent(QKeyEvent* event)
{
    event->accept();
}

void CKnob::keyReleaseEvent(QKeyEvent* event)
{
    event->accept();
}
