#include "AppIcon.h"

#include "KnobArt.h"
#include "LampArt.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

QImage AppIcon::draw(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    const double unit = size / 16.0;
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        // A brushed dark panel with rounded corners and two rack ears.
        const QRectF panel(unit * 0.5, unit * 2, size - unit, size - unit * 4);
        QLinearGradient metal(panel.topLeft(), panel.bottomLeft());
        metal.setColorAt(0.0, QColor(72, 74, 80));
        metal.setColorAt(1.0, QColor(28, 29, 33));
        QPainterPath outline;
        outline.addRoundedRect(panel, unit, unit);
        painter.fillPath(outline, metal);
        painter.setPen(QPen(QColor(120, 122, 128), unit * 0.15));
        painter.drawPath(outline);
        for (double x : {unit * 1.5, size - unit * 1.5})
            for (double y : {unit * 4, size - unit * 4})
            {
                painter.setBrush(QColor(8, 8, 10));
                painter.setPen(Qt::NoPen);
                painter.drawEllipse(QPointF(x, y), unit * 0.45, unit * 0.45);
            }
        LampArt::paintLamp(painter, QPointF(size - unit * 4, unit * 5), unit * 0.9,
                           QColor(60, 240, 80), true);
    }
    // The knob, turned two thirds up.
    KnobArt::paintKnob(image, QRectF(unit * 3, unit * 4.5, unit * 8, unit * 8), 60.0,
                       KnobArt::Cap::Aluminium, QColor(20, 20, 22));
    return image;
}
