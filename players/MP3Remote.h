#pragma once

// The MP3 player's functions for MIDI remote control, named as the setup
// dialog shows them: "MP3 Rack 1 Play", "MP3 Rack 1 Stop" and "MP3 Rack 1
// Pause", each the same as pressing the button (the controller's value is
// ignored).
//
// Threads: apply runs on the GUI thread, where the remote's dispatcher
// applies every function.

#include "app/RackRemote.h"

class CMP3Rack;

RackRemoteTable<CMP3Rack> mp3RemoteOperations();
