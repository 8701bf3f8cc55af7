// Test driver module. Its drivers: the loading rules' TestDrivers; forty
// alike ones with TEST_MANY_DRIVERS (more than the host's table holds); those
// of the header TEST_DRIVER_SPECS names (the benchmark's). With TEST_NO_ENTRY
// it lacks the entry point, with TEST_VERSION_OFFSET=1 its entry is of another
// interface version: the host must skip both.

#include "TestDriver.h"
#include "audiodev/drivers/common/ModuleEntry.h"

using namespace audiodev;

#ifndef TEST_VERSION_OFFSET
#define TEST_VERSION_OFFSET 0
#endif

namespace
{

#if defined(TEST_DRIVER_SPECS)
#include TEST_DRIVER_SPECS
const unsigned kCount = testDriverCount();
const auto spec = [](unsigned index) -> const TestDriverSpec& { return testDriverSpec(index); };
#elif defined(TEST_MANY_DRIVERS)
constexpr unsigned kCount = 40;
const TestDriverSpec kMany{"Many", 48000.0, 1, 1, 16, SampleFloat32LSB, false, false};
const auto spec = [](unsigned) -> const TestDriverSpec& { return kMany; };
#else
const TestDriverSpec kSpecs[] = {
    {"Test 48000 Hz", 48000.0, 2, 2, 64, SampleInt24LSB, false, false},
    {"Test 0 Hz", 0.0, 2, 2, 64, SampleFloat32LSB, false, false},
    {"Test 192000 Hz", 192000.0, 2, 2, 64, SampleFloat32LSB, false, false},
    {"Test driver whose name is forty chars 40", 44100.0, 1, 1, 32, SampleFloat32LSB, false, false},
    {"Test Deferred", 48000.0, 2, 2, 64, SampleFloat32LSB, true, false},
    {"Test Wide", 48000.0, 40, 40, 16, SampleFloat32LSB, false, false},
    {"Test Failing Init", 48000.0, 2, 2, 64, SampleFloat32LSB, false, true},
};
constexpr unsigned kCount = sizeof(kSpecs) / sizeof(kSpecs[0]);
const auto spec = [](unsigned index) -> const TestDriverSpec& { return kSpecs[index]; };
#endif
TestDriver* g_current = nullptr;

const DriverModuleEntry kEntry{
    kDriverInterfaceVersion + TEST_VERSION_OFFSET, [] { return kCount; },
    [](unsigned index, char* name, size_t capacity)
    { return index < kCount && copyListedName(spec(index).name, name, capacity); },
    [](unsigned index) -> AudioDriver*
    { return index < kCount ? (g_current = new TestDriver(spec(index))) : nullptr; }};

} // namespace

#ifndef TEST_NO_ENTRY
CORVANE_DRIVER_ENTRY const DriverModuleEntry* corvaneAudioDriverEntry()
{
    return &kEntry;
}
#endif
CORVANE_DRIVER_ENTRY TestDriver* corvaneTestDriverCurrent()
{
    return g_current;
}
