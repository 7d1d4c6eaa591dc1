// Inside the device link only: how the discovery paths store the handles they open.
#ifndef UPDATE_TOOL_LINK_STATE_H
#define UPDATE_TOOL_LINK_STATE_H

#include <windows.h>

void SetPrimaryHandle(HANDLE handle);
void SetSecondaryHandle(HANDLE handle);

// Whether the handles of a lookup on this Windows are opened for overlapped calls, the
// CreateFileA flags that follow, and what the discovery paths opened them with.
int OverlappedFor(int osFamily);
DWORD DeviceOpenFlags(DWORD attributes, int overlapped);
void SetHandlesOverlapped(int overlapped);

// The OsFamily the last lookup classified.
int LookupOsFamily();

// Bytes written to primaryHandle since it was opened.
ULONGLONG StreamPosition();
void AdvanceStreamPosition(DWORD count);

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

// Makes the call the way the handles were opened: a plain blocking call, or an overlapped one
// waited for with the thread's messages running and cancelled after the stall limit.
// 1 when the call succeeded, with *count the bytes it reports; 0 otherwise.
int DeviceCall(const DeviceRequest *request, DWORD *count);

#endif
