// The update loop: lookup, the update dialog in the state that follows, and the transfer; for
// the run's top, the command-line runs and their tests.
#ifndef UPDATE_TOOL_UPDATE_LOOP_INTERNAL_H
#define UPDATE_TOOL_UPDATE_LOOP_INTERNAL_H

#include "app/update_dialog.h"

#include <windows.h>

// Looks for the printer, shows the update dialog and acts on the user's choice until Exit
// or a completed transfer; closes the device handles before it returns. The outcome of the last
// transfer (UI_DONE, UI_FAILED or UI_UNCONFIRMED, whatever state the user then left), or without
// one the state the user left by Exit.
int RunUpdateLoop(HINSTANCE instance);

// Shows the update dialog for showing; 1 when the user chose the action button (Transfer or
// Retry), 0 for Exit or when the dialog could not be shown at all. showing->state then tells the
// state the user answered. A showing->changedAt the caller set counts as a change the dialog made
// itself.
int ShowUpdateDialog(HINSTANCE instance, UpdateShowing *showing);

#endif
