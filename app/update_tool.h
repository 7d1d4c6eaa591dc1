// The top of the run: the tool's whole life, from the command line to the exit code.
#ifndef UPDATE_TOOL_UPDATE_TOOL_H
#define UPDATE_TOOL_UPDATE_TOOL_H

#include <windows.h>

// Runs the whole tool for the module instance; returns the process exit code: without a
// command line always 0, and a second instance returns at once without touching any window or
// device; with one, the code of the run it asked for.
int RunUpdateTool(HINSTANCE instance);

#endif
