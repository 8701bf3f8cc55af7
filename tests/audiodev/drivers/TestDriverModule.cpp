// Test driver module: the TestDrivers of the loading rules or, built with
// TEST_MANY_DRIVERS, forty alike drivers (more than the host's table holds).

#include "TestDriver.h"
#include "audiodev/drivers/common/ModuleEntry.h"

using namespace audiodev;

namespace
{

#ifdef TEST_MANY_DRIVERS
constexpr unsigned kCount = 40;
const TestDriverSpec& spec(unsigned)
{
    static const TestDriverSpec many{"Many", 48000.0, 1, 1, 16, SampleFloat32LSB, false, false};
    return many;
}
#else
const TestDriverSpec kSpecs[] = {
    {"Test 48000 Hz", 48000.0, 2, 2, 64, SampleFloat32LSB, false, false},
    {"Test 0 Hz", 0.0, 2, 2, 64, SampleFloat32LSB, false, false},
    {"Test 192000 Hz", 192000.0, 2, 2, 64, SampleFloat32LSB, false, false},
    {"Test driver whose name is forty chars 40", 44100.0, 1, 1, 32, SampleFloat32LSB, false, false},
    {"Test Deferred", 48000.0, 2, 2, 64, SampleFloat32LSB, true, false},
    {"Test Wide", 48000.0, 40, 40, 16, SampleFloat32LSB, false, false},
    {"Test Failing Init", 48000.0, 2, 2, 64, SampleFloat32LSB, false, true},
    {"Test Int16", 48000.0, 1, 1, 8, SampleInt16LSB, false, false},
    {"Test Int24", 48000.0, 1, 1, 8, SampleInt24LSB, false, false},
    {"Test Int32", 48000.0, 1, 1, 8, SampleInt32LSB, false, false},
    {"Test Float64", 48000.0, 1, 1, 8, SampleFloat64LSB, false, false},
};
constexpr unsigned kCount = sizeof(kSpecs) / sizeof(kSpecs[0]);
const TestDriverSpec& spec(unsigned index)
{
    return kSpecs[index];
}
#endif
TestDriver* g_current = nullptr;

unsigned driverCount()
{
    return kCount;
}
bool driverName(unsigned index, char* name, size_t capacity)
{
    return index < kCount && copyListedName(spec(index).name, name, capacity);
}
AudioDriver* createDriver(unsigned index)
{
    return index < kCount ? (g_current = new TestDriver(spec(index))) : nullptr;
}

const DriverModuleEntry kEntry{kDriverInterfaceVersion, &driverCount, &driverName, &createDriver};

} // namespace

CORVANE_DRIVER_ENTRY const DriverModuleEntry* corvaneAudioDriverEntry()
{
    return &kEntry;
}
CORVANE_DRIVER_ENTRY TestDriver* corvaneTestDriverCurrent()
{
    return g_current;
}
