#include "app/RackUnit.h"

#include "app/RackMessages.h"
#include "app/RackUnitTable.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QLinearGradient>
#include <QMenu>
#include <QPainter>

namespace
{
// The rack is as wide as the fixed 768-pixel window allows beside its
// vertical scroll bar.
constexpr int kPlaceholderWidth = 750;
} // namespace

CRackUnit::CRackUnit(int backgroundId, QWidget* parent)
    : QWidget(parent), m_nBackgroundId(backgroundId)
{
    m_bmpBack.load(QStringLiteral(":/corvane/%1.png").arg(backgroundId));
    if (m_bmpBack.isNull())
    {
        int slotCount = 1;
        for (const auto& info : rack::kRackUnits)
            if (info.backgroundId == backgroundId)
                slotCount = info.height;
        m_bmpBack = placeholderBackground(kPlaceholderWidth, slotCount * rack::kSlotHeight,
                                          QStringLiteral("Unit %1").arg(backgroundId));
    }
    setFixedSize(m_bmpBack.size() / m_bmpBack.devicePixelRatio());
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
}

CRackUnit::CRackUnit(rack::RackUnitIndex index, QWidget* parent)
    : CRackUnit(rack::kRackUnits[index].backgroundId, parent)
{
    m_strName = QString::fromUtf8(rack::kRackUnits[index].name);
    m_nHeight = rack::kRackUnits[index].height;
}

CRackUnit::~CRackUnit() = default;

QPixmap CRackUnit::placeholderBackground(int width, int height, const QString& label)
{
    QPixmap picture(width, height);
    QPainter painter(&picture);
    QLinearGradient metal(0, 0, 0, height);
    metal.setColorAt(0.0, QColor(0x3a, 0x3c, 0x40));
    metal.setColorAt(1.0, QColor(0x22, 0x23, 0x26));
    painter.fillRect(picture.rect(), metal);
    painter.setPen(QColor(0x55, 0x58, 0x5e));
    painter.drawRect(0, 0, width - 1, height - 1);
    painter.setPen(QColor(0xc8, 0xc8, 0xc0));
    QFont font = painter.font();
    font.setPixelSize(13);
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(picture.rect().adjusted(24, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft, label);
    return picture;
}

void CRackUnit::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_bmpBack);
}

// Clicks and keys on the background do nothing: only the unit's controls react.
void CRackUnit::mousePressEvent(QMouseEvent* event)
{
    event->accept();
}
void CRackUnit::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
}
void CRackUnit::mouseDoubleClickEvent(QMouseEvent* event)
{
    event->accept();
}
void CRackUnit::mouseMoveEvent(QMouseEvent* event)
{
    event->accept();
}
void CRackUnit::keyPressEvent(QKeyEvent* event)
{
    event->accept();
}
void CRackUnit::keyReleaseEvent(QKeyEvent* event)
{
    event->accept();
}

QMenu* CRackUnit::createContextMenu()
{
    auto* menu = new QMenu(this);
    QAction* title = menu->addAction(m_strName);
    title->setData(rack::ID_RACK_TITLE);
    menu->addSeparator();
    QAction* up = menu->addAction(QStringLiteral("Move Up"));
    up->setData(rack::ID_RACK_MOVEUP);
    QAction* down = menu->addAction(QStringLiteral("Move Down"));
    down->setData(rack::ID_RACK_MOVEDOWN);
    connect(menu, &QMenu::triggered, this,
            [this](QAction* action) { OnRackCommand(action->data().toInt()); });
    return menu;
}

void CRackUnit::OnRackCommand(int commandId)
{
    if (parentWidget() == nullptr)
        return;
    if (commandId == rack::ID_RACK_MOVEUP)
        QCoreApplication::postEvent(parentWidget(), new rack::RackMoveEvent(this, true));
    else if (commandId == rack::ID_RACK_MOVEDOWN)
        QCoreApplication::postEvent(parentWidget(), new rack::RackMoveEvent(this, false));
}

void CRackUnit::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu* menu = createContextMenu();
    menu->exec(event->globalPos());
    delete menu;
}
