// Module entry of the Virtual Device: one driver, always listed.

#include "../common/ModuleEntry.h"
#include "VirtualDevice.h"

CORVANE_SINGLE_DRIVER_MODULE(audiodev::VirtualDevice, "Virtual Device")
