// The update loop's pieces, for the loop, the one-instance rule and their tests.
#ifndef UPDATE_TOOL_UPDATE_LOOP_INTERNAL_H
#define UPDATE_TOOL_UPDATE_LOOP_INTERNAL_H

#include "app/update_dialog.h"

#include <windows.h>

// Looks for the printer, shows the update dialog and acts on the user's choice until Exit
// or a completed transfer; closes the device handles before it returns. The state the run ended
// in: UI_DONE, or the one the user left by Exit.
int RunUpdateLoop(HINSTANCE instance);

// Shows the update dialog for showing; 1 when the user chose the action button (Transfer or
// Retry), 0 for Exit or when the dialog could not be shown at all. showing->state then tells the
// state the user answered.
int ShowUpdateDialog(HINSTANCE instance, UpdateShowing *showing);

// Claims the one running instance; 0 when another process of the tool already holds it.
// The claim lasts for the life of the process.
int ClaimSingleInstance();

#endif
