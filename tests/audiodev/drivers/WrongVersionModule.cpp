// A module built against another version of the driver interface: the host
// must skip it without calling anything but its entry point.

#include "audiodev/AudioDriver.h"

#include <cstdlib>

namespace
{
unsigned driverCount()
{
    std::abort();
}
bool driverName(unsigned, char*, size_t)
{
    std::abort();
}
audiodev::AudioDriver* createDriver(unsigned)
{
    std::abort();
}

const audiodev::DriverModuleEntry kEntry{audiodev::kDriverInterfaceVersion + 1, &driverCount,
                                         &driverName, &createDriver};
} // namespace

CORVANE_DRIVER_ENTRY const audiodev::DriverModuleEntry* corvaneAudioDriverEntry()
{
    return &kEntry;
}
