#include "app/PlaceholderRack.h"

PlaceholderRack::PlaceholderRack(rack::RackUnitIndex index, QWidget* parent)
    : CRackUnit(index, parent)
{
}
