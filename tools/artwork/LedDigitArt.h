#pragma once

// Seven-segment LED digit strips: equal cells side by side on a dark window,
// in the order blank, 0-9, minus, and (13-cell strips) a lit decimal point.
// Unlit segments show faintly, lit ones glow.

#include <QColor>
#include <QImage>

class LedDigitArt
{
public:
    static QImage strip(int cellWidth, int cellHeight, int cells, const QColor& glow);
};
