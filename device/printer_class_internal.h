// Printer-class discovery, for the lookup above it and its tests: handed the interface class, the
// hardware ID and the Windows version class, it leaves what it found in the link's handles and
// the revision beside them.
#ifndef UPDATE_TOOL_PRINTER_CLASS_INTERNAL_H
#define UPDATE_TOOL_PRINTER_CLASS_INTERNAL_H

#include <windows.h>

// Counts into *present the devices carrying hardwareId that have a present interface of the
// class, stopping at two. With open, and exactly one such device, opens both handles on its
// interface and records the revision its list gives (PrinterRevision). 1 when the count was made
// and, with open, the printer opened; 0 otherwise, with *present 0 when the count could not be
// finished and, with open, both handles closed.
int FindPrinterByInterface(const GUID *interfaceClass, const char *hardwareId, int osFamily,
                           int open, int *present);

// The revision (0 to 0xFFFF) that one entry of a hardware-ID list gives for hardwareId's model:
// the entry begins, ignoring ASCII case, with hardwareId's first 21 characters
// (USB\VID_xxxx&PID_xxxx), then &REV_ and four hexadecimal digits that end the entry or are
// followed by '&'. -1 for any other entry, or a hardwareId shorter than 21 characters.
int ReadRevision(const char *entry, const char *hardwareId);

// Upper-cases 'a' to 'z' in both texts in place; every other byte is left as it is.
void UppercaseInPlace(char *first, char *second);

#endif
