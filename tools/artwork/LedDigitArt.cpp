#include "LedDigitArt.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <array>

namespace
{
// Segments a..g, as on any seven-segment display.
enum Segment
{
    A,
    B,
    C,
    D,
    E,
    F,
    G,
    SegmentCount
};

using SegmentSet = std::array<bool, SegmentCount>;

SegmentSet segmentsOfDigit(int digit)
{
    static constexpr std::array<unsigned, 10> masks = {
        0b0111111, // 0: a b c d e f
        0b0000110, // 1: b c
        0b1011011, // 2: a b d e g
        0b1001111, // 3: a b c d g
        0b1100110, // 4: b c f g
        0b1101101, // 5: a c d f g
        0b1111101, // 6: a c d e f g
        0b0000111, // 7: a b c
        0b1111111, // 8: all
        0b1101111, // 9: a b c d f g
    };
    SegmentSet set{};
    for (int segment = 0; segment < SegmentCount; ++segment)
        set[static_cast<size_t>(segment)] = (masks[static_cast<size_t>(digit)] >> segment) & 1u;
    return set;
}

// A segment as a pointed bar between two points, slanted like a real display.
QPolygonF segmentShape(QPointF from, QPointF to, double thickness)
{
    const QPointF along = to - from;
    const double length = std::hypot(along.x(), along.y());
    const QPointF unit = along / length;
    const QPointF normal(-unit.y(), unit.x());
    const double half = thickness / 2.0;
    QPolygonF shape;
    shape << from << from + unit * half + normal * half << to - unit * half + normal * half << to
          << to - unit * half - normal * half << from + unit * half - normal * half;
    return shape;
}

std::array<QPolygonF, SegmentCount> segmentShapes(const QRectF& cell)
{
    const double thickness = std::max(2.0, cell.width() * 0.17);
    const double slant = cell.width() * 0.10;
    const double left = cell.left() + cell.width() * 0.22;
    const double right = cell.right() - cell.width() * 0.20;
    const double top = cell.top() + cell.height() * 0.12;
    const double bottom = cell.bottom() - cell.height() * 0.12;
    const double middle = (top + bottom) / 2.0;
    // The italic lean: points move right as they go up.
    auto at = [&](double x, double y)
    { return QPointF(x + slant * (middle - y) / (middle - top), y); };
    const double gap = 0.8;
    std::array<QPolygonF, SegmentCount> shapes;
    shapes[A] = segmentShape(at(left + gap, top), at(right - gap, top), thickness);
    shapes[B] = segmentShape(at(right, top + gap), at(right, middle - gap), thickness);
    shapes[C] = segmentShape(at(right, middle + gap), at(right, bottom - gap), thickness);
    shapes[D] = segmentShape(at(left + gap, bottom), at(right - gap, bottom), thickness);
    shapes[E] = segmentShape(at(left, middle + gap), at(left, bottom - gap), thickness);
    shapes[F] = segmentShape(at(left, top + gap), at(left, middle - gap), thickness);
    shapes[G] = segmentShape(at(left + gap, middle), at(right - gap, middle), thickness);
    return shapes;
}

void paintCell(QPainter& painter, const QRectF& cell, const SegmentSet& lit, bool point,
               const QColor& glow)
{
    // The dark window behind the digits, its glass a touch lighter at the top.
    QLinearGradient glass(cell.topLeft(), cell.bottomLeft());
    glass.setColorAt(0.0, QColor(26, 14, 12));
    glass.setColorAt(1.0, QColor(10, 6, 6));
    painter.fillRect(cell, glass);

    const auto shapes = segmentShapes(cell);
    QColor ghost = glow;
    ghost.setAlpha(34);
    QColor halo = glow;
    halo.setAlpha(70);
    const QColor core = glow.lighter(135);
    for (int segment = 0; segment < SegmentCount; ++segment)
    {
        const QPolygonF& shape = shapes[static_cast<size_t>(segment)];
        if (!lit[static_cast<size_t>(segment)])
        {
            painter.setPen(Qt::NoPen);
            painter.setBrush(ghost);
            painter.drawPolygon(shape);
            continue;
        }
        // Glow: the segment spread wide and faint, then the bright core.
        painter.setPen(QPen(halo, 2.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.setBrush(halo);
        painter.drawPolygon(shape);
        painter.setPen(Qt::NoPen);
        painter.setBrush(glow);
        painter.drawPolygon(shape);
        // A hot centre line along the segment.
        const QPointF start = (shape[0] + shape[1] + shape[5]) / 3.0;
        const QPointF end = (shape[2] + shape[3] + shape[4]) / 3.0;
        painter.setPen(QPen(core, 1.0, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(start, end);
    }
    const QPointF dotCentre(cell.right() - cell.width() * 0.10,
                            cell.bottom() - cell.height() * 0.12);
    const double dotRadius = std::max(1.0, cell.width() * 0.08);
    painter.setPen(Qt::NoPen);
    painter.setBrush(point ? glow : ghost);
    painter.drawEllipse(dotCentre, dotRadius, dotRadius);
}
} // namespace

QImage LedDigitArt::strip(int cellWidth, int cellHeight, int cells, const QColor& glow)
{
    QImage image(cellWidth * cells, cellHeight, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    for (int cell = 0; cell < cells; ++cell)
    {
        const QRectF area(cell * cellWidth, 0, cellWidth, cellHeight);
        SegmentSet lit{};
        bool point = false;
        if (cell >= 1 && cell <= 10)
            lit = segmentsOfDigit(cell - 1);
        else if (cell == 11)
            lit[G] = true;
        else if (cell == 12)
            point = true;
        painter.save();
        painter.setClipRect(area);
        paintCell(painter, area, lit, point, glow);
        painter.restore();
    }
    return image;
}
