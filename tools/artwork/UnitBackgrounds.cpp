#include "UnitBackgrounds.h"

#include "skinkit/panel/PanelPainter.h"

#include <QLinearGradient>
#include <QPainter>

// The rack's registry gives every unit; units' layout tables are included
// here as they arrive.
#include "app/RackUnitTable.h"
#include "engine/AmpLayout.h"
#include "equaliser/GraphicEqLayout.h"
#include "mixer/MixerLayout.h"
#include "players/CDLayout.h"
#include "players/LoopLayout.h"
#include "players/MP3Layout.h"
#include "players/SoundFxLayout.h"
#include "plugins/EffectLayout.h"
#include "plugins/InstrumentLayout.h"
#include "recorder/RecorderLayout.h"

const std::vector<UnitBackground>& UnitBackgrounds::units()
{
    static const std::vector<UnitBackground> table = []
    {
        std::vector<UnitBackground> units;
        for (const rack::RackUnitInfo& info : rack::kRackUnits)
            units.push_back({info.backgroundId, info.name, info.height});
        return units;
    }();
    return table;
}

const panel::PanelLayout* UnitBackgrounds::layoutFor(int pictureId)
{
    using rack::kRackUnits;
    if (pictureId == kRackUnits[rack::Amplifier].backgroundId)
        return &amp_layout::panelLayout;
    if (pictureId == kRackUnits[rack::Mixer].backgroundId)
        return &mixer_layout::panelLayout;
    if (pictureId == kRackUnits[rack::MP3Player].backgroundId)
        return &mp3_layout::panelLayout;
    if (pictureId == kRackUnits[rack::CDPlayer].backgroundId)
        return &cd_layout::panelLayout;
    if (pictureId == kRackUnits[rack::DualEffect].backgroundId)
        return &effect_layout::panelLayout;
    if (pictureId == kRackUnits[rack::Instrument].backgroundId)
        return &instrument_layout::panelLayout;
    if (pictureId == kRackUnits[rack::GraphicEQ].backgroundId)
        return &graphic_eq_layout::panelLayout;
    if (pictureId == kRackUnits[rack::SoundFX].backgroundId)
        return &soundfx_layout::panelLayout;
    if (pictureId == kRackUnits[rack::Recorder].backgroundId)
        return &recorder_layout::panelLayout;
    if (pictureId == kRackUnits[rack::LoopPlayer].backgroundId)
        return &loop_layout::panelLayout;
    return nullptr;
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
