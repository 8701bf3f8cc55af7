#pragma once

// The program: one instance, one window, the rack.

#include <memory>

class CMainFrame;

// Runs Corvane; returns the process exit code. GUI thread (main).
int runCorvane(int argc, char** argv);

// The main window with its rack built and every unit's controls and
// settings in place, exactly as Corvane shows it (not yet shown). GUI thread.
std::unique_ptr<CMainFrame> createCorvaneWindow();
