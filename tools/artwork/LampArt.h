#pragma once

// Round LED lamps in a bezel, two halves: dark (left) and lit (right).

#include <QColor>
#include <QImage>

class QPainter;

class LampArt
{
public:
    static QImage lamp(int size, const QColor& colour);
    static void paintLamp(QPainter& painter, const QPointF& centre, double radius,
                          const QColor& colour, bool lit);
};
