// The bottom of the device link, for the files above it and their tests: the handles a lookup
// leaves open and their printer's revision, how they were opened, how far the stream written to
// them has got, and the one event the overlapped calls on them signal.
#ifndef UPDATE_TOOL_LINK_STATE_INTERNAL_H
#define UPDATE_TOOL_LINK_STATE_INTERNAL_H

#include "device/device_link.h"

// The classes of Windows the lookup tells apart by their device-setup behaviour.
enum OsFamily {
    OS_UNCLASSIFIED = -1, // not yet classified, or a 4.x release other than 98 and Me
    OS_WINDOWS_98 = 0,
    OS_WINDOWS_ME = 1,
    OS_WINDOWS_2000 = 2,
    OS_WINDOWS_XP_OR_LATER = 3,
};

// The kind of the lookup that last ran (a LinkKind): a vendor command needs a printer-class one.
int CurrentLinkKind();
void SetLinkKind(int kind);

// The handles a successful lookup leaves open; INVALID_HANDLE_VALUE when closed. Only the
// primary one is written to: the secondary is held and closed with it.
HANDLE PrimaryHandle();
void SetPrimaryHandle(HANDLE handle);
void SetSecondaryHandle(HANDLE handle);

// Records the revision of the printer whose handles were just opened (PrinterRevision).
void SetPrinterRevision(int revision);

// Opens a device for a lookup on osFamily, read and write, shared, with attributes, and marks
// the calls on the link's handles overlapped or blocking to match. The caller stores what it
// gets with SetPrimaryHandle or SetSecondaryHandle.
HANDLE OpenLinkHandle(const char *name, DWORD attributes, int osFamily);

// 1 when the handles were opened for overlapped calls, 0 when calls on them block.
int HandlesOverlapped();

// The event every overlapped call on the handles signals (one call is under way at a time, and
// each resets it as it starts), made at the first call and closed with the handles; NULL when it
// cannot be made.
HANDLE LinkCallEvent();

// Bytes written to primaryHandle since it was opened.
ULONGLONG StreamPosition();
void AdvanceStreamPosition(DWORD count);

#endif
