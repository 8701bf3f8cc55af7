#include "app/RackUnitFactory.h"

#include "app/PlaceholderRack.h"
#include "engine/AmpRack.h"
#include "equaliser/GraphicEqRack.h"
#include "mixer/MixerRack.h"
#include "players/MP3Rack.h"

namespace rack
{

std::unique_ptr<CRackUnit> createRackUnit(RackUnitIndex index, QWidget* parent)
{
    switch (index)
    {
    case Amplifier:
        return std::make_unique<CAmpRack>(parent);
    case Mixer:
        return std::make_unique<CMixerRack>(parent);
    case MP3Player:
        return std::make_unique<CMP3Rack>(parent);
    case GraphicEQ:
        return std::make_unique<CGraphicEqRack>(parent);
    default:
        return std::make_unique<PlaceholderRack>(index, parent);
    }
}

} // namespace rack
