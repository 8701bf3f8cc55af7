#include "plugins/InstrumentSettings.h"

#include "app/RackUnitTable.h"

#include <QDir>

namespace
{
const char* const kSection = rack::kRackUnits[rack::Instrument].section;
} // namespace

void RestoreInstrumentSettings(const CIni& settings, InstrumentSettings& state)
{
    state.fileName = settings.GetString(kSection, "filename", "");
    // The folder "C:\" stood for: the user's home.
    state.path = settings.GetString(kSection, "path", QDir::homePath().toStdString());
    state.port = {settings.GetInt(kSection, "midiin", 0) - 1,
                  settings.GetString(kSection, "midiinname", "")};
}

bool SaveInstrumentPort(CIni& settings, const remote::PortSetting& port)
{
    const bool index = settings.WriteInt(kSection, "midiin", port.index + 1);
    return settings.WriteString(kSection, "midiinname", port.name) && index;
}

bool SaveInstrumentSettings(CIni& settings, const InstrumentSettings& state)
{
    const bool fileName = settings.WriteString(kSection, "filename", state.fileName);
    const bool path = settings.WriteString(kSection, "path", state.path);
    return SaveInstrumentPort(settings, state.port) && fileName && path;
}
