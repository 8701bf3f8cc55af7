#pragma once

// Fonts given the way the panels' owners state them: a face, a character-cell
// height in pixels and a weight on the 100..900 scale (400 normal, 700 bold).

#include <QFont>
#include <QString>

namespace skinkit
{

// GUI thread (uses the font database). The largest pixel size of face whose
// line height fits into cellHeight, so a text laid out for that cell fits.
QFont cellHeightFont(const QString& face, int cellHeight, int weight);

} // namespace skinkit
