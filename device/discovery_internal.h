// The two discovery paths, for the lookup above them and their tests. Each is handed what it
// needs and leaves what it found in the link's handles.
#ifndef UPDATE_TOOL_DISCOVERY_INTERNAL_H
#define UPDATE_TOOL_DISCOVERY_INTERNAL_H

#include <windows.h>

// Printer-class discovery: 1 when a device carrying hardwareId was found and both handles
// were opened on its interface, 0 otherwise with both handles closed.
int FindPrinterByInterface(const GUID *interfaceClass, const char *hardwareId, int osFamily);

// Upper-cases 'a' to 'z' in both texts in place; every other byte is left as it is.
void UppercaseInPlace(char *first, char *second);

// Scanner-port discovery over ports 0 to 14, its pipes opened as osFamily wants: 1 when a port
// matched and the chosen pipes give a writable primaryHandle, 0 otherwise.
int FindScannerPort(int vendorId, int productId, int scanPipeMode, int osFamily);

// The value of a hexadecimal text; 0 for an empty text, -1 when a character is not a digit.
int ParseHexField(const char *text);

#endif
