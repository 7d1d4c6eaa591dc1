// One call on a device handle at a time, for the send and the scanner-port lookup that make
// them, and their tests.
#ifndef UPDATE_TOOL_DEVICE_CALL_INTERNAL_H
#define UPDATE_TOOL_DEVICE_CALL_INTERNAL_H

#include <windows.h>

// A write of input (code 0) or a control request on handle.
struct DeviceRequest {
    HANDLE handle;
    DWORD code;
    const void *input;
    DWORD inputSize;
    void *output;
    DWORD outputSize;
    ULONGLONG position; // where a write lands in the stream
};

// Issues the call the way the link's handles were opened: under way on the link's event, or, on
// blocking handles, kept for the wait to make. 0 when it failed at once. One call at a time;
// its buffers stay in place until AwaitDeviceCall has told its end.
int IssueDeviceCall(const DeviceRequest *request);

// Waits for the issued call to end, for the stall limit to run out (the call is then cancelled
// and its end awaited), or, with wakeOnMessages, for a message for the thread or the quiet mark;
// a DeviceWait. DEVICE_DONE with *count the bytes the call reports.
int AwaitDeviceCall(int wakeOnMessages, DWORD *count);

#endif
