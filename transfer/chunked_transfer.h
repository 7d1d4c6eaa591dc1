// Moves the firmware image to the printer: the header, then the image in chunks with progress.
#ifndef UPDATE_TOOL_CHUNKED_TRANSFER_H
#define UPDATE_TOOL_CHUNKED_TRANSFER_H

#include <windows.h>

enum TransferView {
    TRANSFER_UNSEEN = 0, // no window at any moment: nobody may be there to see it
    TRANSFER_SHOWN = 1,  // the progress dialog, with its busy notice
};

// The update loop's transfer action: loads the embedded image and sends it, shown as view
// says. Non-zero on success, 0 when the load or the transfer failed.
int RunTransferAction(HINSTANCE instance, int view = TRANSFER_SHOWN);

#endif
