#pragma once

// Colours are given as Windows colour values, 0x00BBGGRR, as the panels'
// owners state them; these helpers build and convert them.

#include <QColor>

#include <cstdint>

namespace skinkit
{

using ColorRef = std::uint32_t;

constexpr ColorRef rgb(int red, int green, int blue)
{
    return static_cast<ColorRef>((red & 0xFF) | ((green & 0xFF) << 8) | ((blue & 0xFF) << 16));
}

inline QColor toQColor(ColorRef colour)
{
    return QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

} // namespace skinkit
