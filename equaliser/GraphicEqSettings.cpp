#include "equaliser/GraphicEqSettings.h"

#include "app/RackUnitTable.h"

namespace graphic_eq_settings
{
std::string presetSection(int preset)
{
    return std::string(rack::kRackUnits[rack::GraphicEQ].section) + std::to_string(preset);
}
} // namespace graphic_eq_settings

GraphicEqEngine::Values RestoreGraphicEqSettings(const CIni& settings, int preset)
{
    const std::string section = graphic_eq_settings::presetSection(preset);
    GraphicEqEngine::Values values{};
    for (size_t band = 0; band < values.size(); ++band)
        values[band] = GraphicEqEngine::clampValue(
            settings.GetInt(section, std::to_string(band), GraphicEqEngine::kFlatValue, 10));
    return values;
}

bool SaveGraphicEqSettings(CIni& settings, int preset, const GraphicEqEngine::Values& values)
{
    const std::string section = graphic_eq_settings::presetSection(preset);
    bool written = true;
    for (size_t band = 0; band < values.size(); ++band)
        written = settings.WriteInt(section, std::to_string(band), values[band], 10) && written;
    return written;
}
