#include "RackPreview.h"

#include "app/RackUnitTable.h"
#include "skinkit/PictureModule.h"
#include "skinkit/panel/PanelLayout.h"

#include <QPainter>

namespace
{
// The view's background, behind the default stack of the rack's registry.
constexpr int viewBackgroundId = 146;
} // namespace

RackPreview::RackPreview()
{
    setFixedSize(panel::rackWidth, rack::kDefaultSlotCount * panel::slotHeight);
}

void RackPreview::paintEvent(QPaintEvent*)
{
    const PictureModule program = PictureModule::corvane();
    QPainter painter(this);
    painter.drawPixmap(0, 0, program.load(viewBackgroundId));
    for (const rack::RackUnitInfo& unit : rack::kRackUnits)
        painter.drawPixmap(0, unit.defaultPos * panel::slotHeight, program.load(unit.backgroundId));
}
