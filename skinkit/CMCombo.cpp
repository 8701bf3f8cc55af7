#include "skinkit/CMCombo.h"

#include "skinkit/SkinFont.h"
#include "skinkit/WindowsColor.h"

#include <QAction>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>

#include <memory>

namespace
{
// The library's default arrow picture.
constexpr int defaultPictureId = 9008;
// The selector's look: light grey-green text on black, a relief border.
constexpr skinkit::ColorRef textColour = skinkit::rgb(200, 212, 208);
constexpr skinkit::ColorRef lightEdgeColour = skinkit::rgb(148, 160, 156);
constexpr skinkit::ColorRef darkEdgeColour = skinkit::rgb(88, 100, 96);
const char* const itemFace = "Tohamo";
constexpr int itemFontHeight = 14;
constexpr int boldWeight = 700;
// The text starts this far from the left edge.
constexpr int textIndent = 5;
// An item list holds at most this many entries.
constexpr int maximumItems = 199;
} // namespace

CMCombo::CMCombo()
    : m_font(skinkit::cellHeightFont(QString::fromLatin1(itemFace), itemFontHeight, boldWeight))
{
    setMouseTracking(true);
    LoadPicture(PictureModule::skinkit(), defaultPictureId);
}

CMCombo::~CMCombo() = default;

bool CMCombo::LoadPicture(const PictureModule& module, int bitmapId, int extra)
{
    QPixmap arrow = module.load(bitmapId);
    if (arrow.isNull())
        return false;
    m_arrow = arrow;
    m_nExtra = extra;
    requestResize();
    update();
    return true;
}

void CMCombo::setitems(const QString* items, int n)
{
    if (items == nullptr || n < 1 || n > maximumItems)
        return;
    m_items = QStringList(items, items + n);
    m_nCount.store(n, std::memory_order_relaxed);
    update();
}

QString CMCombo::itemText(int i) const
{
    return i >= 0 && i < m_items.size() ? m_items.at(i) : QString();
}

void CMCombo::setitemindex(int i)
{
    if (i < 0 || i >= getcount())
        return;
    m_nIndex.store(i, std::memory_order_relaxed);
    notifyParent(m_pNotifyHandle);
    update();
}

QMenu* CMCombo::buildPopupMenu()
{
    auto* menu = new QMenu(this);
    const int selected = getitemindex();
    for (int i = 0; i < m_items.size(); ++i)
    {
        QAction* action = menu->addAction(m_items.at(i));
        action->setData(firstItemCommand + i);
        action->setCheckable(true);
        action->setChecked(i == selected);
    }
    return menu;
}

void CMCombo::OnMenuCommand(int commandId)
{
    if (commandId < firstItemCommand || commandId > lastItemCommand)
        return;
    const int index = commandId - firstItemCommand;
    // A command beyond the list (not one the menu offers) selects nothing.
    if (index >= getcount())
        return;
    m_nIndex.store(index, std::memory_order_relaxed);
    notifyParent(m_pNotifyHandle);
    update();
}

QSize CMCombo::sizeForPicture() const
{
    return m_arrow.isNull() ? size() : QSize(width() + 2, m_arrow.height() + 2);
}

void CMCombo::paintEvent(QPaintEvent*)
{
    applyPendingResize();
    QPainter painter(this);
    const QRect area = rect();
    painter.fillRect(area, Qt::black);

    const int halfArrow = m_arrow.width() / 2;
    painter.setFont(m_font);
    painter.setPen(skinkit::toQColor(textColour));
    const QRect textArea(textIndent, 0, std::max(area.width() - textIndent - halfArrow - 1, 0),
                         area.height());
    painter.drawText(textArea, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                     itemText(getitemindex()));

    painter.drawPixmap(area.width() - halfArrow - 1, 1, m_arrow, m_bHighlighted ? halfArrow : 0, 0,
                       halfArrow, m_arrow.height());

    const int right = area.width() - 1;
    const int bottom = area.height() - 1;
    painter.setPen(skinkit::toQColor(lightEdgeColour));
    painter.drawLine(0, 0, right, 0);
    painter.drawLine(0, 0, 0, bottom);
    painter.setPen(skinkit::toQColor(darkEdgeColour));
    painter.drawLine(0, bottom, right, bottom);
    painter.drawLine(right, 0, right, bottom);
}

void CMCombo::setHighlighted(bool highlighted)
{
    if (m_bHighlighted == highlighted)
        return;
    m_bHighlighted = highlighted;
    update();
}

void CMCombo::enterEvent(QEnterEvent* event)
{
    setHighlighted(true);
    SkinControl::enterEvent(event);
}

void CMCombo::leaveEvent(QEvent* event)
{
    setHighlighted(false);
    SkinControl::leaveEvent(event);
}

void CMCombo::mousePressEvent(QMouseEvent* event)
{
    update();
    if (parentWidget() != nullptr)
        parentWidget()->update();
    if (event->button() != Qt::LeftButton)
        return;
    const int halfArrow = m_arrow.width() / 2;
    if (event->position().x() <= width() - halfArrow - 1)
        return;
    std::unique_ptr<QMenu> menu(buildPopupMenu());
    const QAction* chosen = menu->exec(mapToGlobal(QPoint(0, m_arrow.width() - 5)));
    if (chosen != nullptr)
        OnMenuCommand(chosen->data().toInt());
    setHighlighted(false);
}
