#include "app/PlaceholderRack.h"

PlaceholderRack::PlaceholderRack(rack::RackUnitIndex index, QWidget* parent)
    : CRackUnit(rack::kRackUnits[index].backgroundId, parent)
{
    m_strName = QString::fromUtf8(rack::kRackUnits[index].name);
    m_nHeight = rack::kRackUnits[index].height;
}
