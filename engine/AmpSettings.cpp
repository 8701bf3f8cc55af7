#include "engine/AmpSettings.h"

#include "app/RackUnitTable.h"

namespace
{
const char* const kSection = rack::kRackUnits[rack::Amplifier].section;
} // namespace

AmpSettings RestoreAmpSettings(const CIni& settings)
{
    AmpSettings state;
    state.deviceIndex = settings.GetInt(kSection, "asiodevice", state.deviceIndex, 10);
    state.rateIndex = settings.GetInt(kSection, "samplerate", state.rateIndex, 10);
    return state;
}

bool SaveAmpSettings(CIni& settings, const AmpSettings& state)
{
    const bool device = settings.WriteInt(kSection, "asiodevice", state.deviceIndex, 10);
    const bool rate = settings.WriteInt(kSection, "samplerate", state.rateIndex, 10);
    return device && rate;
}
