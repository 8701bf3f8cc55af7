#pragma once

// The program: one instance, one window, the rack.

// Runs Corvane; returns the process exit code. GUI thread (main).
int runCorvane(int argc, char** argv);
