#pragma once

// Builds a panel's skinned controls from its layout table: each control is
// created at its row's footprint with the row's child id, loads the row's
// picture from the program's pictures, and notifies the panel. A panel lists
// its control members in row order (PanelControlRef), so building them is one
// loop and no position or picture constant sits in the panel's code.
//
// Threads: GUI thread.

#include "skinkit/panel/PanelLayout.h"

#include <span>
#include <variant>

class CCheckBox;
class CKnob;
class CLED;
class CLEDLight;
class CLevel;
class CMCombo;
class CMSlider;
class CMyButton;
class CVUMeter;
class QRect;
class QWidget;

using PanelControlRef = std::variant<CKnob*, CMSlider*, CMyButton*, CLED*, CLEDLight*, CLevel*,
                                     CVUMeter*, CMCombo*, CCheckBox*>;

namespace panel_controls
{

// The footprint as a widget rectangle.
QRect rectOf(const panel::PanelControl& row);

// Creates every control of `rows` on `panel`; controls[i] belongs to rows[i].
void createControls(QWidget& panel, std::span<const panel::PanelControl> rows,
                    std::span<const PanelControlRef> controls);

} // namespace panel_controls
