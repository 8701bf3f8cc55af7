#include "app/PlaceholderRack.h"

#include <cstring>

PlaceholderRack::PlaceholderRack(int backgroundId, const QString& name, int heightInSlots,
                                 QWidget* parent)
    : CRackUnit(backgroundId, parent)
{
    m_strName = name;
    m_nHeight = heightInSlots;
}

void PlaceholderRack::Process(float**, float** out, long, long numOut, long frames)
{
    for (long channel = 0; out != nullptr && channel < numOut; ++channel)
        std::memset(out[channel], 0, sizeof(float) * static_cast<size_t>(frames));
}
