#pragma once

// Corvane's application icon for the desktop: a rack panel with a knob and a
// lit lamp, drawn with the same painters as the controls.

#include <QImage>

class AppIcon
{
public:
    static QImage draw(int size);
};
