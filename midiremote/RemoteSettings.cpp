#include "midiremote/RemoteSettings.h"

#include <cctype>

namespace remote
{

namespace
{
// "Keystation 49:Keystation 49 MIDI 1 24:0" → "Keystation 49:Keystation 49 MIDI 1".
std::string withoutAlsaAddress(const std::string& name)
{
    size_t end = name.size();
    auto digitsBefore = [&](size_t at)
    {
        size_t start = at;
        while (start > 0 && std::isdigit(static_cast<unsigned char>(name[start - 1])))
            --start;
        return start;
    };
    const size_t port = digitsBefore(end);
    if (port == end || port == 0 || name[port - 1] != ':')
        return name;
    const size_t client = digitsBefore(port - 1);
    if (client == port - 1 || client == 0 || name[client - 1] != ' ')
        return name;
    end = client - 1;
    return name.substr(0, end);
}
} // namespace

Bindings RestoreBindings(const CIni& settings)
{
    Bindings bindings{};
    for (int function = 0; function < kFunctionCount; ++function)
    {
        const int value = settings.GetInt(kSection, std::to_string(function), kUnbound);
        bindings[static_cast<size_t>(function)] = isValidBinding(value) ? value : kUnbound;
    }
    return bindings;
}

bool SaveBinding(CIni& settings, int function, int binding)
{
    return settings.WriteInt(kSection, std::to_string(function), binding);
}

PortSetting RestorePort(const CIni& settings)
{
    return {settings.GetInt(kSection, "port", 0) - 1, settings.GetString(kSection, "portname", "")};
}

bool SavePort(CIni& settings, const PortSetting& port)
{
    return settings.WriteInt(kSection, "port", port.index + 1) &&
           settings.WriteString(kSection, "portname", port.name);
}

int findPort(const std::vector<std::string>& deviceNames, const PortSetting& port)
{
    if (port.index < 0)
        return -1;
    if (port.name.empty())
        return port.index < static_cast<int>(deviceNames.size()) ? port.index : -1;
    const std::string wanted = withoutAlsaAddress(port.name);
    for (size_t index = 0; index < deviceNames.size(); ++index)
        if (withoutAlsaAddress(deviceNames[index]) == wanted)
            return static_cast<int>(index);
    return -1;
}

} // namespace remote
