// Scanner-port discovery, for the lookup above it and its tests: handed the IDs, the pipe mode
// and the Windows version class, it leaves what it found in the link's handles.
#ifndef UPDATE_TOOL_SCANNER_PORT_INTERNAL_H
#define UPDATE_TOOL_SCANNER_PORT_INTERNAL_H

#include <windows.h>

// Looks over ports 0 to 14, opening pipes as osFamily wants, and counts into *present the ports
// that match, stopping at two: 1 when one port alone matched and the chosen pipes give a
// writable primaryHandle, 0 otherwise with nothing left open.
int FindScannerPort(int vendorId, int productId, int scanPipeMode, int osFamily, int *present);

// The value of a hexadecimal text; 0 for an empty text, -1 when a character is not a digit.
int ParseHexField(const char *text);

#endif
