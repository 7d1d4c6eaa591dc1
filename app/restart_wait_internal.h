// After the last byte, with a build that knows its firmware's revision: the printer restarts
// with the new firmware, and the tool waits to see it back. For the loop, the command-line runs
// and their tests.
#ifndef UPDATE_TOOL_RESTART_WAIT_INTERNAL_H
#define UPDATE_TOOL_RESTART_WAIT_INTERNAL_H

#include "device/device_link.h"

#include <windows.h>

// Lets go of the printer's handles and looks for it about once a second, for as long as the
// build allows a restart, until it is back reporting FirmwareRevision(); meanwhile, with view
// TRANSFER_SHOWN, the progress dialog, full, says that the printer is restarting with the new
// firmware and must not be turned off, and answers throughout. UI_DONE when the printer came
// back with the revision; UI_UNCONFIRMED when it did not in time, or came back with another.
// The printer's handles are open after UI_DONE.
int AwaitNewFirmware(const LinkConfig *config, int view);

#endif
