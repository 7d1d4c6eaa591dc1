// The life of the process: the one-instance rule and the loop of lookup, dialog and transfer.
#ifndef UPDATE_TOOL_UPDATE_LOOP_H
#define UPDATE_TOOL_UPDATE_LOOP_H

#include "device/device_link.h"

#include <windows.h>

// Runs the whole tool for the module instance; returns the process exit code, always 0.
// A second instance returns at once without touching any window or device.
int RunUpdateTool(HINSTANCE instance);

// Looks for the printer, shows the update dialog and acts on the user's choice until Exit
// or a completed transfer; closes the device handles before it returns.
void RunUpdateLoop(HINSTANCE instance);

// Shows the update dialog in state, following the printer with config (NULL: not at all); 1
// when the user chose the action button (Transfer or Retry), 0 for Exit or when the dialog
// could not be shown at all. UiState() then tells the state the user answered.
int ShowUpdateDialog(HINSTANCE instance, int state, const LinkConfig *config);

// Claims the one running instance; 0 when another process of the tool already holds it.
// The claim lasts for the life of the process.
int ClaimSingleInstance();

#endif
