#pragma once

// Helpers for a driver module's entry. A module offering exactly one driver,
// under a fixed name, needs only:
//
//   CORVANE_SINGLE_DRIVER_MODULE(audiodev::JackDriver, "JACK")

#include "audiodev/AudioDriver.h"

#include <cstring>

namespace audiodev
{

// Copies a listed name into the host's buffer, cut to its capacity.
inline bool copyListedName(const char* listedName, char* name, size_t capacity)
{
    if (capacity == 0)
        return false;
    std::strncpy(name, listedName, capacity - 1);
    name[capacity - 1] = '\0';
    return true;
}

} // namespace audiodev

#define CORVANE_SINGLE_DRIVER_MODULE(DriverClass, listedName)                                      \
    namespace                                                                                      \
    {                                                                                              \
    unsigned singleDriverCount()                                                                   \
    {                                                                                              \
        return 1;                                                                                  \
    }                                                                                              \
    bool singleDriverName(unsigned index, char* name, size_t capacity)                             \
    {                                                                                              \
        return index == 0 && audiodev::copyListedName(listedName, name, capacity);                 \
    }                                                                                              \
    audiodev::AudioDriver* createSingleDriver(unsigned index)                                      \
    {                                                                                              \
        return index == 0 ? new DriverClass() : nullptr;                                           \
    }                                                                                              \
    const audiodev::DriverModuleEntry kSingleDriverEntry{audiodev::kDriverInterfaceVersion,        \
                                                         &singleDriverCount, &singleDriverName,    \
                                                         &createSingleDriver};                     \
    }                                                                                              \
    CORVANE_DRIVER_ENTRY const audiodev::DriverModuleEntry* corvaneAudioDriverEntry()              \
    {                                                                                              \
        return &kSingleDriverEntry;                                                                \
    }
