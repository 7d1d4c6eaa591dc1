// The life of the process: the one-instance rule and the loop of lookup, dialog and transfer.
#ifndef UPDATE_TOOL_UPDATE_LOOP_H
#define UPDATE_TOOL_UPDATE_LOOP_H

#include <windows.h>

// Runs the whole tool for the module instance (the command-line runs' file holds it: they sit
// above the loop); returns the process exit code: without a
// command line always 0, and a second instance returns at once without touching any window or
// device; with one, the code of the run it asked for.
int RunUpdateTool(HINSTANCE instance);

#endif
