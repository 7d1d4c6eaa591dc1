// The embedded firmware image, the transfer settings and the transfer header.
#include "transfer/firmware_image_internal.h"

#include "device/device_link.h"
#include "resources/resource.h"

// The image as the last load found it, read by the send that follows the load.
static const BYTE *imagePointer = NULL;
static DWORD imageLength = 0;

// Its image length field is rewritten by every load. One byte, never sent, for a model without
// a header: C++ has no arrays of none.
static BYTE transferHeader[TRANSFER_HEADER_SIZE != 0 ? TRANSFER_HEADER_SIZE : 1] = {
    UPDATE_TOOL_HEADER_BYTES};

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
    BYTE *field = transferHeader + UPDATE_TOOL_HEADER_LENGTH_AT;
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

    imagePointer = NULL;
    imageLength = 0;
    if (resource == NULL)
        goto done;
    imageLength = SizeofResource(GetModuleHandleA(NULL), resource);
    loaded = LoadResource(instance, resource);
    if (loaded != NULL)
        imagePointer = (const BYTE *)LockResource(loaded);
    if (imageLength == 0 || imagePointer == NULL)
        goto done;
    StampImageSize(imageLength);
    result = 1;
done:
    return result;
}

const BYTE *FirmwareImage() { return imagePointer; }

DWORD FirmwareImageLength() { return imageLength; }

const BYTE *TransferHeader() { return transferHeader; }
