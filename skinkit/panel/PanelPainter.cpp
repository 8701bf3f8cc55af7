#include "skinkit/panel/PanelPainter.h"

#include <QFont>
#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>
#include <numbers>

namespace
{
// Silk-screen ink: a warm off-white, as printed on dark anodised metal.
const QColor silkScreenInk(226, 224, 214);
const QColor metalBase(52, 54, 58);

// A small deterministic generator for the brushing streaks.
class StreakNoise
{
public:
    explicit StreakNoise(unsigned seed) : m_state(seed * 2654435761u + 1u) {}
    // 0..1
    double next()
    {
        m_state = m_state * 1664525u + 1013904223u;
        return static_cast<double>(m_state >> 8) / static_cast<double>(1u << 24);
    }

private:
    unsigned m_state;
};

QFont silkScreenFont(int cellHeight)
{
    QFont font(QStringLiteral("DejaVu Sans Condensed"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(std::max(cellHeight, 6));
    font.setWeight(QFont::Bold);
    font.setHintingPreference(QFont::PreferFullHinting);
    return font;
}

void paintRackEar(QPainter& painter, const QRect& ear, int slotCount)
{
    QLinearGradient shade(ear.topLeft(), ear.topRight());
    shade.setColorAt(0.0, QColor(70, 72, 76));
    shade.setColorAt(0.5, QColor(44, 46, 50));
    shade.setColorAt(1.0, QColor(30, 31, 34));
    painter.fillRect(ear, shade);
    // The fold between ear and panel catches the light on its left side.
    painter.setPen(QColor(96, 98, 104));
    painter.drawLine(ear.left(), ear.top(), ear.left(), ear.bottom());
    painter.setPen(QColor(18, 18, 20));
    painter.drawLine(ear.right(), ear.top(), ear.right(), ear.bottom());
    // One screw per slot, centred on the slot.
    for (int slot = 0; slot < slotCount; ++slot)
    {
        const double centreY = slot * panel::slotHeight + panel::slotHeight / 2.0;
        PanelPainter::paintScrew(painter, QPointF(ear.center().x() + 0.5, centreY), 5.0,
                                 20.0 + slot * 37.0);
    }
}
} // namespace

void PanelPainter::paintBrushedMetal(QPainter& painter, const QRect& area, unsigned seed)
{
    painter.save();
    painter.fillRect(area, metalBase);
    StreakNoise noise(seed);
    // Horizontal brushing: each row a slightly different grey, with streaks.
    for (int y = area.top(); y <= area.bottom(); ++y)
    {
        const int rowShade = static_cast<int>(noise.next() * 10.0) - 5;
        painter.setPen(QColor(52 + rowShade, 54 + rowShade, 58 + rowShade));
        painter.drawLine(area.left(), y, area.right(), y);
        const int streaks = 2;
        for (int streak = 0; streak < streaks; ++streak)
        {
            const int start = area.left() + static_cast<int>(noise.next() * area.width());
            const int length = 20 + static_cast<int>(noise.next() * 160.0);
            const int lift = static_cast<int>(noise.next() * 14.0) - 5;
            painter.setPen(QColor(60 + lift, 62 + lift, 67 + lift));
            painter.drawLine(start, y, std::min(start + length, area.right()), y);
        }
    }
    // Light from the top left: brighter there, falling off to the bottom right.
    QLinearGradient light(area.topLeft(), area.bottomRight());
    light.setColorAt(0.0, QColor(255, 255, 255, 34));
    light.setColorAt(0.55, QColor(255, 255, 255, 0));
    light.setColorAt(1.0, QColor(0, 0, 0, 46));
    painter.fillRect(area, light);
    painter.restore();
}

void PanelPainter::paintScrew(QPainter& painter, const QPointF& centre, double radius,
                              double angleDegrees)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    // Countersink shadow below right, then the head lit from the top left.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 110));
    painter.drawEllipse(centre + QPointF(0.8, 1.0), radius + 1.0, radius + 1.0);
    QRadialGradient head(centre - QPointF(radius * 0.4, radius * 0.4), radius * 1.6);
    head.setColorAt(0.0, QColor(214, 216, 220));
    head.setColorAt(0.6, QColor(138, 140, 146));
    head.setColorAt(1.0, QColor(70, 72, 78));
    painter.setBrush(head);
    painter.drawEllipse(centre, radius, radius);
    // A cross slot.
    const double angle = angleDegrees * std::numbers::pi / 180.0;
    const QPointF along(std::cos(angle) * radius * 0.7, std::sin(angle) * radius * 0.7);
    const QPointF across(-along.y(), along.x());
    painter.setPen(QPen(QColor(36, 36, 40), 1.4, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(centre - along, centre + along);
    painter.drawLine(centre - across, centre + across);
    painter.restore();
}

void PanelPainter::paintTitle(QPainter& painter, const QString& title)
{
    painter.save();
    // The unit's name: spaced capitals with a short rule under them, as
    // printed on rack gear.
    QFont font = silkScreenFont(12);
    font.setCapitalization(QFont::AllUppercase);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 1.5);
    painter.setFont(font);
    const QPoint origin(panel::rackEarWidth + 12, 5);
    const int textWidth = QFontMetrics(font).horizontalAdvance(title);
    const QRect box(origin, QSize(textWidth + 4, QFontMetrics(font).height()));
    painter.setPen(QColor(0, 0, 0, 130));
    painter.drawText(box.translated(0, 1), Qt::AlignLeft | Qt::AlignTop, title);
    painter.setPen(silkScreenInk);
    painter.drawText(box, Qt::AlignLeft | Qt::AlignTop, title);
    painter.fillRect(QRect(origin.x(), box.bottom() + 2, textWidth, 1), silkScreenInk.darker(130));
    painter.restore();
}

void PanelPainter::paintLabel(QPainter& painter, const panel::PanelLabel& label)
{
    if (label.text == nullptr || label.text[0] == '\0')
        return;
    painter.save();
    painter.setRenderHint(QPainter::TextAntialiasing);
    const QFont font = silkScreenFont(label.size);
    painter.setFont(font);
    const QString text = QString::fromUtf8(label.text);
    const int textWidth = QFontMetrics(font).horizontalAdvance(text);
    int left = label.x;
    if (label.alignment == panel::LabelAlignment::Centre)
        left = label.x - textWidth / 2;
    else if (label.alignment == panel::LabelAlignment::Right)
        left = label.x - textWidth;
    const QRect box(left, label.y, textWidth + 2, QFontMetrics(font).height());
    painter.setPen(QColor(0, 0, 0, 120));
    painter.drawText(box.translated(0, 1), Qt::AlignLeft | Qt::AlignTop, text);
    painter.setPen(silkScreenInk);
    painter.drawText(box, Qt::AlignLeft | Qt::AlignTop, text);
    painter.restore();
}

void PanelPainter::paintFootprint(QPainter& painter, const panel::PanelFootprint& footprint)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF area(footprint.x, footprint.y, footprint.width, footprint.height);
    switch (footprint.kind)
    {
    case panel::FootprintKind::Knob:
    {
        // A printed scale of 11 ticks over the knob's 300 degrees of travel.
        const QPointF centre = area.center();
        const double inner = std::min(area.width(), area.height()) / 2.0 + 2.0;
        painter.setPen(QPen(silkScreenInk, 1.1));
        for (int tick = 0; tick <= 10; ++tick)
        {
            const double degrees = 240.0 - tick * 30.0;
            const double angle = degrees * std::numbers::pi / 180.0;
            const QPointF direction(std::cos(angle), -std::sin(angle));
            const double outer = inner + (tick % 5 == 0 ? 4.0 : 2.5);
            painter.drawLine(centre + direction * inner, centre + direction * outer);
        }
        break;
    }
    case panel::FootprintKind::Slider:
    {
        // The slot the thumb rides in, and a scale on its left.
        const QRectF slot(area.center().x() - 2.0, area.top() + 4.0, 4.0, area.height() - 8.0);
        painter.setPen(QPen(QColor(90, 92, 98), 1.0));
        painter.setBrush(QColor(8, 8, 10));
        painter.drawRoundedRect(slot, 2.0, 2.0);
        painter.setPen(QPen(silkScreenInk, 1.0));
        for (int tick = 0; tick <= 10; ++tick)
        {
            const double y = area.top() + 6.0 + tick * (area.height() - 12.0) / 10.0;
            const double length = tick % 5 == 0 ? 6.0 : 3.5;
            painter.drawLine(QPointF(area.left() - length, y), QPointF(area.left() - 1.0, y));
        }
        break;
    }
    case panel::FootprintKind::Display:
    case panel::FootprintKind::Meter:
    {
        // A recessed dark window: shadow on the top left, light on the bottom right.
        const QRectF window = area.adjusted(-3, -3, 3, 3);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(6, 7, 8));
        painter.drawRoundedRect(window, 2.5, 2.5);
        painter.setPen(QPen(QColor(0, 0, 0, 200), 1.0));
        painter.drawLine(window.topLeft(), window.topRight());
        painter.drawLine(window.topLeft(), window.bottomLeft());
        painter.setPen(QPen(QColor(120, 122, 128), 1.0));
        painter.drawLine(window.bottomLeft(), window.bottomRight());
        painter.drawLine(window.topRight(), window.bottomRight());
        break;
    }
    case panel::FootprintKind::Button:
    case panel::FootprintKind::Selector:
    {
        const QRectF seat = area.adjusted(-2, -2, 2, 2);
        painter.setPen(QPen(QColor(0, 0, 0, 150), 1.0));
        painter.setBrush(QColor(20, 21, 24, 160));
        painter.drawRoundedRect(seat, 2.0, 2.0);
        break;
    }
    case panel::FootprintKind::Lamp:
    {
        const QPointF centre = area.center();
        const double radius = std::max(area.width(), area.height()) / 2.0 + 2.5;
        QRadialGradient bezel(centre - QPointF(radius * 0.3, radius * 0.3), radius * 1.5);
        bezel.setColorAt(0.0, QColor(170, 172, 178));
        bezel.setColorAt(1.0, QColor(40, 42, 46));
        painter.setPen(Qt::NoPen);
        painter.setBrush(bezel);
        painter.drawEllipse(centre, radius, radius);
        break;
    }
    case panel::FootprintKind::Group:
    {
        // An engraved line: dark groove with a lit lower edge.
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(QColor(0, 0, 0, 160), 1.0));
        painter.drawRoundedRect(area, 4.0, 4.0);
        painter.setPen(QPen(QColor(255, 255, 255, 40), 1.0));
        painter.drawRoundedRect(area.translated(1.0, 1.0), 4.0, 4.0);
        break;
    }
    case panel::FootprintKind::Bare:
        break;
    }
    painter.restore();
}

QImage PanelPainter::paint(const panel::PanelLayout& layout)
{
    QImage image(layout.width, layout.height, QImage::Format_RGB32);
    QPainter painter(&image);
    const QRect whole(0, 0, layout.width, layout.height);
    // Each panel gets its own brushing: the seed mixes its size and title.
    unsigned seed = static_cast<unsigned>(layout.width * 131 + layout.height);
    for (const char* letter = layout.title; letter != nullptr && *letter != '\0'; ++letter)
        seed = seed * 31u + static_cast<unsigned char>(*letter);
    paintBrushedMetal(painter, whole, seed);

    // The panel's edge bevel: lit top, shadowed bottom.
    painter.setPen(QColor(120, 122, 128));
    painter.drawLine(0, 0, layout.width - 1, 0);
    painter.setPen(QColor(86, 88, 94));
    painter.drawLine(0, 1, layout.width - 1, 1);
    painter.setPen(QColor(14, 14, 16));
    painter.drawLine(0, layout.height - 1, layout.width - 1, layout.height - 1);
    painter.setPen(QColor(26, 27, 30));
    painter.drawLine(0, layout.height - 2, layout.width - 1, layout.height - 2);

    const int slotCount = std::max(1, (layout.height + panel::slotHeight / 2) / panel::slotHeight);
    paintRackEar(painter, QRect(0, 0, panel::rackEarWidth, layout.height), slotCount);
    paintRackEar(painter,
                 QRect(layout.width - panel::rackEarWidth, 0, panel::rackEarWidth, layout.height),
                 slotCount);

    for (const panel::PanelFootprint& footprint : layout.footprints)
        paintFootprint(painter, footprint);
    for (const panel::PanelControl& control : layout.controls)
        paintFootprint(painter, control.footprint);
    if (layout.title != nullptr && layout.title[0] != '\0')
        paintTitle(painter, QString::fromUtf8(layout.title));
    for (const panel::PanelLabel& label : layout.labels)
        paintLabel(painter, label);
    for (const panel::PanelControl& control : layout.controls)
        if (control.label.text != nullptr)
            paintLabel(painter, control.label);
    painter.end();
    return image;
}
