#include "app/PlaceholderRack.h"

PlaceholderRack::PlaceholderRack(int backgroundId, const QString& name, int heightInSlots,
                                 QWidget* parent)
    : CRackUnit(backgroundId, parent)
{
    m_strName = name;
    m_nHeight = heightInSlots;
}
