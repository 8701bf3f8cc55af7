#include "plugins/CMStatic.h"

#include "platform/GuiThread.h"
#include "skinkit/SkinCommand.h"
#include "skinkit/SkinFont.h"

#include <QMouseEvent>
#include <QPainter>

CMStatic::CMStatic()
{
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_TranslucentBackground);
}

CMStatic::~CMStatic() = default;

void CMStatic::create(QWidget* parent, const QRect& rect, int childId)
{
    setParent(parent);
    setGeometry(rect);
    m_nChildId = childId;
    show();
}

void CMStatic::SetTextFont(const QString& face, int height, int weight, skinkit::ColorRef colour)
{
    CORVANE_ASSERT_GUI_THREAD();
    m_font = skinkit::cellHeightFont(face, height, weight);
    m_nTextColor = colour;
    update();
}

void CMStatic::SetText(const QString& text)
{
    if (platform::isGuiThread())
    {
        applyText(text);
        return;
    }
    // Dropped if the display is destroyed before the GUI thread gets to it.
    platform::postToGui(this, [this, text] { applyText(text); });
}

void CMStatic::applyText(const QString& text)
{
    m_strText = text;
    // The widget is transparent: the parent repaints the whole area under it,
    // so a shorter text leaves nothing of the longer one behind.
    update();
}

void CMStatic::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setFont(m_font);
    painter.setPen(skinkit::toQColor(m_nTextColor));
    painter.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, m_strText);
}

void CMStatic::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    skinkit::sendCommand(parentWidget(), m_nChildId | clickCommandFlag, m_pNotifyHandle);
}
