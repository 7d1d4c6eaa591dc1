// Printer-class discovery, for the lookup above it and its tests: handed the interface class, the
// hardware ID and the Windows version class, it leaves what it found in the link's handles.
#ifndef UPDATE_TOOL_PRINTER_CLASS_INTERNAL_H
#define UPDATE_TOOL_PRINTER_CLASS_INTERNAL_H

#include <windows.h>

// 1 when a device carrying hardwareId was found and both handles were opened on its interface,
// 0 otherwise with both handles closed.
int FindPrinterByInterface(const GUID *interfaceClass, const char *hardwareId, int osFamily);

// Upper-cases 'a' to 'z' in both texts in place; every other byte is left as it is.
void UppercaseInPlace(char *first, char *second);

#endif
