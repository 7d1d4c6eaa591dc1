// The embedded firmware image, the transfer settings and the transfer header.
#include "transfer/firmware_image_internal.h"

#include "device/device_link.h"
#include "resources/resource.h"

// The image as the last load found it, read by the send that follows the load, and the header
// that announces it, whose length field every load rewrites. One header byte, never sent, for a
// model without a header: C++ has no arrays of none.
struct LoadedImage {
    const BYTE *data;
    DWORD length;
    BYTE header[TRANSFER_HEADER_SIZE != 0 ? TRANSFER_HEADER_SIZE : 1];
};

static LoadedImage image = {NULL, 0, {UPDATE_TOOL_HEADER_BYTES}};

TransferSettings ShippedTransferSettings()
{
    TransferSettings settings;
    settings.sendMode = UPDATE_TOOL_SEND_MODE;
    settings.chunkSize = UPDATE_TOOL_CHUNK_SIZE;
    settings.headerLength = TRANSFER_HEADER_SIZE;
    return settings;
}

void StampImageSize(DWORD length)
{
    // Without a header the model has no length field, and the offset is not written at all.
#if UPDATE_TOOL_HEADER_LENGTH != 0
    BYTE *field = image.header + UPDATE_TOOL_HEADER_LENGTH_AT;
    field[0] = (BYTE)(length >> 24);
    field[1] = (BYTE)(length >> 16);
    field[2] = (BYTE)(length >> 8);
    field[3] = (BYTE)length;
#else
    (void)length;
#endif
}

int LoadFirmwareImage(HINSTANCE instance)
{
    int result = 0;
    HGLOBAL loaded = NULL;
    // The platform keeps named resource types in upper case and matches them that way, so
    // the lower-case name finds the "FIRMWARE" type the resource script declares.
    HRSRC resource = FindResourceA(instance, MAKEINTRESOURCEA(IDR_FIRMWARE), "firmware");

    image.data = NULL;
    image.length = 0;
    if (resource == NULL)
        goto done;
    image.length = SizeofResource(GetModuleHandleA(NULL), resource);
    loaded = LoadResource(instance, resource);
    if (loaded != NULL)
        image.data = (const BYTE *)LockResource(loaded);
    if (image.length == 0 || image.data == NULL)
        goto done;
    StampImageSize(image.length);
    result = 1;
done:
    return result;
}

const BYTE *FirmwareImage() { return image.data; }

DWORD FirmwareImageLength() { return image.length; }

const BYTE *TransferHeader() { return image.header; }
