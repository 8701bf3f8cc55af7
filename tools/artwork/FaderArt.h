#pragma once

// Fader tracks (a dark slot with a printed scale) and fader thumbs (two caps
// side by side: normal, then pressed).

#include <QColor>
#include <QImage>

class FaderArt
{
public:
    static QImage track(int width, int height, int thumbHeight);
    static QImage thumb(int capWidth, int height, const QColor& line);
};
