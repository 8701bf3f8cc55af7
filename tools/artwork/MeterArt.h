#pragma once

// Meter pictures: LED-ladder and bar meters (two halves: unlit, lit; green at
// the quiet end through yellow to red at 0 dB), the VU meter's needle strip
// (cream face, black needle, one picture per needle position) and the wave
// scope's screen.

#include <QImage>

class MeterArt
{
public:
    // vertical: 0 dB at the top; else 0 dB at the right. leds = 0 draws a
    // continuous bar of fine lines (for meters with a hold line).
    static QImage levelMeter(int halfWidth, int height, bool vertical, int leds);
    // frames needle pictures; zeroFrame shows 0 dB; the scale follows the
    // meter's law (linear in dB from minDb to 0 over frames 0..zeroFrame,
    // then to maxDb at the last frame).
    static QImage vuStrip(int width, int height, int frames, int zeroFrame, int minDb, int maxDb);
    static QImage scopeScreen(int width, int height);
};
