#pragma once

// MIDI remote control's settings, section "MIDIC": the binding of each
// function (keys "0" … "52"), the port as an index ("port", 0 = none, k =
// device k - 1) and by name ("portname"), so the port is found again when
// other devices come and go.
//
// Threads: GUI thread (file I/O).

#include "midiremote/RemoteFunctions.h"
#include "utilkit/Ini.h"

#include <array>
#include <string>
#include <vector>

namespace remote
{

inline constexpr const char* kSection = "MIDIC";

using Bindings = std::array<int, kFunctionCount>;

// Stored values that are not a binding read as unbound; the file is left alone.
Bindings RestoreBindings(const CIni& settings);
bool SaveBinding(CIni& settings, int function, int binding);

struct PortSetting
{
    int index = -1; // into the device list when stored; -1 none
    std::string name;
};

PortSetting RestorePort(const CIni& settings);
bool SavePort(CIni& settings, const PortSetting& port);

// The device a stored port means now: by name when one is stored (ignoring
// the ALSA "client:port" numbers at its end, which change when a device is
// plugged in again), else by index. -1 when it is not there.
int findPort(const std::vector<std::string>& deviceNames, const PortSetting& port);

} // namespace remote
