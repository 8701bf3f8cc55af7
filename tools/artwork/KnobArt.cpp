#include "KnobArt.h"

#include <QConicalGradient>
#include <QPainter>
#include <QRadialGradient>

#include <cmath>
#include <numbers>

namespace
{
// The pointer's travel: 300 degrees, centred on 12 o'clock.
constexpr double travelDegrees = 300.0;
} // namespace

void KnobArt::paintKnob(QImage& image, const QRectF& area, double angleDegrees, Cap cap,
                        const QColor& pointer)
{
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPointF centre = area.center() - QPointF(0.5, 0.5);
    const double radius = area.width() / 2.0 - 1.5;

    // Shadow cast to the bottom right.
    QRadialGradient shadow(centre + QPointF(1.2, 1.6), radius + 1.5);
    shadow.setColorAt(0.75, QColor(0, 0, 0, 150));
    shadow.setColorAt(1.0, QColor(0, 0, 0, 0));
    painter.setPen(Qt::NoPen);
    painter.setBrush(shadow);
    painter.drawEllipse(centre + QPointF(1.2, 1.6), radius + 1.5, radius + 1.5);

    // Skirt: a dark ring, lit at the top left.
    QRadialGradient skirt(centre - QPointF(radius * 0.5, radius * 0.6), radius * 2.0);
    skirt.setColorAt(0.0, QColor(120, 122, 128));
    skirt.setColorAt(0.5, QColor(40, 41, 45));
    skirt.setColorAt(1.0, QColor(12, 12, 14));
    painter.setBrush(skirt);
    painter.drawEllipse(centre, radius, radius);

    // Knurled grip: fine lines that turn with the knob.
    const double angle = angleDegrees * std::numbers::pi / 180.0;
    painter.setPen(QPen(QColor(0, 0, 0, 120), 0.8));
    const int ridges = 24;
    for (int ridge = 0; ridge < ridges; ++ridge)
    {
        const double a = angle + ridge * 2.0 * std::numbers::pi / ridges;
        const QPointF direction(std::sin(a), -std::cos(a));
        painter.drawLine(centre + direction * (radius * 0.80), centre + direction * (radius - 0.6));
    }

    // Cap: spun metal whose reflections stay with the light, not the knob.
    const double capRadius = radius * 0.74;
    QConicalGradient spin(centre, 135.0);
    if (cap == Cap::Aluminium)
    {
        spin.setColorAt(0.00, QColor(236, 238, 242));
        spin.setColorAt(0.12, QColor(150, 152, 158));
        spin.setColorAt(0.25, QColor(204, 206, 212));
        spin.setColorAt(0.38, QColor(120, 122, 128));
        spin.setColorAt(0.50, QColor(226, 228, 232));
        spin.setColorAt(0.62, QColor(132, 134, 140));
        spin.setColorAt(0.75, QColor(196, 198, 204));
        spin.setColorAt(0.88, QColor(140, 142, 148));
        spin.setColorAt(1.00, QColor(236, 238, 242));
    }
    else
    {
        spin.setColorAt(0.00, QColor(92, 94, 100));
        spin.setColorAt(0.12, QColor(30, 31, 34));
        spin.setColorAt(0.25, QColor(70, 72, 77));
        spin.setColorAt(0.38, QColor(24, 25, 28));
        spin.setColorAt(0.50, QColor(80, 82, 88));
        spin.setColorAt(0.62, QColor(28, 29, 32));
        spin.setColorAt(0.75, QColor(64, 66, 71));
        spin.setColorAt(0.88, QColor(30, 31, 34));
        spin.setColorAt(1.00, QColor(92, 94, 100));
    }
    painter.setPen(QPen(QColor(0, 0, 0, 140), 0.8));
    painter.setBrush(spin);
    painter.drawEllipse(centre, capRadius, capRadius);
    // A soft highlight on the cap's upper left.
    QRadialGradient sheen(centre - QPointF(capRadius * 0.45, capRadius * 0.5), capRadius);
    sheen.setColorAt(0.0, QColor(255, 255, 255, cap == Cap::Aluminium ? 90 : 50));
    sheen.setColorAt(1.0, QColor(255, 255, 255, 0));
    painter.setPen(Qt::NoPen);
    painter.setBrush(sheen);
    painter.drawEllipse(centre, capRadius, capRadius);

    // The pointer line, from near the centre to the skirt's edge.
    const QPointF direction(std::sin(angle), -std::cos(angle));
    const double width = std::max(1.4, radius / 7.0);
    painter.setPen(QPen(QColor(0, 0, 0, 90), width + 1.2, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(centre + direction * (radius * 0.25), centre + direction * (radius - 1.0));
    painter.setPen(QPen(pointer, width, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(centre + direction * (radius * 0.25), centre + direction * (radius - 1.0));
}

QImage KnobArt::filmStrip(int diameter, int frames, Cap cap, const QColor& pointer)
{
    QImage strip(diameter * frames, diameter, QImage::Format_ARGB32_Premultiplied);
    strip.fill(Qt::transparent);
    for (int frame = 0; frame < frames; ++frame)
    {
        const double position = frames > 1 ? static_cast<double>(frame) / (frames - 1) : 0.5;
        const double angle = -travelDegrees / 2.0 + position * travelDegrees;
        paintKnob(strip, QRectF(frame * diameter, 0, diameter, diameter), angle, cap, pointer);
    }
    return strip;
}
