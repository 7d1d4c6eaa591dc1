// The embedded firmware image, the transfer settings and the transfer header.
#include "transfer/firmware_image.h"

#include "device/device_link.h"
#include "resources/resource.h"
#include "transfer/firmware_image_internal.h"

static const BYTE *imagePointer = NULL;
static DWORD imageLength = 0;

// Bytes 20 to 23 carry the image length and are rewritten by every load.
static BYTE transferHeader[TRANSFER_HEADER_SIZE] = {
    0xCD, 0xCA, 0x10, 0x00, 0x00, 0xFD, 0x00, 0x01, 0x00, 0x04, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
};

TransferSettings ShippedTransferSettings()
{
    TransferSettings settings;
    settings.sendMode = SEND_WRITE;
    settings.chunkSize = 4096;
    settings.headerLength = TRANSFER_HEADER_SIZE;
    return settings;
}

void StampImageSize(DWORD length)
{
    transferHeader[20] = (BYTE)(length >> 24);
    transferHeader[21] = (BYTE)(length >> 16);
    transferHeader[22] = (BYTE)(length >> 8);
    transferHeader[23] = (BYTE)length;
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
