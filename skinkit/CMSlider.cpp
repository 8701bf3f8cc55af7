#include "skinkit/CMSlider.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>

namespace
{
// The library's default track and thumb.
constexpr int defaultTrackId = 9003;
constexpr int defaultThumbId = 9004;
} // namespace

CMSlider::CMSlider(int max, int min) : m_nValue(max), m_nMin(min), m_nMax(max)
{
    LoadPicture(PictureModule::skinkit(), defaultTrackId, defaultThumbId);
}

CMSlider::~CMSlider() = default;

bool CMSlider::LoadPicture(const PictureModule& module, int trackId, int thumbId)
{
    QPixmap track = module.load(trackId);
    QPixmap thumb = module.load(thumbId);
    if (track.isNull() || thumb.isNull())
        return false;
    m_track = track;
    m_thumb = thumb;
    m_nThumbY = thumbYForValue(getvalue());
    requestResize();
    update();
    return true;
}

int CMSlider::travel() const
{
    return m_track.height() - m_thumb.height();
}

int CMSlider::thumbYForValue(int value) const
{
    const int span = std::max(travel(), 0);
    const int min = getminvalue();
    const int max = getmaxvalue();
    // A range of one value leaves the thumb at the top.
    if (max <= min)
        return 0;
    value = std::clamp(value, min, max);
    return static_cast<int>(static_cast<long long>(span) * (max - value) / (max - min));
}

void CMSlider::placeThumbAtValue()
{
    m_nThumbY = thumbYForValue(getvalue());
    update();
}

void CMSlider::setvalue(int v)
{
    const int min = getminvalue();
    const int max = getmaxvalue();
    v = std::clamp(v, min, std::max(min, max));
    m_nValue.store(v, std::memory_order_relaxed);
    placeThumbAtValue();
    notifyParent(m_pNotifyHandle);
}

void CMSlider::setmaxvalue(int v)
{
    m_nMax.store(v, std::memory_order_relaxed);
    placeThumbAtValue();
}

void CMSlider::setminvalue(int v)
{
    m_nMin.store(v, std::memory_order_relaxed);
    placeThumbAtValue();
}

void CMSlider::setptposy(int y)
{
    const int span = travel();
    if (y < 0 || y > span)
        return;
    m_nThumbY = y;
    const int min = getminvalue();
    const int max = getmaxvalue();
    // A track no taller than its thumb has one position: the top, max.
    const int value =
        span > 0 ? min + static_cast<int>(static_cast<long long>(max - min) * (span - y) / span)
                 : max;
    m_nValue.store(value, std::memory_order_relaxed);
    update();
    notifyParent(m_pNotifyHandle);
}

QSize CMSlider::sizeForPicture() const
{
    return m_track.isNull() ? size() : m_track.size();
}

void CMSlider::paintEvent(QPaintEvent*)
{
    applyPendingResize();
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_track);
    const int thumbWidth = m_thumb.width() / 2;
    painter.drawPixmap((m_track.width() - thumbWidth) / 2, m_nThumbY, m_thumb, m_nPressedOffset, 0,
                       thumbWidth, m_thumb.height());
}

void CMSlider::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const int y = static_cast<int>(event->position().y());
    if (y < m_nThumbY)
        setptposy(m_nThumbY - m_nStep);
    else if (y > m_nThumbY + m_thumb.height())
        setptposy(m_nThumbY + m_nStep);
    else
        m_nPressedOffset = m_thumb.width() / 2;
    m_nGrabOffset = y - m_nThumbY;
    update();
}

void CMSlider::mouseMoveEvent(QMouseEvent* event)
{
    if (event->buttons() != Qt::LeftButton ||
        (event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier)) != 0)
        return;
    setptposy(static_cast<int>(event->position().y()) - m_nGrabOffset);
    update();
}

void CMSlider::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_nPressedOffset = 0;
    update();
}

void CMSlider::mouseDoubleClickEvent(QMouseEvent* event)
{
    event->accept();
}

void CMSlider::wheelEvent(QWheelEvent* event)
{
    event->ignore();
}
