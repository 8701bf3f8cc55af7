#include "skinkit/SkinFont.h"

#include <QFontMetrics>

#include <algorithm>

namespace skinkit
{

QFont cellHeightFont(const QString& face, int cellHeight, int weight)
{
    QFont font(face);
    font.setStyleHint(QFont::SansSerif);
    // Qt's weight scale is the same 100..900 scale as the owners' values.
    font.setWeight(static_cast<QFont::Weight>(std::clamp(weight, 1, 1000)));
    int pixelSize = std::max(cellHeight, 1);
    font.setPixelSize(pixelSize);
    while (pixelSize > 1 && QFontMetrics(font).height() > cellHeight)
    {
        --pixelSize;
        font.setPixelSize(pixelSize);
    }
    return font;
}

} // namespace skinkit
