// One device call at a time, waited for without stopping the thread's windows.
#include "device/link_internal.h"

enum CallState {
    CALL_NONE,     // nothing issued, or its end already reported
    CALL_KEPT,     // blocking handles: issued, to be made by the wait
    CALL_PENDING,  // under way on an overlapped handle
    CALL_ANSWERED, // made on a blocking handle; its answer waits behind a message
};

static int callState = CALL_NONE;
static DeviceRequest call;
// The driver writes to the OVERLAPPED until the call has ended, so it lives here, not on the
// stack of the call that issued it; its event lives with the handles.
static OVERLAPPED overlapped;
static DWORD issuedAt = 0;
// The call under way has been told quiet: each call is one stretch, as a write that moved
// bytes and left a rest is followed by a new call for the rest.
static int quietTold = 0;
static int keptAnswer = DEVICE_FAILED;
static DWORD keptCount = 0;
// A call that has ended by the time it is asked never reaches the wait below, which is where
// messages are noticed: with a printer that takes every piece at once the windows would hear
// nothing until the transfer ends. So the queue is looked at this often all the same.
static const DWORD messageLookMs = 50;
static DWORD lastMessageLook = 0;

static BOOL MakeCall(DWORD *count, OVERLAPPED *under)
{
    if (call.code == 0)
        return WriteFile(call.handle, call.input, call.inputSize, count, under);
    return DeviceIoControl(call.handle, call.code, (LPVOID)call.input, call.inputSize, call.output,
                           call.outputSize, count, under);
}

int IssueDeviceCall(const DeviceRequest *request)
{
    call = *request;
    if (!HandlesOverlapped()) {
        callState = CALL_KEPT;
        return 1;
    }
    ZeroMemory(&overlapped, sizeof overlapped);
    // A regular file standing in for the printer would take every write at this offset; a
    // device ignores it. Both then see one stream.
    overlapped.Offset = (DWORD)call.position;
    overlapped.OffsetHigh = (DWORD)(call.position >> 32);
    overlapped.hEvent = LinkCallEvent();
    if (overlapped.hEvent == NULL)
        return 0;
    issuedAt = GetTickCount();
    quietTold = 0;
    if (!MakeCall(NULL, &overlapped) && GetLastError() != ERROR_IO_PENDING)
        return 0;
    callState = CALL_PENDING;
    return 1;
}

// The end of the pending call: nothing of it is left under way.
static int EndPending(int answer)
{
    callState = CALL_NONE;
    return answer;
}

// Blocking handles: the call is made here, and a message that came meanwhile is told first,
// so the windows catch up before the next call blocks again.
static int AwaitBlockingCall(int wakeOnMessages, DWORD *count)
{
    if (callState == CALL_KEPT) {
        keptAnswer = MakeCall(&keptCount, NULL) ? DEVICE_DONE : DEVICE_FAILED;
        callState = CALL_ANSWERED;
        if (wakeOnMessages &&
            MsgWaitForMultipleObjects(0, NULL, FALSE, 0, QS_ALLINPUT) == WAIT_OBJECT_0)
            return DEVICE_MESSAGE;
    }
    callState = CALL_NONE;
    *count = keptCount;
    return keptAnswer;
}

int AwaitDeviceCall(int wakeOnMessages, DWORD *count)
{
    *count = 0;
    if (callState == CALL_KEPT || callState == CALL_ANSWERED)
        return AwaitBlockingCall(wakeOnMessages, count);
    if (callState != CALL_PENDING)
        return DEVICE_FAILED;
    int answer = DEVICE_STALLED;
    for (;;) {
        if (GetOverlappedResult(call.handle, &overlapped, count, FALSE)) {
            DWORD now = GetTickCount();
            if (!wakeOnMessages || now - lastMessageLook < messageLookMs)
                return EndPending(DEVICE_DONE);
            lastMessageLook = now;
            if (MsgWaitForMultipleObjects(0, NULL, FALSE, 0, QS_ALLINPUT) != WAIT_OBJECT_0)
                return EndPending(DEVICE_DONE);
            // Told after the messages have run, as on blocking handles.
            keptAnswer = EndPending(DEVICE_DONE);
            keptCount = *count;
            *count = 0;
            callState = CALL_ANSWERED;
            return DEVICE_MESSAGE;
        }
        if (GetLastError() != ERROR_IO_INCOMPLETE)
            return EndPending(DEVICE_FAILED);
        DWORD waited = GetTickCount() - issuedAt;
        if (waited >= deviceStallLimitMs)
            break;
        // Only a caller that runs its messages meanwhile waits again; a lookup's query does not.
        int quietDue = wakeOnMessages && !quietTold;
        if (quietDue && waited >= deviceQuietMs) {
            quietTold = 1;
            return DEVICE_QUIET;
        }
        // The wait's own timeout wakes it at the quiet mark: no timer, no extra call.
        DWORD wakeAt = quietDue ? deviceQuietMs : deviceStallLimitMs;
        lastMessageLook = GetTickCount();
        DWORD woke = MsgWaitForMultipleObjects(1, &overlapped.hEvent, FALSE, wakeAt - waited,
                                               wakeOnMessages ? QS_ALLINPUT : 0);
        if (woke == WAIT_OBJECT_0 + 1)
            return DEVICE_MESSAGE;
        if (woke == WAIT_FAILED) {
            answer = DEVICE_FAILED;
            break;
        }
    }
    // The driver holds the OVERLAPPED until the cancelled call has ended.
    CancelIo(call.handle);
    GetOverlappedResult(call.handle, &overlapped, count, TRUE);
    *count = 0;
    return EndPending(answer);
}
