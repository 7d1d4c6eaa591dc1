// The transfer's steps below the update loop's action, for the action and its tests.
#ifndef UPDATE_TOOL_CHUNKED_TRANSFER_INTERNAL_H
#define UPDATE_TOOL_CHUNKED_TRANSFER_INTERNAL_H

#include "transfer/chunked_transfer.h"

#include <windows.h>

// Makes instance the module of every string load, gives the progress dialog no owner and
// sends header and image. 1 on success, 0 at the first failed send.
int TransferFirmware(HINSTANCE instance, const BYTE *image, DWORD imageLength, int sendMode,
                     const BYTE *header, DWORD headerLength, DWORD chunkSize,
                     int view = TRANSFER_SHOWN);

// 1 when the header (if any) and every byte of the image were sent, 0 at the first failure.
// An empty image or a chunk size of 0 fails before anything is sent. The image is sent in
// place; the progress dialog (TRANSFER_SHOWN) is open from after the header until the end, and
// from the moment the printer is found busy when it holds the header itself. Progress in
// tenths and the printer's pauses go to the run's log.
int SendFirmwareChunks(const BYTE *image, DWORD imageLength, int sendMode, const BYTE *header,
                       DWORD headerLength, DWORD chunkSize, int view = TRANSFER_SHOWN);

#endif
