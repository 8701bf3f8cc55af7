// Module entry of the JACK driver: one driver, listed whether or not a
// server runs (loading it then fails with "No JACK server is running").

#include "JackDriver.h"

#include <cstring>

namespace
{
constexpr const char* kListedName = "JACK";

unsigned driverCount()
{
    return 1;
}

bool driverName(unsigned index, char* name, size_t capacity)
{
    if (index != 0 || capacity == 0)
        return false;
    std::strncpy(name, kListedName, capacity - 1);
    name[capacity - 1] = '\0';
    return true;
}

audiodev::AudioDriver* createDriver(unsigned index)
{
    return index == 0 ? new audiodev::JackDriver() : nullptr;
}

const audiodev::DriverModuleEntry kEntry{audiodev::kDriverInterfaceVersion, &driverCount,
                                         &driverName, &createDriver};
} // namespace

CORVANE_DRIVER_ENTRY const audiodev::DriverModuleEntry* corvaneAudioDriverEntry()
{
    return &kEntry;
}
