// Moves the firmware image to the printer: the header, then the image in chunks with progress.
#ifndef UPDATE_TOOL_CHUNKED_TRANSFER_H
#define UPDATE_TOOL_CHUNKED_TRANSFER_H

#include <windows.h>

// The update loop's transfer action: loads the embedded image and sends it.
// Non-zero on success, 0 when the load or the transfer failed.
int RunTransferAction(HINSTANCE instance);

#endif
