#include "ButtonArt.h"

#include "LampArt.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace
{
const QColor ink(226, 224, 214);

QFont capFont(int pixelSize)
{
    QFont font(QStringLiteral("DejaVu Sans Condensed"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(std::max(pixelSize, 6));
    font.setWeight(QFont::Bold);
    return font;
}

// A cap lit from above; pressed caps sit 1 px lower with their light reversed.
void paintCap(QPainter& painter, const QRectF& area, bool pressed,
              const QColor& tint = QColor(74, 76, 82))
{
    const QRectF cap = area.adjusted(1.0, 1.0, -2.0, -2.0).translated(0, pressed ? 1.0 : 0.0);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, pressed ? 90 : 140));
    painter.drawRoundedRect(cap.translated(1.0, pressed ? 0.5 : 1.5), 2.5, 2.5);
    QLinearGradient body(cap.topLeft(), cap.bottomLeft());
    if (pressed)
    {
        body.setColorAt(0.0, tint.darker(190));
        body.setColorAt(1.0, tint.darker(120));
    }
    else
    {
        body.setColorAt(0.0, tint.lighter(175));
        body.setColorAt(0.5, tint);
        body.setColorAt(1.0, tint.darker(160));
    }
    painter.setBrush(body);
    painter.setPen(QPen(QColor(8, 8, 10), 1.0));
    painter.drawRoundedRect(cap, 2.5, 2.5);
    if (!pressed)
    {
        painter.setPen(QPen(QColor(255, 255, 255, 60), 1.0));
        painter.drawLine(QPointF(cap.left() + 2.0, cap.top() + 1.0),
                         QPointF(cap.right() - 2.0, cap.top() + 1.0));
    }
}

void paintGlyph(QPainter& painter, const QRectF& area, ButtonArt::Glyph glyph, const QString& text,
                const QColor& colour)
{
    const QPointF centre = area.center();
    const double size = std::min(area.width(), area.height()) * 0.55;
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    switch (glyph)
    {
    case ButtonArt::Glyph::None:
        break;
    case ButtonArt::Glyph::Play:
    {
        QPolygonF triangle;
        triangle << centre + QPointF(-size * 0.45, -size * 0.55) << centre + QPointF(size * 0.6, 0)
                 << centre + QPointF(-size * 0.45, size * 0.55);
        painter.drawPolygon(triangle);
        break;
    }
    case ButtonArt::Glyph::Stop:
        painter.drawRect(
            QRectF(centre.x() - size * 0.45, centre.y() - size * 0.45, size * 0.9, size * 0.9));
        break;
    case ButtonArt::Glyph::Pause:
        painter.drawRect(
            QRectF(centre.x() - size * 0.5, centre.y() - size * 0.5, size * 0.33, size));
        painter.drawRect(
            QRectF(centre.x() + size * 0.17, centre.y() - size * 0.5, size * 0.33, size));
        break;
    case ButtonArt::Glyph::Record:
        painter.setBrush(QColor(220, 40, 32));
        painter.drawEllipse(centre, size * 0.5, size * 0.5);
        break;
    case ButtonArt::Glyph::Eject:
    {
        QPolygonF triangle;
        triangle << centre + QPointF(-size * 0.55, size * 0.05) << centre + QPointF(0, -size * 0.6)
                 << centre + QPointF(size * 0.55, size * 0.05);
        painter.drawPolygon(triangle);
        painter.drawRect(
            QRectF(centre.x() - size * 0.55, centre.y() + size * 0.25, size * 1.1, size * 0.28));
        break;
    }
    case ButtonArt::Glyph::Remove:
        painter.setPen(QPen(colour, std::max(1.4, size * 0.22), Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(centre + QPointF(-size * 0.45, -size * 0.45),
                         centre + QPointF(size * 0.45, size * 0.45));
        painter.drawLine(centre + QPointF(-size * 0.45, size * 0.45),
                         centre + QPointF(size * 0.45, -size * 0.45));
        break;
    case ButtonArt::Glyph::Folder:
    {
        QPainterPath folder;
        folder.moveTo(centre + QPointF(-size * 0.7, -size * 0.45));
        folder.lineTo(centre + QPointF(-size * 0.2, -size * 0.45));
        folder.lineTo(centre + QPointF(-size * 0.05, -size * 0.3));
        folder.lineTo(centre + QPointF(size * 0.7, -size * 0.3));
        folder.lineTo(centre + QPointF(size * 0.7, size * 0.5));
        folder.lineTo(centre + QPointF(-size * 0.7, size * 0.5));
        folder.closeSubpath();
        painter.drawPath(folder);
        break;
    }
    case ButtonArt::Glyph::Power:
    {
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(colour, std::max(1.5, size * 0.2), Qt::SolidLine, Qt::RoundCap));
        const QRectF ring(centre.x() - size * 0.6, centre.y() - size * 0.5, size * 1.2, size * 1.2);
        painter.drawArc(ring, 60 * 16, -300 * 16);
        painter.drawLine(centre + QPointF(0, -size * 0.75), centre + QPointF(0, size * 0.05));
        break;
    }
    case ButtonArt::Glyph::PlayStop:
    {
        QPolygonF triangle;
        const QPointF left = centre - QPointF(size * 0.55, 0);
        triangle << left + QPointF(-size * 0.4, -size * 0.45) << left + QPointF(size * 0.4, 0)
                 << left + QPointF(-size * 0.4, size * 0.45);
        painter.drawPolygon(triangle);
        painter.drawRect(
            QRectF(centre.x() + size * 0.2, centre.y() - size * 0.4, size * 0.8, size * 0.8));
        break;
    }
    case ButtonArt::Glyph::Text:
        painter.setPen(colour);
        painter.setFont(capFont(static_cast<int>(area.height() * 0.75)));
        painter.drawText(area, Qt::AlignCenter, text);
        break;
    }
}

} // namespace

QImage ButtonArt::pushButton(int width, int height, Glyph glyph, const QString& text,
                             const QColor& glyphColour)
{
    QImage image(width * 2, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    for (int half = 0; half < 2; ++half)
    {
        const bool pressed = half == 1;
        const QRectF area(half * width, 0, width, height);
        paintCap(painter, area, pressed);
        const QRectF face = area.adjusted(2, 2, -3, -3).translated(0, pressed ? 1.0 : 0.0);
        paintGlyph(painter, face, glyph, text, pressed ? glyphColour.darker(125) : glyphColour);
    }
    return image;
}

QImage ButtonArt::toggleButton(int width, int height, const QColor& lamp, Glyph glyph,
                               const QString& text)
{
    QImage image(width * 2, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    for (int half = 0; half < 2; ++half)
    {
        const bool on = half == 1;
        const QRectF area(half * width, 0, width, height);
        paintCap(painter, area, on);
        const double down = on ? 1.0 : 0.0;
        const double lampRadius = std::max(1.8, height * 0.13);
        if (glyph == Glyph::None && text.isEmpty())
        {
            LampArt::paintLamp(painter,
                               QPointF(area.center().x() - 0.5, area.center().y() - 0.5 + down),
                               lampRadius, lamp, on);
            continue;
        }
        // A lamp on the left of the cap, the glyph or text on the right.
        const QPointF lampCentre(area.left() + lampRadius + 4.0, area.center().y() - 0.5 + down);
        LampArt::paintLamp(painter, lampCentre, lampRadius, lamp, on);
        const QRectF face(lampCentre.x() + lampRadius + 1.0, area.top() + 2.0 + down,
                          area.right() - lampCentre.x() - lampRadius - 4.0, area.height() - 5.0);
        paintGlyph(painter, face, glyph == Glyph::None ? Glyph::Text : glyph, text, ink);
    }
    return image;
}

QImage ButtonArt::pad(int width, int height, const QString& text, bool highlighted)
{
    QImage image(width * 2, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor ring(64, 190, 255);
    for (int half = 0; half < 2; ++half)
    {
        const bool pressed = half == 1;
        const QRectF area(half * width, 0, width, height);
        const QRectF body = area.adjusted(1.5, 1.5, -2.5, -2.5).translated(0, pressed ? 1.0 : 0.0);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0, 0, 0, 150));
        painter.drawRoundedRect(body.translated(1.0, 1.5), 4.0, 4.0);
        // Soft rubber: matt, lit gently from the top left.
        QRadialGradient rubber(body.topLeft() + QPointF(body.width() * 0.3, body.height() * 0.25),
                               body.width() * 0.9);
        if (pressed)
        {
            rubber.setColorAt(0.0, QColor(255, 170, 70));
            rubber.setColorAt(1.0, QColor(200, 80, 20));
        }
        else
        {
            rubber.setColorAt(0.0, QColor(92, 94, 98));
            rubber.setColorAt(1.0, QColor(44, 45, 48));
        }
        painter.setBrush(rubber);
        painter.setPen(QPen(highlighted ? ring : QColor(12, 12, 14), highlighted ? 2.0 : 1.0));
        painter.drawRoundedRect(body, 4.0, 4.0);
        painter.setPen(pressed ? QColor(60, 20, 0) : ink);
        painter.setFont(capFont(static_cast<int>(height * 0.42)));
        painter.drawText(body, Qt::AlignCenter, text);
    }
    return image;
}

QImage ButtonArt::checkBox(int size, const QColor& lamp)
{
    QImage image(size * 2, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    for (int half = 0; half < 2; ++half)
    {
        const bool checked = half == 1;
        const QRectF area(half * size, 0, size, size);
        paintCap(painter, area, checked, QColor(60, 62, 68));
        const QRectF window = area.adjusted(size * 0.28, size * 0.28, -size * 0.34, -size * 0.34)
                                  .translated(0, checked ? 1.0 : 0.0);
        painter.setPen(QPen(QColor(0, 0, 0, 220), 0.8));
        if (checked)
        {
            QRadialGradient glow(window.center(), window.width());
            glow.setColorAt(0.0, lamp.lighter(160));
            glow.setColorAt(1.0, lamp);
            painter.setBrush(glow);
        }
        else
        {
            painter.setBrush(lamp.darker(600));
        }
        painter.drawRoundedRect(window, 1.0, 1.0);
    }
    return image;
}

QImage ButtonArt::comboArrow(int size)
{
    QImage image(size * 2, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    for (int half = 0; half < 2; ++half)
    {
        const bool highlighted = half == 1;
        const QRectF area(half * size, 0, size, size);
        paintCap(painter, area, false, highlighted ? QColor(96, 100, 108) : QColor(60, 62, 68));
        const QPointF centre = area.center() - QPointF(0.5, 0.5);
        const double extent = size * 0.3;
        QPolygonF arrow;
        arrow << centre + QPointF(-extent, -extent * 0.5) << centre + QPointF(extent, -extent * 0.5)
              << centre + QPointF(0, extent * 0.7);
        painter.setPen(Qt::NoPen);
        painter.setBrush(highlighted ? QColor(255, 255, 255) : ink);
        painter.drawPolygon(arrow);
    }
    return image;
}
