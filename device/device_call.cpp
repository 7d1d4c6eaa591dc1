// The device call: putting a send on the wire through primaryHandle, one platform call at a
// time, waited for without stopping the thread's windows.
#include "device/device_call_internal.h"
#include "device/link_state_internal.h"

#include <winioctl.h>

#include <usbprint.h>

// The vendor command the printer-class driver forwards is its first three bytes.
static const DWORD vendorCommandLength = 3;

// A call that has ended by the time it is asked never reaches the wait, which is where messages
// are noticed: with a printer that takes every piece at once the windows would hear nothing
// until the transfer ends. So the queue is looked at this often all the same.
static const DWORD queueLookMs = 50;

// Where the platform call stands.
enum CallPhase {
    PHASE_IDLE,         // nothing issued, or its end already told
    PHASE_TO_MAKE,      // blocking handles: issued, made by the wait
    PHASE_UNDER_WAY,    // under way on an overlapped handle
    PHASE_ENDED_UNTOLD, // ended; told after the messages that came first have run
};

// Everything a send keeps from SendToDevice through its waits.
struct DeviceCall {
    // The send: a write goes on until every byte is accepted; a vendor command is one call.
    int isWrite;
    const BYTE *data;
    DWORD length;
    DWORD accepted;
    // A vendor command is copied: the driver reads it while the call is under way.
    BYTE command[vendorCommandLength];

    // The platform call that carries it.
    int phase; // a CallPhase
    DeviceRequest request;
    // The driver writes to the OVERLAPPED until the call has ended, so it lives here, not on
    // the stack of the call that issued it.
    OVERLAPPED overlapped;
    DWORD issuedAt;   // the stall and the quiet mark count from here: the last byte moved
    int quietTold;    // DEVICE_QUIET already told for this call
    int untoldAnswer; // PHASE_ENDED_UNTOLD: the answer and byte count of the ended call
    DWORD untoldCount;
    DWORD lastQueueLook;
};

static DeviceCall deviceCall;

static BOOL MakeCall(DWORD *count, OVERLAPPED *under)
{
    const DeviceRequest &call = deviceCall.request;
    if (call.code == 0)
        return WriteFile(call.handle, call.input, call.inputSize, count, under);
    return DeviceIoControl(call.handle, call.code, (LPVOID)call.input, call.inputSize, call.output,
                           call.outputSize, count, under);
}

int IssueDeviceCall(const DeviceRequest *request)
{
    deviceCall.request = *request;
    deviceCall.quietTold = 0;
    if (!HandlesOverlapped()) {
        deviceCall.phase = PHASE_TO_MAKE;
        return 1;
    }
    OVERLAPPED &overlapped = deviceCall.overlapped;
    ZeroMemory(&overlapped, sizeof overlapped);
    // A regular file standing in for the printer would take every write at this offset; a
    // device ignores it. Both then see one stream.
    overlapped.Offset = (DWORD)request->position;
    overlapped.OffsetHigh = (DWORD)(request->position >> 32);
    overlapped.hEvent = LinkCallEvent();
    if (overlapped.hEvent == NULL)
        return 0;
    // Nothing but the call itself between the end of one call and the start of the next: on a
    // fast printer every call made in between leaves the link idle.
    if (!MakeCall(NULL, &overlapped)) {
        if (GetLastError() != ERROR_IO_PENDING)
            return 0;
        // Only a call that has not ended yet can stall.
        deviceCall.issuedAt = GetTickCount();
    }
    deviceCall.phase = PHASE_UNDER_WAY;
    return 1;
}

// 1 when a message for the thread is waiting; waits for nothing.
static int MessageWaiting()
{
    return MsgWaitForMultipleObjects(0, NULL, FALSE, 0, QS_ALLINPUT) == WAIT_OBJECT_0;
}

// Tells a call that has ended: at once, or, when a message is waiting, DEVICE_MESSAGE first,
// keeping the answer and its count for the next wait, so that the windows catch up before the
// next call.
static int TellEnd(int answer, DWORD moved, int lookAtQueue, DWORD *count)
{
    if (lookAtQueue && MessageWaiting()) {
        deviceCall.untoldAnswer = answer;
        deviceCall.untoldCount = moved;
        deviceCall.phase = PHASE_ENDED_UNTOLD;
        return DEVICE_MESSAGE;
    }
    deviceCall.phase = PHASE_IDLE;
    *count = moved;
    return answer;
}

// Overlapped handles: waits on the link's event, waking at the quiet mark (once) and at the
// stall limit by the wait's own timeout.
static int AwaitCallUnderWay(int wakeOnMessages, DWORD *count)
{
    OVERLAPPED &overlapped = deviceCall.overlapped;
    HANDLE handle = deviceCall.request.handle;
    int answer = DEVICE_STALLED;
    int waited = 0;
    for (;;) {
        DWORD moved = 0;
        if (GetOverlappedResult(handle, &overlapped, &moved, FALSE)) {
            // A call that ended in the wait below was waited for with the queue looked at.
            int lookDue = 0;
            if (wakeOnMessages && !waited) {
                DWORD now = GetTickCount();
                lookDue = now - deviceCall.lastQueueLook >= queueLookMs;
                if (lookDue)
                    deviceCall.lastQueueLook = now;
            }
            return TellEnd(DEVICE_DONE, moved, lookDue, count);
        }
        if (GetLastError() != ERROR_IO_INCOMPLETE) {
            deviceCall.phase = PHASE_IDLE;
            return DEVICE_FAILED;
        }
        DWORD now = GetTickCount();
        DWORD underWay = now - deviceCall.issuedAt;
        if (underWay >= deviceStallLimitMs)
            break;
        int quietAhead = wakeOnMessages && !deviceCall.quietTold;
        if (quietAhead && underWay >= deviceQuietMs) {
            deviceCall.quietTold = 1;
            return DEVICE_QUIET;
        }
        DWORD mark = quietAhead ? deviceQuietMs : deviceStallLimitMs;
        deviceCall.lastQueueLook = now;
        waited = 1;
        DWORD woke = MsgWaitForMultipleObjects(1, &overlapped.hEvent, FALSE, mark - underWay,
                                               wakeOnMessages ? QS_ALLINPUT : 0);
        if (woke == WAIT_OBJECT_0 + 1)
            return DEVICE_MESSAGE;
        if (woke == WAIT_FAILED) {
            answer = DEVICE_FAILED;
            break;
        }
    }
    // The driver holds the OVERLAPPED until the cancelled call has ended.
    CancelIo(handle);
    DWORD ignored = 0;
    GetOverlappedResult(handle, &overlapped, &ignored, TRUE);
    deviceCall.phase = PHASE_IDLE;
    return answer;
}

int AwaitDeviceCall(int wakeOnMessages, DWORD *count)
{
    *count = 0;
    switch (deviceCall.phase) {
    case PHASE_UNDER_WAY:
        return AwaitCallUnderWay(wakeOnMessages, count);
    case PHASE_TO_MAKE: {
        // Blocking handles: the call is made here, and a message that came meanwhile is told
        // first, so the windows catch up before the next call blocks again.
        DWORD moved = 0;
        int answer = MakeCall(&moved, NULL) ? DEVICE_DONE : DEVICE_FAILED;
        return TellEnd(answer, moved, wakeOnMessages, count);
    }
    case PHASE_ENDED_UNTOLD:
        deviceCall.phase = PHASE_IDLE;
        *count = deviceCall.untoldCount;
        return deviceCall.untoldAnswer;
    default:
        return DEVICE_FAILED;
    }
}

// Offers the printer what it has not accepted yet, where the stream stands.
static int IssueRest()
{
    DeviceRequest request = {PrimaryHandle(),
                             0,
                             deviceCall.data + deviceCall.accepted,
                             deviceCall.length - deviceCall.accepted,
                             NULL,
                             0,
                             StreamPosition()};
    return IssueDeviceCall(&request);
}

static int StartVendorCommand(const BYTE *data, void *reply, DWORD length)
{
    if (CurrentLinkKind() != LINK_PRINTER_CLASS)
        return 0;
    if (data == NULL || length < vendorCommandLength)
        return 0;
    CopyMemory(deviceCall.command, data, vendorCommandLength);
    DeviceRequest request = {PrimaryHandle(),
                             IOCTL_USBPRINT_VENDOR_SET_COMMAND,
                             deviceCall.command,
                             vendorCommandLength,
                             reply,
                             reply ? length : 0,
                             0};
    return IssueDeviceCall(&request);
}

// One write is in flight at a time, never two queued: the bytes on the wire are then always a
// leading part of the header and image, so a write that fails never leaves a hole behind bytes
// that did arrive, which a printer could take for a whole image and flash.
int SendToDevice(int mode, const void *data, void *reply, DWORD length)
{
    deviceCall.isWrite = mode == SEND_WRITE;
    if (mode == SEND_WRITE) {
        deviceCall.data = (const BYTE *)data;
        deviceCall.length = length;
        deviceCall.accepted = 0;
        return IssueRest();
    }
    if (mode == SEND_VENDOR_COMMAND)
        return StartVendorCommand((const BYTE *)data, reply, length);
    return 0;
}

// A write ends only when every byte was accepted, offering the rest again after a partial
// one: the transfer header has told the printer how many bytes follow, so none may go missing.
int AwaitDevice()
{
    for (;;) {
        DWORD written = 0;
        int woke = AwaitDeviceCall(1, &written);
        if (woke != DEVICE_DONE || !deviceCall.isWrite)
            return woke;
        DWORD rest = deviceCall.length - deviceCall.accepted;
        // More than was offered is no count a driver can mean: nothing says where the stream
        // stands after it.
        if (written == 0 || written > rest)
            return DEVICE_FAILED;
        deviceCall.accepted += written;
        AdvanceStreamPosition(written);
        if (written == rest)
            return DEVICE_DONE;
        if (!IssueRest())
            return DEVICE_FAILED;
    }
}
