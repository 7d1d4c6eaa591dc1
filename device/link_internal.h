// Inside the device link, and for its tests: the lookup's pieces, the handles and how they
// were opened, and one device call at a time.
#ifndef UPDATE_TOOL_LINK_INTERNAL_H
#define UPDATE_TOOL_LINK_INTERNAL_H

#include "device/device_link.h"

// The classes of Windows the lookup tells apart by their device-setup behaviour.
enum OsFamily {
    OS_UNCLASSIFIED = -1, // not yet classified, or a 4.x release other than 98 and Me
    OS_WINDOWS_98 = 0,
    OS_WINDOWS_ME = 1,
    OS_WINDOWS_2000 = 2,
    OS_WINDOWS_XP_OR_LATER = 3,
};

// Classifies the running Windows version as an OsFamily; leaves *osFamily alone when the
// version cannot be read.
void GetOsFamily(int *osFamily);

// The OsFamily the lookups classified.
int LinkOsFamily();

// Printer-class discovery: 1 when a device carrying hardwareId was found and both handles
// were opened on its interface, 0 otherwise with both handles closed.
int FindPrinterByInterface(const GUID *interfaceClass, const char *hardwareId, int osFamily);

// Upper-cases 'a' to 'z' in both texts in place; every other byte is left as it is.
void UppercaseInPlace(char *first, char *second);

// Scanner-port discovery over ports 0 to 14: 1 when a port matched and the chosen pipes
// give a writable primaryHandle, 0 otherwise.
int FindScannerPort(int vendorId, int productId, int scanPipeMode);

// The value of a hexadecimal text; 0 for an empty text, -1 when a character is not a digit.
int ParseHexField(const char *text);

// The kind of the most recent lookup.
int CurrentLinkKind();

// Back to a process that has not looked yet: the handles closed, the default record's kind and
// pipe mode, and the Windows version unclassified.
void ResetLink();

// The handles a successful lookup leaves open; INVALID_HANDLE_VALUE when closed.
HANDLE PrimaryHandle();
HANDLE SecondaryHandle();
void SetPrimaryHandle(HANDLE handle);
void SetSecondaryHandle(HANDLE handle);

// Opens a device for a lookup on osFamily, read and write, shared, with attributes, and marks
// the link's calls overlapped or blocking to match. The caller stores what it gets.
HANDLE OpenLinkHandle(const char *name, DWORD attributes, int osFamily);

// 1 when the handles were opened for overlapped calls, 0 when calls on them block.
int HandlesOverlapped();

// The event the overlapped calls on the handles signal, made at the first call and closed
// with the handles; NULL when it cannot be made.
HANDLE LinkCallEvent();

// Bytes written to primaryHandle since it was opened.
ULONGLONG StreamPosition();
void AdvanceStreamPosition(DWORD count);

// A device call that has moved nothing for this long is cancelled and fails: Windows gives a
// printer port as long before it gives up on a job.
static const DWORD deviceStallLimitMs = 90000;

// One call on a device handle: a write of input (code 0) or a control request.
struct DeviceRequest {
    HANDLE handle;
    DWORD code;
    const void *input;
    DWORD inputSize;
    void *output;
    DWORD outputSize;
    ULONGLONG position; // where a write lands in the stream
};

// Issues the call the way the handles were opened: under way with its own event, or, on
// blocking handles, kept for the wait to make. 0 when it failed at once. One call at a time;
// its buffers stay in place until AwaitDeviceCall has answered anything but DEVICE_MESSAGE.
int IssueDeviceCall(const DeviceRequest *request);

// Waits for the issued call to end, for the stall limit to run out (the call is then cancelled
// and its end awaited), or, with wakeOnMessages, for a message for the thread; a DeviceWait.
// DEVICE_DONE with *count the bytes the call reports.
int AwaitDeviceCall(int wakeOnMessages, DWORD *count);

#endif
