#include "skinkit/CCheckBox.h"

#include "skinkit/SkinFont.h"

#include <QMouseEvent>
#include <QPainter>

namespace
{
// The library's default check-box picture.
constexpr int defaultPictureId = 9007;
// The check box's face; where it is not installed the font database picks
// the nearest sans-serif face.
const char* const captionFace = "Tohamo";
constexpr int defaultFontHeight = 14;
constexpr int normalWeight = 400;
} // namespace

CCheckBox::CCheckBox()
    : m_strCaption(QStringLiteral("CheckBox for Audio")), m_nTextColor(skinkit::rgb(200, 212, 208)),
      m_font(skinkit::cellHeightFont(QString::fromLatin1(captionFace), defaultFontHeight,
                                     normalWeight)),
      m_nFontHeight(defaultFontHeight)
{
    LoadPicture(PictureModule::skinkit(), defaultPictureId);
}

CCheckBox::~CCheckBox() = default;

bool CCheckBox::LoadPicture(const PictureModule& module, int bitmapId)
{
    return replacePicture(m_picture, module, bitmapId);
}

void CCheckBox::setchecked(bool checked)
{
    m_bChecked.store(checked, std::memory_order_relaxed);
    update();
}

void CCheckBox::settext(const QString& caption)
{
    m_strCaption = caption;
    // Transparent: the parent repaints under the old caption.
    update();
}

void CCheckBox::setTextColor(skinkit::ColorRef colour)
{
    m_nTextColor = colour;
    update();
}

void CCheckBox::setTextFont(int weight, int height)
{
    m_font = skinkit::cellHeightFont(QString::fromLatin1(captionFace), height, weight);
    m_nFontHeight = height;
    update();
}

QSize CCheckBox::sizeForPicture() const
{
    // The width is the owner's; the height is the picture's.
    return m_picture.isNull() ? size() : QSize(width(), m_picture.height());
}

void CCheckBox::paintEvent(QPaintEvent*)
{
    applyPendingResize();
    const int halfWidth = m_picture.width() / 2;
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_picture, getchecked() ? halfWidth : 0, 0, halfWidth,
                       m_picture.height());
    painter.setFont(m_font);
    painter.setPen(skinkit::toQColor(m_nTextColor));
    const int top = (m_picture.height() - m_nFontHeight) / 2;
    const QRect textArea(halfWidth + 2, top, std::max(width() - halfWidth - 2, 0), m_nFontHeight);
    painter.drawText(textArea, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, m_strCaption);
}

void CCheckBox::toggleByUser()
{
    m_bChecked.store(!getchecked(), std::memory_order_relaxed);
    update();
    notifyParent(m_pNotifyHandle);
}

void CCheckBox::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        toggleByUser();
}

void CCheckBox::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        toggleByUser();
}
