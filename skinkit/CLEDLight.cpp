#include "skinkit/CLEDLight.h"

#include "platform/GuiThread.h"

#include <QPainter>

namespace
{
// The library's default lamp picture (shared with the check box).
constexpr int defaultPictureId = 9007;
} // namespace

CLEDLight::CLEDLight()
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    LoadPicture(PictureModule::skinkit(), defaultPictureId);
}

CLEDLight::~CLEDLight() = default;

bool CLEDLight::LoadPicture(const PictureModule& module, int bitmapId)
{
    return replacePicture(m_picture, module, bitmapId);
}

void CLEDLight::setlightened(bool lit)
{
    m_bLit.store(lit, std::memory_order_relaxed);
    if (platform::isGuiThread())
        update();
    else
        platform::postToGui(this, [this] { update(); });
}

QSize CLEDLight::sizeForPicture() const
{
    return m_picture.isNull() ? size() : QSize(m_picture.width() / 2, m_picture.height());
}

void CLEDLight::paintEvent(QPaintEvent*)
{
    applyPendingResize();
    const int halfWidth = m_picture.width() / 2;
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_picture, getlightened() ? halfWidth : 0, 0, halfWidth,
                       m_picture.height());
}
