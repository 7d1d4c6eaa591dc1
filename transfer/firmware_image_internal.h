// The embedded firmware image, the transfer settings and the transfer header, as the build's
// printer model has them: for the transfer, inside the transfer folder, and for its tests.
#ifndef UPDATE_TOOL_FIRMWARE_IMAGE_INTERNAL_H
#define UPDATE_TOOL_FIRMWARE_IMAGE_INTERNAL_H

#include "build_config.h"

#include <windows.h>

enum { TRANSFER_HEADER_SIZE = UPDATE_TOOL_HEADER_LENGTH };

struct TransferSettings {
    int sendMode;
    DWORD chunkSize;
    DWORD headerLength;
};

// The build's settings (by default SEND_WRITE, 4096-byte chunks, a 24-byte header).
TransferSettings ShippedTransferSettings();

// Locates the image resource of instance and stamps its length into the header.
// 1 when it was found and is non-empty; the image stays mapped, never copied or freed.
int LoadFirmwareImage(HINSTANCE instance);

// What the last successful LoadFirmwareImage recorded.
const BYTE *FirmwareImage();
DWORD FirmwareImageLength();

// The module's header buffer, TRANSFER_HEADER_SIZE bytes: 0 for a model without a header.
const BYTE *TransferHeader();

// Writes length into the header's four length bytes (by default 20 to 23), most significant
// byte first; nothing for a model without a header.
void StampImageSize(DWORD length);

#endif
