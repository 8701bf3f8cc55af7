// Test driver module: the drivers of TEST_DRIVER_SPECS (a header chosen at
// build time), each created as a TestDriver.

#include "TestDriver.h"

#include TEST_DRIVER_SPECS

namespace
{
TestDriver* g_current = nullptr;

class TrackedTestDriver : public TestDriver
{
public:
    using TestDriver::TestDriver;
    ~TrackedTestDriver() override
    {
        if (g_current == this)
            g_current = nullptr;
    }
};

unsigned driverCount()
{
    return testDriverCount();
}

bool driverName(unsigned index, char* name, size_t capacity)
{
    if (index >= testDriverCount())
        return false;
    std::strncpy(name, testDriverSpec(index).name, capacity - 1);
    name[capacity - 1] = '\0';
    return true;
}

audiodev::AudioDriver* createDriver(unsigned index)
{
    if (index >= testDriverCount())
        return nullptr;
    g_current = new TrackedTestDriver(testDriverSpec(index));
    return g_current;
}

const audiodev::DriverModuleEntry kEntry{audiodev::kDriverInterfaceVersion, &driverCount,
                                         &driverName, &createDriver};
} // namespace

CORVANE_DRIVER_ENTRY const audiodev::DriverModuleEntry* corvaneAudioDriverEntry()
{
    return &kEntry;
}
CORVANE_DRIVER_ENTRY TestDriver* corvaneTestDriverCurrent()
{
    return g_current;
}
