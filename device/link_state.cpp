// The link's state: the pair of device handles, their printer's revision, how they were opened,
// the stream written to them and the event their overlapped calls signal. Calls nothing else of
// the deviceLink.
#include "device/link_state_internal.h"

// The link for the life of the process: a lookup opens the handles, the transfer writes
// through them, and the next lookup or the end of the run closes them.
struct DeviceLink {
    int linkKind;
    HANDLE primaryHandle;
    HANDLE secondaryHandle;
    // The revision the handles' printer listed when they were opened: it describes that printer
    // and no other, so it is kept and closed with them.
    int printerRevision;
    // How the lookup opened the handles, which every call on them must follow.
    int handlesOverlapped;
    ULONGLONG streamPosition;
    HANDLE callEvent;
};

static DeviceLink deviceLink = {
    LINK_PRINTER_CLASS, INVALID_HANDLE_VALUE, INVALID_HANDLE_VALUE, -1, 0, 0, NULL};

int CurrentLinkKind() { return deviceLink.linkKind; }
void SetLinkKind(int kind) { deviceLink.linkKind = kind; }
HANDLE PrimaryHandle() { return deviceLink.primaryHandle; }
void SetPrimaryHandle(HANDLE handle) { deviceLink.primaryHandle = handle; }
void SetSecondaryHandle(HANDLE handle) { deviceLink.secondaryHandle = handle; }
int PrinterRevision() { return deviceLink.printerRevision; }
void SetPrinterRevision(int revision) { deviceLink.printerRevision = revision; }
int HandlesOverlapped() { return deviceLink.handlesOverlapped; }
ULONGLONG StreamPosition() { return deviceLink.streamPosition; }
void AdvanceStreamPosition(DWORD count) { deviceLink.streamPosition += count; }

HANDLE LinkCallEvent()
{
    if (deviceLink.callEvent == NULL)
        deviceLink.callEvent = CreateEventA(NULL, TRUE, FALSE, NULL);
    return deviceLink.callEvent;
}

HANDLE OpenLinkHandle(const char *name, DWORD attributes, int osFamily)
{
    // Windows 98 and Me complete overlapped calls only on the devices whose drivers chose to:
    // there the calls stay plain blocking ones.
    deviceLink.handlesOverlapped =
        osFamily == OS_WINDOWS_2000 || osFamily == OS_WINDOWS_XP_OR_LATER;
    if (deviceLink.handlesOverlapped)
        attributes |= FILE_FLAG_OVERLAPPED;
    return CreateFileA(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                       OPEN_EXISTING, attributes, NULL);
}

int CloseDeviceHandles()
{
    if (deviceLink.primaryHandle != INVALID_HANDLE_VALUE)
        CloseHandle(deviceLink.primaryHandle);
    if (deviceLink.secondaryHandle != INVALID_HANDLE_VALUE)
        CloseHandle(deviceLink.secondaryHandle);
    if (deviceLink.callEvent != NULL)
        CloseHandle(deviceLink.callEvent);
    deviceLink.primaryHandle = INVALID_HANDLE_VALUE;
    deviceLink.secondaryHandle = INVALID_HANDLE_VALUE;
    deviceLink.callEvent = NULL;
    deviceLink.printerRevision = -1;
    // A Retry sends the header again from the first byte of the stream.
    deviceLink.streamPosition = 0;
    return 1;
}
