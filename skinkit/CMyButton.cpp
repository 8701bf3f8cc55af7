#include "skinkit/CMyButton.h"

#include <QMouseEvent>
#include <QPainter>

namespace
{
// The library's default button picture.
constexpr int defaultPictureId = 9002;
} // namespace

CMyButton::CMyButton(bool toggle) : m_bToggle(toggle)
{
    LoadPicture(PictureModule::skinkit(), defaultPictureId);
}

CMyButton::~CMyButton() = default;

bool CMyButton::LoadPicture(const PictureModule& module, int bitmapId)
{
    QPixmap picture = module.load(bitmapId);
    if (picture.isNull())
        return false;
    m_picture = picture;
    showHalf(m_nImageOffset != 0);
    requestResize();
    return true;
}

void CMyButton::showHalf(bool rightHalf)
{
    m_nImageOffset = rightHalf ? m_picture.width() / 2 : 0;
    update();
}

void CMyButton::SetStatus(bool status)
{
    if (!m_bToggle)
        return;
    m_bStatus.store(status, std::memory_order_relaxed);
    showHalf(status);
}

QSize CMyButton::sizeForPicture() const
{
    return m_picture.isNull() ? size() : QSize(m_picture.width() / 2, m_picture.height());
}

void CMyButton::paintEvent(QPaintEvent*)
{
    applyPendingResize();
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_picture, m_nImageOffset, 0, m_picture.width() / 2,
                       m_picture.height());
}

void CMyButton::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    if (m_bToggle)
    {
        const bool status = !getStatus();
        m_bStatus.store(status, std::memory_order_relaxed);
        showHalf(status);
    }
    else
    {
        showHalf(true);
    }
    m_bPressed = true;
}

void CMyButton::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    if (!m_bToggle)
        showHalf(false);
    if (m_bPressed)
    {
        m_bPressed = false;
        notifyParent(m_pNotifyHandle);
    }
}

void CMyButton::mouseDoubleClickEvent(QMouseEvent* event)
{
    // A fast second click is not a press.
    event->accept();
}

void CMyButton::mouseMoveEvent(QMouseEvent* event)
{
    event->accept();
}
