// The transfer header's length field, inside the image module and for its tests.
#ifndef UPDATE_TOOL_FIRMWARE_IMAGE_INTERNAL_H
#define UPDATE_TOOL_FIRMWARE_IMAGE_INTERNAL_H

#include <windows.h>

// Writes length into the header's four length bytes (by default 20 to 23), most significant
// byte first.
void StampImageSize(DWORD length);

#endif
