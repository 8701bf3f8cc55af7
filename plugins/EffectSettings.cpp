#include "plugins/EffectSettings.h"

#include "app/RackUnitTable.h"

#include <QDir>

namespace
{
const char* const kSection = rack::kRackUnits[rack::DualEffect].section;
const char* const kFileNameKeys[] = {"filename1", "filename2"};
const char* const kPathKey = "path";
} // namespace

void RestoreEffectSettings(const CIni& settings, EffectSettings& state)
{
    for (size_t slot = 0; slot < state.fileNames.size(); ++slot)
        state.fileNames[slot] = settings.GetString(kSection, kFileNameKeys[slot], "");
    // The folder "C:\" stood for: the user's home.
    state.path = settings.GetString(kSection, kPathKey, QDir::homePath().toStdString());
}

bool SaveEffectFileName(CIni& settings, int slot, const std::string& fileName)
{
    return settings.WriteString(kSection, kFileNameKeys[slot], fileName);
}

bool SaveEffectPath(CIni& settings, const std::string& path)
{
    return settings.WriteString(kSection, kPathKey, path);
}

bool SaveEffectSettings(CIni& settings, const EffectSettings& state)
{
    const bool first = SaveEffectFileName(settings, 0, state.fileNames[0]);
    const bool second = SaveEffectFileName(settings, 1, state.fileNames[1]);
    return SaveEffectPath(settings, state.path) && first && second;
}
