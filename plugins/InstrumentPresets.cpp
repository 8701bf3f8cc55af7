#include "plugins/InstrumentPresets.h"

#include <unistd.h>

#include <filesystem>

namespace
{
std::string section(int index)
{
    return "p" + std::to_string(index);
}

bool userMayWrite(const std::string& folder)
{
    return ::access(folder.c_str(), W_OK) == 0;
}

InstrumentPresets::WritableCheck g_writable = &userMayWrite;
} // namespace

void InstrumentPresets::setWritableCheck(WritableCheck check)
{
    g_writable = check != nullptr ? check : &userMayWrite;
}

std::string InstrumentPresets::mirrorPath(const std::string& pluginPath)
{
    const std::filesystem::path absolute = std::filesystem::absolute(pluginPath);
    return CIni::ConfigFolder() + "/presets" + absolute.string() + ".ini";
}

void InstrumentPresets::open(const std::string& pluginPath)
{
    namespace fs = std::filesystem;
    const std::string beside = pluginPath + ".ini";
    const fs::path folder = fs::absolute(fs::path(pluginPath)).parent_path();
    if (g_writable(folder.string()))
    {
        m_file.SetPathName(beside);
        return;
    }
    const std::string mirror = mirrorPath(pluginPath);
    std::error_code error;
    if (!fs::exists(mirror, error) && fs::exists(beside, error))
    {
        // The presets shipped beside the plug-in are the mirror's start.
        fs::create_directories(fs::path(mirror).parent_path(), error);
        fs::copy_file(beside, mirror, error);
    }
    m_file.SetPathName(mirror);
}

std::string InstrumentPresets::buttonText(int index) const
{
    return m_file.GetString(section(index), "name", "Preset " + std::to_string(index + 1));
}

InstrumentPreset InstrumentPresets::load(int index) const
{
    const std::string name = section(index);
    InstrumentPreset preset;
    preset.channel = m_file.GetInt(name, "ch", 1);
    preset.bankMsb = m_file.GetInt(name, "MSB", 0);
    preset.bankLsb = m_file.GetInt(name, "LSB", 0);
    preset.program = m_file.GetInt(name, "patch", 0);
    preset.name = m_file.GetString(name, "name", "preset " + std::to_string(index + 1));
    return preset;
}

bool InstrumentPresets::save(int index, const InstrumentPreset& preset)
{
    const std::string name = section(index);
    bool written = m_file.WriteInt(name, "MSB", preset.bankMsb);
    written = m_file.WriteInt(name, "LSB", preset.bankLsb) && written;
    written = m_file.WriteInt(name, "patch", preset.program) && written;
    return m_file.WriteInt(name, "ch", preset.channel) && written;
}

bool InstrumentPresets::rename(int index, const std::string& name)
{
    return m_file.WriteString(section(index), "name", name);
}

int InstrumentPresets::last() const
{
    const int last = m_file.GetInt("info", "last", 0);
    return last >= 0 && last < kPresetCount ? last : 0;
}

bool InstrumentPresets::setLast(int index)
{
    return m_file.WriteInt("info", "last", index);
}
