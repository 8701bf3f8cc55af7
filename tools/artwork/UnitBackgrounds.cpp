#include "UnitBackgrounds.h"

#include "skinkit/panel/PanelPainter.h"

#include <QLinearGradient>
#include <QPainter>

// Units' layout tables are included here as they arrive.
#include "engine/AmpLayout.h"
#include "mixer/MixerLayout.h"
#include "players/MP3Layout.h"

const std::vector<UnitBackground>& UnitBackgrounds::units()
{
    static const std::vector<UnitBackground> table = {
        {132, "Amplifier", 2}, {144, "Mixer", 4},      {136, "Dual Effecter", 1},
        {148, "VSTi", 2},      {180, "MP3 Player", 1}, {155, "CD Player", 1},
        {170, "Recorder", 1},  {193, "Graphic EQ", 2}, {198, "Loop Player", 2},
        {200, "SoundFX", 2},
    };
    return table;
}

const panel::PanelLayout* UnitBackgrounds::layoutFor(int pictureId)
{
    switch (pictureId)
    {
    case 132:
        return &amp_layout::panelLayout;
    case 144:
        return &mixer_layout::panelLayout;
    case 180:
        return &mp3_layout::panelLayout;
    default:
        return nullptr;
    }
}

QImage UnitBackgrounds::draw(const UnitBackground& unit)
{
    if (const panel::PanelLayout* layout = layoutFor(unit.pictureId))
        return PanelPainter::paint(*layout);
    // Placeholder: the unit's name, and the maker's mark at the bottom right.
    const int height = unit.slotCount * panel::slotHeight;
    const panel::PanelLabel labels[] = {
        {panel::rackWidth - panel::rackEarWidth - 10, height - 17, "CORVANE", 9,
         panel::LabelAlignment::Right},
    };
    const panel::PanelLayout placeholder{panel::rackWidth, height, unit.name, labels, {}};
    return PanelPainter::paint(placeholder);
}

QImage UnitBackgrounds::viewBackground()
{
    const int height = rackSlots * panel::slotHeight;
    QImage image(panel::rackWidth, height, QImage::Format_RGB32);
    QPainter painter(&image);
    // The cabinet's dark interior, lit faintly from above.
    QLinearGradient interior(0, 0, 0, height);
    interior.setColorAt(0.0, QColor(24, 25, 28));
    interior.setColorAt(1.0, QColor(10, 10, 12));
    painter.fillRect(image.rect(), interior);
    // Two rack rails with square cage holes, three per slot.
    for (int rail = 0; rail < 2; ++rail)
    {
        const int left = rail == 0 ? 0 : panel::rackWidth - panel::rackEarWidth;
        const QRect rect(left, 0, panel::rackEarWidth, height);
        QLinearGradient metal(rect.topLeft(), rect.topRight());
        metal.setColorAt(0.0, QColor(86, 88, 94));
        metal.setColorAt(1.0, QColor(46, 48, 52));
        painter.fillRect(rect, metal);
        for (int slot = 0; slot < rackSlots; ++slot)
            for (int hole = 0; hole < 3; ++hole)
            {
                const int centreY = slot * panel::slotHeight + 11 + hole * 23;
                painter.fillRect(QRect(rect.center().x() - 3, centreY - 3, 7, 7), QColor(4, 4, 5));
                painter.setPen(QColor(120, 122, 128));
                painter.drawLine(rect.center().x() - 3, centreY + 4, rect.center().x() + 3,
                                 centreY + 4);
            }
    }
    return image;
}
