#include "app/RackUnitFactory.h"

#include "app/PlaceholderRack.h"
#include "engine/AmpRack.h"
#include "equaliser/GraphicEqRack.h"
#include "mixer/MixerRack.h"
#include "players/CDRack.h"
#include "players/LoopRack.h"
#include "players/MP3Rack.h"
#include "players/SoundFxRack.h"
#include "plugins/EffectRack.h"
#include "plugins/VSTiRack.h"
#include "recorder/RecorderRack.h"

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
    case DualEffect:
        return std::make_unique<CEffectRack>(parent);
    case Instrument:
        return std::make_unique<CVSTiRack>(parent);
    case MP3Player:
        return std::make_unique<CMP3Rack>(parent);
    case CDPlayer:
        return std::make_unique<CCDRack>(parent);
    case GraphicEQ:
        return std::make_unique<CGraphicEqRack>(parent);
    case SoundFX:
        return std::make_unique<CSoundFxRack>(parent);
    case Recorder:
        return std::make_unique<CRecorderRack>(parent);
    case LoopPlayer:
        return std::make_unique<CLoopRack>(parent);
    default:
        return std::make_unique<PlaceholderRack>(index, parent);
    }
}

} // namespace rack
