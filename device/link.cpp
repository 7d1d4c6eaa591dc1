// The link configuration, the pair of device handles, the Windows version class, and the
// lookup that picks a discovery path.
#include "device/link_internal.h"

// The build's printer model: UPDATE_TOOL_HARDWARE_ID, checked when the build is configured.
#include "hardware_id.h"

#include <initguid.h>
#include <usbprint.h>

static const char configuredHardwareId[128] = UPDATE_TOOL_HARDWARE_ID;

static int linkKind = LINK_PRINTER_CLASS;
static int scanPipeMode = 0;
static int osFamily = OS_UNCLASSIFIED;
static HANDLE primaryHandle = INVALID_HANDLE_VALUE;
static HANDLE secondaryHandle = INVALID_HANDLE_VALUE;
// How the lookup opened the handles, which every call on them must follow, and how far the
// stream written to primaryHandle has got.
static int handlesOverlapped = 0;
static ULONGLONG streamPosition = 0;
// The event every overlapped call on the handles signals: one call is under way at a time, and
// each call resets it as it starts, so one event serves them all and no call pays for its own.
static HANDLE callEvent = NULL;
static int vendorId = 0;
static int productId = 0;

LinkConfig DefaultLinkConfig()
{
    LinkConfig config;
    config.kind = linkKind;
    CopyMemory(config.hardwareId, configuredHardwareId, sizeof config.hardwareId);
    config.scanPipeMode = scanPipeMode;
    return config;
}

HANDLE PrimaryHandle() { return primaryHandle; }
HANDLE SecondaryHandle() { return secondaryHandle; }
void SetPrimaryHandle(HANDLE handle) { primaryHandle = handle; }
void SetSecondaryHandle(HANDLE handle) { secondaryHandle = handle; }
int CurrentLinkKind() { return linkKind; }
int LinkOsFamily() { return osFamily; }
int HandlesOverlapped() { return handlesOverlapped; }
ULONGLONG StreamPosition() { return streamPosition; }

HANDLE LinkCallEvent()
{
    if (callEvent == NULL)
        callEvent = CreateEventA(NULL, TRUE, FALSE, NULL);
    return callEvent;
}
void AdvanceStreamPosition(DWORD count) { streamPosition += count; }

HANDLE OpenLinkHandle(const char *name, DWORD attributes, int family)
{
    // Windows 98 and Me complete overlapped calls only on the devices whose drivers chose to:
    // there the calls stay plain blocking ones.
    handlesOverlapped = family == OS_WINDOWS_2000 || family == OS_WINDOWS_XP_OR_LATER;
    if (handlesOverlapped)
        attributes |= FILE_FLAG_OVERLAPPED;
    return CreateFileA(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                       OPEN_EXISTING, attributes, NULL);
}

int CloseDeviceHandles()
{
    if (primaryHandle != INVALID_HANDLE_VALUE)
        CloseHandle(primaryHandle);
    if (secondaryHandle != INVALID_HANDLE_VALUE)
        CloseHandle(secondaryHandle);
    if (callEvent != NULL)
        CloseHandle(callEvent);
    primaryHandle = INVALID_HANDLE_VALUE;
    secondaryHandle = INVALID_HANDLE_VALUE;
    callEvent = NULL;
    // A Retry sends the header again from the first byte of the stream.
    streamPosition = 0;
    return 1;
}

void ResetLink()
{
    CloseDeviceHandles();
    linkKind = LINK_PRINTER_CLASS;
    scanPipeMode = 0;
    osFamily = OS_UNCLASSIFIED;
}

void GetOsFamily(int *family)
{
    OSVERSIONINFOA info;
    ZeroMemory(&info, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;
    if (!GetVersionExA(&info))
        return;

    if (info.dwMajorVersion == 4) {
        if (info.dwMinorVersion == 10)
            *family = OS_WINDOWS_98;
        else if (info.dwMinorVersion == 90)
            *family = OS_WINDOWS_ME;
        else
            *family = OS_UNCLASSIFIED;
    } else if (info.dwMajorVersion == 5) {
        *family = info.dwMinorVersion == 0 ? OS_WINDOWS_2000 : OS_WINDOWS_XP_OR_LATER;
    } else {
        *family = OS_WINDOWS_XP_OR_LATER;
    }
}

// The four characters at offset of the hardware ID, parsed as hexadecimal.
static int ParseIdField(const char *hardwareId, int offset)
{
    char field[5];
    CopyMemory(field, hardwareId + offset, 4);
    field[4] = '\0';
    return ParseHexField(field);
}

int FindPrinter(LinkConfig config)
{
    if (osFamily == OS_UNCLASSIFIED)
        GetOsFamily(&osFamily);
    CloseDeviceHandles();
    linkKind = config.kind;

    if (config.kind == LINK_PRINTER_CLASS)
        return FindPrinterByInterface(&GUID_DEVINTERFACE_USBPRINT, config.hardwareId, osFamily);

    vendorId = ParseIdField(config.hardwareId, 8);
    productId = ParseIdField(config.hardwareId, 17);
    return FindScannerPort(vendorId, productId, config.scanPipeMode);
}
