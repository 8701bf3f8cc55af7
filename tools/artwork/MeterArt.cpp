#include "MeterArt.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

#include <cmath>
#include <numbers>

namespace
{
// Zone colours of a meter, by the fraction of the scale from the quiet end.
QColor zoneColour(double fraction)
{
    if (fraction >= 0.85)
        return QColor(255, 40, 30);
    if (fraction >= 0.62)
        return QColor(255, 200, 20);
    return QColor(40, 230, 60);
}

void paintLed(QPainter& painter, const QRectF& led, const QColor& colour, bool lit)
{
    if (lit)
    {
        QLinearGradient body(led.topLeft(), led.bottomLeft());
        body.setColorAt(0.0, colour.lighter(150));
        body.setColorAt(0.5, colour);
        body.setColorAt(1.0, colour.darker(120));
        painter.fillRect(led, body);
    }
    else
    {
        painter.fillRect(led, colour.darker(560));
    }
}

// Frame position of a level, by the VU meter's law.
double frameOfDb(double db, int frames, int zeroFrame, int minDb, int maxDb)
{
    if (db < 0.0)
        return zeroFrame - db / minDb * zeroFrame;
    return zeroFrame - 1 + db / maxDb * (frames - zeroFrame);
}
} // namespace

QImage MeterArt::levelMeter(int halfWidth, int height, bool vertical, int leds)
{
    QImage image(halfWidth * 2, height, QImage::Format_RGB32);
    image.fill(QColor(6, 6, 7));
    QPainter painter(&image);
    const int extent = vertical ? height : halfWidth;
    for (int half = 0; half < 2; ++half)
    {
        const bool lit = half == 1;
        const int left = half * halfWidth;
        if (leds > 0)
        {
            // One LED per step of the ladder's quantisation, with a dark gap.
            for (int led = 0; led < leds; ++led)
            {
                const int start = led * extent / leds;
                const int end = (led + 1) * extent / leds;
                const double fraction = (led + 0.5) / leds;
                if (vertical)
                {
                    // LED 0 is the top one, nearest 0 dB.
                    const QRectF rect(left + 1, start + 1, halfWidth - 2, end - start - 2);
                    paintLed(painter, rect, zoneColour(1.0 - fraction), lit);
                }
                else
                {
                    const QRectF rect(left + start + 1, 1, end - start - 2, height - 2);
                    paintLed(painter, rect, zoneColour(fraction), lit);
                }
            }
        }
        else
        {
            // A continuous bar of fine segments, so any pixel can be the edge.
            for (int step = 0; step < extent; ++step)
            {
                if (step % 3 == 2)
                    continue;
                const double fraction =
                    vertical ? 1.0 - (step + 0.5) / extent : (step + 0.5) / extent;
                const QColor colour = zoneColour(fraction);
                if (vertical)
                    painter.fillRect(QRect(left + 1, step, halfWidth - 2, 1),
                                     lit ? colour : colour.darker(560));
                else
                    painter.fillRect(QRect(left + step, 1, 1, height - 2),
                                     lit ? colour : colour.darker(560));
            }
        }
    }
    return image;
}

QImage MeterArt::vuStrip(int width, int height, int frames, int zeroFrame, int minDb, int maxDb)
{
    QImage strip(width * frames, height, QImage::Format_RGB32);
    QPainter painter(&strip);
    painter.setRenderHint(QPainter::Antialiasing);
    // The needle swings 80 degrees about a pivot well below the face, so the
    // scale is a shallow arc across its upper half.
    const double sweepDegrees = 80.0;
    QFont font(QStringLiteral("DejaVu Sans Condensed"));
    font.setPixelSize(std::max(6, height / 7));
    font.setWeight(QFont::Bold);
    for (int frame = 0; frame < frames; ++frame)
    {
        const QRectF cell(frame * width, 0, width, height);
        painter.save();
        painter.setClipRect(cell);
        // Bezel and a cream face, lit from the top left.
        painter.fillRect(cell, QColor(18, 18, 20));
        const QRectF face = cell.adjusted(2, 2, -2, -2);
        QLinearGradient cream(face.topLeft(), face.bottomRight());
        cream.setColorAt(0.0, QColor(252, 242, 212));
        cream.setColorAt(1.0, QColor(222, 204, 160));
        painter.setPen(Qt::NoPen);
        painter.setBrush(cream);
        painter.drawRoundedRect(face, 2.0, 2.0);

        const QPointF pivot(face.center().x(), face.bottom() + height * 0.45);
        const double scaleRadius = pivot.y() - (face.top() + height * 0.28);
        auto angleOfFrame = [&](double position)
        {
            return (-sweepDegrees / 2.0 + position / (frames - 1) * sweepDegrees) *
                   std::numbers::pi / 180.0;
        };
        auto pointAt = [&](double angle, double radius)
        { return pivot + QPointF(std::sin(angle) * radius, -std::cos(angle) * radius); };

        // The scale arc: black up to 0 dB, red above.
        const double zeroAngle = angleOfFrame(frameOfDb(0.0, frames, zeroFrame, minDb, maxDb));
        const int arcSteps = 40;
        for (int step = 0; step < arcSteps; ++step)
        {
            const double a0 = angleOfFrame(static_cast<double>(step) / arcSteps * (frames - 1));
            const double a1 = angleOfFrame(static_cast<double>(step + 1) / arcSteps * (frames - 1));
            const bool red = a0 >= zeroAngle - 1e-9;
            painter.setPen(QPen(red ? QColor(200, 24, 20) : QColor(20, 20, 20), red ? 2.2 : 1.0));
            painter.drawLine(pointAt(a0, scaleRadius), pointAt(a1, scaleRadius));
        }
        // Ticks at the marked levels, numbers at the main ones.
        const int marks[] = {-20, -10, -7, -5, -3, -2, -1, 0, 1, 2, 3};
        painter.setFont(font);
        for (int mark : marks)
        {
            if (mark < minDb || mark > maxDb)
                continue;
            const double angle = angleOfFrame(frameOfDb(mark, frames, zeroFrame, minDb, maxDb));
            const bool main = mark == -20 || mark == -10 || mark == -5 || mark == 0 || mark == 3;
            painter.setPen(QPen(mark > 0 ? QColor(200, 24, 20) : QColor(20, 20, 20), 1.0));
            painter.drawLine(pointAt(angle, scaleRadius),
                             pointAt(angle, scaleRadius + (main ? 5.0 : 3.0)));
            if (main)
            {
                const QPointF at = pointAt(angle, scaleRadius - 7.0);
                const QString text =
                    mark > 0 ? QStringLiteral("+%1").arg(mark) : QString::number(std::abs(mark));
                painter.drawText(QRectF(at.x() - 10, at.y() - 5, 20, 10), Qt::AlignCenter, text);
            }
        }
        painter.setPen(QColor(60, 50, 40));
        painter.drawText(QRectF(face.left() + 4, face.bottom() - height * 0.24, face.width() * 0.3,
                                height * 0.2),
                         Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("VU"));

        // The needle, with its soft shadow on the face.
        const double angle = angleOfFrame(frame);
        const QPointF tip = pointAt(angle, scaleRadius + 4.0);
        painter.setPen(QPen(QColor(0, 0, 0, 50), 1.6));
        painter.drawLine(pivot + QPointF(1.2, 1.0), tip + QPointF(1.2, 1.0));
        painter.setPen(QPen(QColor(10, 10, 10), 1.1));
        painter.drawLine(pivot, tip);
        // A shadow across the top of the face, cast by the bezel.
        QLinearGradient shade(face.topLeft(), face.topLeft() + QPointF(0, face.height() * 0.25));
        shade.setColorAt(0.0, QColor(0, 0, 0, 70));
        shade.setColorAt(1.0, QColor(0, 0, 0, 0));
        painter.fillRect(face, shade);
        painter.restore();
    }
    return strip;
}

QImage MeterArt::scopeScreen(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient glass(0, 0, 0, height);
    glass.setColorAt(0.0, QColor(16, 22, 24));
    glass.setColorAt(1.0, QColor(6, 9, 10));
    painter.fillRect(image.rect(), glass);
    painter.setPen(QColor(30, 44, 46));
    for (int x = width / 10; x < width; x += width / 10)
        painter.drawLine(x, 0, x, height - 1);
    for (int y = height / 4; y < height; y += height / 4)
        painter.drawLine(0, y, width - 1, y);
    painter.setPen(QColor(46, 66, 68));
    painter.drawLine(0, height / 2, width - 1, height / 2);
    painter.setPen(QColor(0, 0, 0));
    painter.drawRect(0, 0, width - 1, height - 1);
    return image;
}
