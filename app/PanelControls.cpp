#include "app/PanelControls.h"

#include "skinkit/CCheckBox.h"
#include "skinkit/CKnob.h"
#include "skinkit/CLED.h"
#include "skinkit/CLEDLight.h"
#include "skinkit/CLevel.h"
#include "skinkit/CMCombo.h"
#include "skinkit/CMSlider.h"
#include "skinkit/CMyButton.h"
#include "skinkit/CVUMeter.h"
#include "skinkit/PictureModule.h"

#include <QRect>

#include <algorithm>
#include <type_traits>

namespace panel_controls
{

namespace
{
// Each kind of control loads its picture its own way.
void loadPicture(CKnob& knob, const panel::PanelControl& row, const PictureModule& pictures)
{
    knob.LoadPicture(pictures, row.pictureId, row.frames);
}
void loadPicture(CMSlider& slider, const panel::PanelControl& row, const PictureModule& pictures)
{
    slider.LoadPicture(pictures, row.pictureId, row.frames);
}
void loadPicture(CLED& display, const panel::PanelControl& row, const PictureModule& pictures)
{
    display.LoadPicture(pictures, row.pictureId, row.frames);
}
void loadPicture(CVUMeter& meter, const panel::PanelControl& row, const PictureModule& pictures)
{
    // The needle rests on the middle frame of the strip.
    meter.LoadPicture(pictures, row.pictureId, row.frames, row.frames / 2);
}
template <typename Control>
void loadPicture(Control& control, const panel::PanelControl& row, const PictureModule& pictures)
{
    control.LoadPicture(pictures, row.pictureId);
}

template <typename Control>
concept Notifying = requires(Control control, QWidget* handle)
{
    control.setparentwnd(handle);
};
} // namespace

QRect rectOf(const panel::PanelControl& row)
{
    return QRect(row.footprint.x, row.footprint.y, row.footprint.width, row.footprint.height);
}

void createControls(QWidget& panel, std::span<const panel::PanelControl> rows,
                    std::span<const PanelControlRef> controls)
{
    const PictureModule pictures = PictureModule::corvane();
    const size_t count = std::min(rows.size(), controls.size());
    for (size_t index = 0; index < count; ++index)
    {
        const panel::PanelControl& row = rows[index];
        std::visit(
            [&](auto* control)
            {
                using Control = std::remove_pointer_t<decltype(control)>;
                QRect place = rectOf(row);
                // A selector adds its 2-pixel border to the width it is
                // given; it fills its printed recess exactly.
                if constexpr (std::is_same_v<Control, CMCombo>)
                    place.setWidth(place.width() - 2);
                control->create(&panel, place, row.commandId);
                if (row.pictureId != 0)
                    loadPicture(*control, row, pictures);
                if constexpr (Notifying<Control>)
                    control->setparentwnd(&panel);
            },
            controls[index]);
    }
}

} // namespace panel_controls
