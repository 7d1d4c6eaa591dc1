// The device link: how the printer is looked for, the handles a lookup leaves open, and
// writing bytes to it.
#ifndef UPDATE_TOOL_DEVICE_LINK_H
#define UPDATE_TOOL_DEVICE_LINK_H

#include <windows.h>

enum LinkKind {
    LINK_PRINTER_CLASS = 0,
    LINK_SCANNER_PORT = 1, // any non-zero kind means the scanner-port path
};

struct LinkConfig {
    int kind;
    char hardwareId[128];
    int scanPipeMode;
};
static_assert(sizeof(LinkConfig) == 136, "LinkConfig is passed by value as 136 bytes");

// Builds the one discovery record of the run from the link's start values and the
// configured hardware ID.
LinkConfig DefaultLinkConfig();

// Closes any handles of a previous lookup, then looks for the printer by config.kind.
// Non-zero when the printer was found and can be written; the handles then stay open until
// the next lookup or CloseDeviceHandles.
int FindPrinter(LinkConfig config);

// Closes whichever device handles are open and marks both closed; returns 1.
int CloseDeviceHandles();

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

// The handles a successful lookup leaves open; INVALID_HANDLE_VALUE when closed.
HANDLE PrimaryHandle();
HANDLE SecondaryHandle();

// The kind of the most recent lookup.
int CurrentLinkKind();

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

enum SendMode {
    SEND_VENDOR_COMMAND = 0,
    SEND_WRITE = 1,
};

// Puts length bytes of data on the wire through primaryHandle. 1 when all of them were
// accepted, 0 otherwise. Opens and closes nothing.
int SendToDevice(int mode, const void *data, void *reply, DWORD length);

// A device call that has moved nothing for this long is cancelled and fails: Windows gives a
// printer port as long before it gives up on a job.
static const DWORD deviceStallLimitMs = 90000;

// Runs while a device call waits for the printer: once as soon as the call is under way, so
// the caller's own work overlaps the printer's, then whenever a message arrives, so the windows
// keep painting and answering. NULL (the start value): messages wait until the call has ended,
// as with a blocking call.
typedef void (*DeviceWaitPump)();
void SetDeviceWaitPump(DeviceWaitPump pump);

// 1 when device calls run under way with the wait pump, 0 when they block (older Windows).
int DeviceCallsOverlap();

#endif
