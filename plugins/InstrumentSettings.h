#pragma once

// Persistence of the instrument rack in section "VSTi" of the settings file:
// the plug-in library ("filename", written at exit), the last chosen path
// ("path", written at exit), and the MIDI input port as the selector's index
// ("midiin": 0 none, n device n - 1) with its name beside it ("midiinname"),
// so the port is found again when other devices come and go.
//
// Threads: GUI thread only (file I/O).

#include "midiremote/RemoteSettings.h"
#include "utilkit/Ini.h"

#include <string>

struct InstrumentSettings
{
    std::string fileName;
    // The last chosen library's full path (the home folder by default).
    std::string path;
    remote::PortSetting port;
};

// A missing key keeps the default.
void RestoreInstrumentSettings(const CIni& settings, InstrumentSettings& state);
// Every key; false when a write failed.
bool SaveInstrumentSettings(CIni& settings, const InstrumentSettings& state);
// The port alone (the moment it is chosen).
bool SaveInstrumentPort(CIni& settings, const remote::PortSetting& port);
