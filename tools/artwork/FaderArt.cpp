#include "FaderArt.h"

#include <QLinearGradient>
#include <QPainter>

namespace
{
const QColor scaleInk(226, 224, 214);
} // namespace

QImage FaderArt::track(int width, int height, int thumbHeight)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    // The slot runs between the thumb's centre positions at either end.
    const double top = thumbHeight / 2.0 - 2.0;
    const double bottom = height - thumbHeight / 2.0 + 2.0;
    const QRectF slot(width / 2.0 - 2.5, top, 5.0, bottom - top);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 230));
    painter.drawRoundedRect(slot, 2.5, 2.5);
    // Its lower lip catches the light.
    painter.setPen(QPen(QColor(130, 132, 138, 200), 1.0));
    painter.drawLine(QPointF(slot.left(), slot.bottom() + 0.5),
                     QPointF(slot.right(), slot.bottom() + 0.5));
    painter.setPen(QPen(QColor(150, 152, 158, 160), 0.8));
    painter.drawLine(QPointF(slot.right() + 0.5, slot.top() + 2),
                     QPointF(slot.right() + 0.5, slot.bottom() - 1));

    // Printed scale on both sides: 11 ticks, longer every fifth.
    painter.setPen(QPen(scaleInk, 1.0));
    for (int tick = 0; tick <= 10; ++tick)
    {
        const double y = std::floor(thumbHeight / 2.0 + tick * (height - thumbHeight) / 10.0) + 0.5;
        const double length = tick % 5 == 0 ? 5.0 : 3.0;
        painter.drawLine(QPointF(1.0, y), QPointF(1.0 + length, y));
        painter.drawLine(QPointF(width - 1.0 - length, y), QPointF(width - 1.0, y));
    }
    return image;
}

QImage FaderArt::thumb(int capWidth, int height, const QColor& line)
{
    QImage image(capWidth * 2, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    for (int half = 0; half < 2; ++half)
    {
        const bool pressed = half == 1;
        const QRectF cap(half * capWidth + 1.0, 0.5, capWidth - 2.5, height - 2.0);
        // Shadow on the panel below right.
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0, 0, 0, 120));
        painter.drawRoundedRect(cap.translated(1.0, 1.5), 2.0, 2.0);
        // Cap body: a satin plastic block lit from above.
        QLinearGradient body(cap.topLeft(), cap.bottomLeft());
        body.setColorAt(0.0, pressed ? QColor(70, 72, 78) : QColor(150, 152, 158));
        body.setColorAt(0.45, pressed ? QColor(46, 48, 52) : QColor(84, 86, 92));
        body.setColorAt(0.55, pressed ? QColor(34, 35, 38) : QColor(44, 46, 50));
        body.setColorAt(1.0, pressed ? QColor(58, 60, 64) : QColor(100, 102, 108));
        painter.setBrush(body);
        painter.setPen(QPen(QColor(10, 10, 12), 1.0));
        painter.drawRoundedRect(cap, 2.0, 2.0);
        // Grip ridges above and below the centre line.
        painter.setPen(QPen(QColor(0, 0, 0, 90), 1.0));
        for (double y = cap.top() + 3.0; y < cap.bottom() - 2.0; y += 3.0)
            if (std::abs(y - cap.center().y()) > 2.0)
                painter.drawLine(QPointF(cap.left() + 2.0, y), QPointF(cap.right() - 2.0, y));
        // The index line across the middle.
        painter.setPen(QPen(pressed ? line.lighter(130) : line, 1.6));
        painter.drawLine(QPointF(cap.left() + 1.5, cap.center().y()),
                         QPointF(cap.right() - 1.5, cap.center().y()));
    }
    return image;
}
