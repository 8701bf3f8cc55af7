#include "RackPreview.h"

#include "skinkit/PictureModule.h"
#include "skinkit/panel/PanelLayout.h"

#include <QPainter>

namespace
{
// The view's background and the default stack: background picture of each
// unit and its first slot.
constexpr int viewBackgroundId = 146;
constexpr int rackSlots = 18;
struct StackedUnit
{
    int pictureId;
    int slot;
};
constexpr StackedUnit defaultStack[] = {
    {132, 0},  {144, 2},  {136, 6},  {148, 7},  {180, 9},
    {155, 10}, {198, 11}, {200, 13}, {170, 15}, {193, 16},
};
} // namespace

RackPreview::RackPreview()
{
    setFixedSize(panel::rackWidth, rackSlots * panel::slotHeight);
}

void RackPreview::paintEvent(QPaintEvent*)
{
    const PictureModule program = PictureModule::corvane();
    QPainter painter(this);
    painter.drawPixmap(0, 0, program.load(viewBackgroundId));
    for (const StackedUnit& unit : defaultStack)
        painter.drawPixmap(0, unit.slot * panel::slotHeight, program.load(unit.pictureId));
}
