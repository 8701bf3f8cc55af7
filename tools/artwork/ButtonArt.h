#pragma once

// Two-half button pictures (left half up/off, right half down/on): cap
// buttons with a glyph or a short text, switches with a lamp in the cap,
// rubber pads, check boxes and the selector's arrow button.

#include <QColor>
#include <QImage>
#include <QString>

class ButtonArt
{
public:
    enum class Glyph
    {
        None,
        Play,
        Stop,
        Pause,
        Record,
        Eject,
        Remove,
        Folder,
        Power,
        PlayStop,
        Text
    };

    // A momentary cap: the right half is pressed in.
    static QImage pushButton(int width, int height, Glyph glyph, const QString& text = QString(),
                             const QColor& glyphColour = QColor(226, 224, 214));
    // A latching switch: a lamp in the cap is dark (left) or lit (right),
    // and the lit half sits pressed in.
    static QImage toggleButton(int width, int height, const QColor& lamp, Glyph glyph = Glyph::None,
                               const QString& text = QString());
    // A rubber trigger pad with a number; highlighted pads wear a lit ring.
    static QImage pad(int width, int height, const QString& text, bool highlighted);
    // A square LED key: dark (unchecked), lit (checked).
    static QImage checkBox(int size, const QColor& lamp);
    // The selector's arrow: normal, highlighted.
    static QImage comboArrow(int size);
};
