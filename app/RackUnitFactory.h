#pragma once

// Which class stands in each row of the rack-unit registry. The only place
// that names every unit class: a new unit adds one line to the .cpp.
//
// Threads: GUI thread.

#include "app/RackUnitTable.h"

#include <memory>

class CRackUnit;
class QWidget;

namespace rack
{

// The unit for registry row `index`, a child of `parent`; a placeholder for
// a unit not built yet.
std::unique_ptr<CRackUnit> createRackUnit(RackUnitIndex index, QWidget* parent);

} // namespace rack
