#include "LampArt.h"

#include <QPainter>
#include <QRadialGradient>

void LampArt::paintLamp(QPainter& painter, const QPointF& centre, double radius,
                        const QColor& colour, bool lit)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    if (lit)
    {
        // The light spills onto the panel around the lens.
        QRadialGradient halo(centre, radius * 2.4);
        QColor inner = colour;
        inner.setAlpha(170);
        QColor outer = colour;
        outer.setAlpha(0);
        halo.setColorAt(0.0, inner);
        halo.setColorAt(1.0, outer);
        painter.setPen(Qt::NoPen);
        painter.setBrush(halo);
        painter.drawEllipse(centre, radius * 2.4, radius * 2.4);
        QRadialGradient lens(centre - QPointF(radius * 0.3, radius * 0.3), radius * 1.3);
        lens.setColorAt(0.0, QColor(255, 255, 236));
        lens.setColorAt(0.35, colour.lighter(145));
        lens.setColorAt(1.0, colour);
        painter.setBrush(lens);
    }
    else
    {
        QRadialGradient lens(centre - QPointF(radius * 0.35, radius * 0.35), radius * 1.4);
        lens.setColorAt(0.0, colour.darker(250));
        lens.setColorAt(1.0, colour.darker(700));
        painter.setBrush(lens);
    }
    painter.setPen(QPen(QColor(0, 0, 0, 200), 0.8));
    painter.drawEllipse(centre, radius, radius);
    // A specular glint, lit or not: the lens is glass.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 255, lit ? 200 : 70));
    painter.drawEllipse(centre - QPointF(radius * 0.35, radius * 0.38), radius * 0.22,
                        radius * 0.18);
    painter.restore();
}

QImage LampArt::lamp(int size, const QColor& colour)
{
    QImage image(size * 2, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    for (int half = 0; half < 2; ++half)
    {
        const QPointF centre(half * size + size / 2.0, size / 2.0);
        const double bezelRadius = size / 2.0 - 0.5;
        QRadialGradient bezel(centre - QPointF(bezelRadius * 0.4, bezelRadius * 0.4),
                              bezelRadius * 1.6);
        bezel.setColorAt(0.0, QColor(176, 178, 184));
        bezel.setColorAt(1.0, QColor(30, 31, 34));
        painter.setPen(Qt::NoPen);
        painter.setBrush(bezel);
        painter.drawEllipse(centre, bezelRadius, bezelRadius);
        paintLamp(painter, centre, bezelRadius * 0.68, colour, half == 1);
    }
    return image;
}
