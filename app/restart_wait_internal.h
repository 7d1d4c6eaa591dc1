// After the last byte, with a build that knows its firmware's revision: the printer restarts
// with the new firmware, and the tool waits to see it back. For the loop, the command-line runs
// and their tests.
#ifndef UPDATE_TOOL_RESTART_WAIT_INTERNAL_H
#define UPDATE_TOOL_RESTART_WAIT_INTERNAL_H

#include "device/device_link.h"

#include <windows.h>

// Sends the image to the printer whose handles are open (RunTransferAction, shown as view says)
// and, with a build that knows its firmware's revision and a printer that reported one, lets go
// of the handles and looks for the printer about once a second, for as long as the build allows
// a restart, until it is back reporting FirmwareRevision(); meanwhile, with view TRANSFER_SHOWN,
// the progress dialog, full, says that the printer is restarting with the new firmware and must
// not be turned off, and answers throughout. UI_FAILED when the transfer failed; UI_DONE when
// every byte was accepted and, where it was looked for, the printer came back with the revision
// (PrinterRevision() then tells it); UI_UNCONFIRMED when it did not in time, or came back with
// another.
int TransferAndConfirm(HINSTANCE instance, const LinkConfig *config, int view);

#endif
