// Modules the host must skip: one that loads but lacks the driver entry
// point, and (WRONG_VERSION) one built for another interface version, whose
// table the host must not call into.

#include "audiodev/AudioDriver.h"

#ifdef WRONG_VERSION
namespace
{
const audiodev::DriverModuleEntry kEntry{audiodev::kDriverInterfaceVersion + 1, nullptr, nullptr,
                                         nullptr};
} // namespace
CORVANE_DRIVER_ENTRY const audiodev::DriverModuleEntry* corvaneAudioDriverEntry()
{
    return &kEntry;
}
#else
CORVANE_DRIVER_ENTRY int corvaneSomethingElse()
{
    return 42;
}
#endif
