// Module entry of the JACK driver: one driver, listed whether or not a
// server runs (loading it then fails with "No JACK server is running").

#include "../common/ModuleEntry.h"
#include "JackDriver.h"

CORVANE_SINGLE_DRIVER_MODULE(audiodev::JackDriver, "JACK")
