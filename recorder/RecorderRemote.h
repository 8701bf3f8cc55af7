#pragma once

// The recorder's functions for MIDI remote control, named as the setup
// dialog shows them and as stored ("Recoder" included): "Recoder Rack Rec",
// "Recoder Rack Stop" and "Recoder Rack Pause", each the same as pressing the
// button (the controller's value is ignored).
//
// Threads: apply runs on the MIDI input thread (or any other); the
// recorder's Record, Stop and Pause hand themselves to the GUI thread.

#include "app/RackRemote.h"

class CRecorderRack;

RackRemoteTable<CRecorderRack> recorderRemoteOperations();
