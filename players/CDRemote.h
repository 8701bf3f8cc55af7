#pragma once

// The CD player's functions for MIDI remote control, named as the setup
// dialog shows them: "CD Rack Track select" and "CD Rack Pitch Control" set
// the track selector and the pitch display from the controller's value; "CD
// Rack Play", "CD Rack Stop" and "CD Rack Pause" are the buttons (the value is
// ignored).
//
// Threads: apply runs on the GUI thread, where the remote's dispatcher
// applies every function.

#include "app/RackRemote.h"

class CCDRack;

RackRemoteTable<CCDRack> cdRemoteOperations();
