#pragma once

// Film strips of machined knobs: `frames` pictures side by side, the pointer
// line turning from 7 o'clock (first frame) to 5 o'clock (last frame) while
// the light (from the top left) stays put on every frame.

#include <QColor>
#include <QImage>

class KnobArt
{
public:
    enum class Cap
    {
        Aluminium, // spun silver cap, dark pointer
        Black      // black anodised cap, coloured pointer
    };

    static QImage filmStrip(int diameter, int frames, Cap cap, const QColor& pointer);
    static void paintKnob(QImage& image, const QRectF& area, double angleDegrees, Cap cap,
                          const QColor& pointer);
};
