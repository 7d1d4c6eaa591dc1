// Device calls that wait for the printer without stopping the thread's windows.
#include "device/device_link.h"

#include "device/link_state.h"

static DeviceWaitPump waitPump = NULL;
static int overlappedHandles = 0;

void SetDeviceWaitPump(DeviceWaitPump pump) { waitPump = pump; }

int OverlappedFor(int osFamily)
{
    // Windows 98 and Me complete overlapped calls only on the devices whose drivers chose to:
    // there the calls stay plain blocking ones.
    return osFamily == OS_WINDOWS_2000 || osFamily == OS_WINDOWS_XP_OR_LATER;
}

DWORD DeviceOpenFlags(DWORD attributes, int overlapped)
{
    return overlapped ? attributes | FILE_FLAG_OVERLAPPED : attributes;
}

void SetHandlesOverlapped(int overlapped) { overlappedHandles = overlapped; }

int DeviceCallsOverlap() { return overlappedHandles; }

// Waits for the call behind overlapped to end, running the wait pump whenever a message
// arrives. A call that has not ended within the stall limit is cancelled, and its end awaited
// before the caller may release the OVERLAPPED and its event: the driver still writes to both
// until then.
static int AwaitCompletion(HANDLE handle, OVERLAPPED *overlapped, DWORD *count)
{
    DWORD started = GetTickCount();
    if (waitPump != NULL)
        waitPump();
    for (;;) {
        if (GetOverlappedResult(handle, overlapped, count, FALSE))
            return 1;
        if (GetLastError() != ERROR_IO_INCOMPLETE)
            return 0;
        DWORD waited = GetTickCount() - started;
        if (waited >= deviceStallLimitMs)
            break;
        DWORD woke =
            MsgWaitForMultipleObjects(1, &overlapped->hEvent, FALSE, deviceStallLimitMs - waited,
                                      waitPump != NULL ? QS_ALLINPUT : 0);
        if (woke == WAIT_OBJECT_0 + 1 && waitPump != NULL)
            waitPump();
        else if (woke == WAIT_FAILED)
            break;
    }
    CancelIo(handle);
    GetOverlappedResult(handle, overlapped, count, TRUE);
    return 0;
}

int DeviceCall(const DeviceRequest *request, DWORD *count)
{
    *count = 0;
    if (!overlappedHandles) {
        if (request->code == 0)
            return WriteFile(request->handle, request->input, request->inputSize, count, NULL) ? 1
                                                                                               : 0;
        return DeviceIoControl(request->handle, request->code, (LPVOID)request->input,
                               request->inputSize, request->output, request->outputSize, count,
                               NULL)
                   ? 1
                   : 0;
    }

    OVERLAPPED overlapped;
    ZeroMemory(&overlapped, sizeof overlapped);
    // A regular file standing in for the printer would take every write at this offset; a
    // device ignores it. Both then see one stream.
    overlapped.Offset = (DWORD)request->position;
    overlapped.OffsetHigh = (DWORD)(request->position >> 32);
    overlapped.hEvent = CreateEventA(NULL, TRUE, FALSE, NULL);
    if (overlapped.hEvent == NULL)
        return 0;
    BOOL issued;
    if (request->code == 0)
        issued = WriteFile(request->handle, request->input, request->inputSize, NULL, &overlapped);
    else
        issued = DeviceIoControl(request->handle, request->code, (LPVOID)request->input,
                                 request->inputSize, request->output, request->outputSize, NULL,
                                 &overlapped);
    int result = 0;
    if (issued || GetLastError() == ERROR_IO_PENDING)
        result = AwaitCompletion(request->handle, &overlapped, count);
    CloseHandle(overlapped.hEvent);
    return result;
}
