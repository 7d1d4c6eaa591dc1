// The link's state: the pair of device handles, how they were opened, the stream written to
// them and the event their overlapped calls signal. Calls nothing else of the link.
#include "device/link_state_internal.h"

static int linkKind = LINK_PRINTER_CLASS;
static HANDLE primaryHandle = INVALID_HANDLE_VALUE;
static HANDLE secondaryHandle = INVALID_HANDLE_VALUE;
// How the lookup opened the handles, which every call on them must follow.
static int handlesOverlapped = 0;
static ULONGLONG streamPosition = 0;
static HANDLE callEvent = NULL;

int CurrentLinkKind() { return linkKind; }
void SetLinkKind(int kind) { linkKind = kind; }
HANDLE PrimaryHandle() { return primaryHandle; }
HANDLE SecondaryHandle() { return secondaryHandle; }
void SetPrimaryHandle(HANDLE handle) { primaryHandle = handle; }
void SetSecondaryHandle(HANDLE handle) { secondaryHandle = handle; }
int HandlesOverlapped() { return handlesOverlapped; }
ULONGLONG StreamPosition() { return streamPosition; }
void AdvanceStreamPosition(DWORD count) { streamPosition += count; }

HANDLE LinkCallEvent()
{
    if (callEvent == NULL)
        callEvent = CreateEventA(NULL, TRUE, FALSE, NULL);
    return callEvent;
}

HANDLE OpenLinkHandle(const char *name, DWORD attributes, int osFamily)
{
    // Windows 98 and Me complete overlapped calls only on the devices whose drivers chose to:
    // there the calls stay plain blocking ones.
    handlesOverlapped = osFamily == OS_WINDOWS_2000 || osFamily == OS_WINDOWS_XP_OR_LATER;
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
