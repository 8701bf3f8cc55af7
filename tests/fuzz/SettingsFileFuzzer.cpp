// The settings file as a user's editor or a crash may have left it: every
// read the units make must return a value, never crash or hang.

#include "FuzzInput.h"
#include "utilkit/Ini.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const fuzz::InputFile file(data, size);
    const CIni settings(file.path());
    for (const char* section : {"amp", "Mixer", "MP3", "soundfx", "SoundFX", "MIDIC", "EQ", ""})
    {
        for (const char* key : {"pos", "source3", "list1", "path0", "0", "port", "", "=", "k"})
        {
            (void)settings.GetInt(section, key, -1);
            (void)settings.GetInt(section, key, -1, 16);
            (void)settings.GetUInt(section, key, 7);
            (void)settings.GetBool(section, key, false);
            (void)settings.GetString(section, key, "default");
        }
    }
    return 0;
}
