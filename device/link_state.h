// Inside the device link only: how the discovery paths store the handles they open.
#ifndef UPDATE_TOOL_LINK_STATE_H
#define UPDATE_TOOL_LINK_STATE_H

#include <windows.h>

void SetPrimaryHandle(HANDLE handle);
void SetSecondaryHandle(HANDLE handle);

#endif
