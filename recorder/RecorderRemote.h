#pragma once

// The recorder's functions for MIDI remote control, named as the setup
// dialog shows them and as stored ("Recoder" included): "Recoder Rack Rec",
// "Recoder Rack Stop" and "Recoder Rack Pause", each the same as pressing the
// button (the controller's value is ignored).
//
// Threads: apply runs on the GUI thread, where the remote's dispatcher
// applies every function.

#include "app/RackRemote.h"

class CRecorderRack;

RackRemoteTable<CRecorderRack> recorderRemoteOperations();
