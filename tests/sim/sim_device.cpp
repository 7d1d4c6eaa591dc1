// The simulated device namespace of the host tests: CreateFileA, WriteFile, DeviceIoControl and
// CloseHandle over scripted devices that record every byte, control request, open and close.
#include "sim_kernel.h"

#include "sim_kernel_internal.h"

#include <usbprint.h>
#include <usbscan.h>

#include <algorithm>
#include <map>
#include <set>
#include <strings.h>

#ifndef ERROR_INVALID_FUNCTION
#define ERROR_INVALID_FUNCTION 1L
#endif

namespace
{

std::deque<SimDevice> devices;
std::vector<SimOpen> openLog;
std::map<HANDLE, SimDevice *> openHandles;
std::set<HANDLE> overlappedHandles; // opened with FILE_FLAG_OVERLAPPED
struct FileOpen {
    DWORD access, share;
    size_t position; // where the next write of a handle without append-only access lands
};
std::map<HANDLE, FileOpen> fileOpens;
SimHandleStats handleStats = {};
ULONG_PTR nextHandle = 0x1000;

SimDevice *DeviceOf(HANDLE handle)
{
    auto found = openHandles.find(handle);
    return found == openHandles.end() ? NULL : found->second;
}

// A call made otherwise than its handle was opened for: an overlapped call on a blocking handle
// blocks the thread all the same, a plain one on an overlapped handle is not waited for.
void CheckCallMatchesOpen(HANDLE handle, LPOVERLAPPED overlapped)
{
    if ((overlapped != NULL) != (overlappedHandles.count(handle) != 0))
        handleStats.badCalls++;
}

// The overlapped call in flight, from its issue until GetOverlappedResult reports its end (the
// tool never has two). waitsLeft -1: pending until cancelled.
struct SimPending {
    LPOVERLAPPED overlapped;
    int waitsLeft;
    bool done;
    BOOL result;
    DWORD count;
    DWORD error;
} pendingCall;
const ULONG_PTR firstEvent = 0x800000;
SimWaitStats waitStats = {};
bool messageWhileBlocked = false; // came during the last blocking call, not yet looked for

// The platform's answer to an overlapped call: TRUE when it ended at once, FALSE with
// ERROR_IO_PENDING, or the failure itself.
BOOL IssueOverlapped(LPOVERLAPPED overlapped, int waits, BOOL result, DWORD count)
{
    if (waits == 0 && !result) {
        SetLastError(ERROR_GEN_FAILURE);
        return FALSE;
    }
    pendingCall = {overlapped, waits, waits == 0, result, count, ERROR_GEN_FAILURE};
    waitStats.pendingLive = 1;
    SetLastError(ERROR_IO_PENDING);
    return waits == 0;
}

} // namespace

void SimResetDevices()
{
    devices.clear();
    openLog.clear();
    openHandles.clear();
    overlappedHandles.clear();
    fileOpens.clear();
    handleStats = {};
    pendingCall = {};
    waitStats = {};
    messageWhileBlocked = false;
    nextHandle = 0x1000;
}

SimDevice &SimAddDevice(const std::string &name)
{
    devices.emplace_back();
    devices.back().name = name;
    return devices.back();
}

SimDevice *SimFindDevice(const std::string &name)
{
    for (SimDevice &device : devices)
        if (strcasecmp(device.name.c_str(), name.c_str()) == 0)
            return &device;
    return NULL;
}

const std::vector<SimOpen> &SimOpenLog() { return openLog; }

SimHandleStats SimHandles()
{
    SimHandleStats stats = handleStats;
    stats.live = static_cast<int>(openHandles.size());
    return stats;
}

std::string SimHandleName(HANDLE handle)
{
    SimDevice *device = DeviceOf(handle);
    return device ? device->name : std::string();
}

HANDLE SimOtherOpenHandle(HANDLE besides)
{
    // Handles are handed out in rising order, so the last one in the map was opened last.
    for (auto open = openHandles.rbegin(); open != openHandles.rend(); ++open)
        if (open->first != besides)
            return open->first;
    return INVALID_HANDLE_VALUE;
}

std::string SimScannerPipeName(int port, int pipe)
{
    return "\\\\.\\Usbscan" + std::to_string(port) + "\\" + std::to_string(pipe);
}

void SimAddScannerPort(int port, USHORT vendorId, USHORT productId)
{
    for (int pipe = 0; pipe < 4; pipe++) {
        SimDevice &device = SimAddDevice(SimScannerPipeName(port, pipe));
        if (pipe == 0) {
            device.answersDescriptor = true;
            device.vendorId = vendorId;
            device.productId = productId;
        }
    }
}

HANDLE WINAPI CreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                          DWORD disposition, DWORD flags, HANDLE templateFile)
{
    SimOpen entry = {name ? name : "",
                     access,
                     share,
                     disposition,
                     flags,
                     security != NULL,
                     templateFile != NULL,
                     INVALID_HANDLE_VALUE};
    SimDevice *device = name ? SimFindDevice(name) : NULL;
    bool shared = true;
    for (const auto &open : fileOpens)
        if (openHandles[open.first] == device)
            shared = shared && (open.second.share & FILE_SHARE_WRITE) &&
                     (share & FILE_SHARE_WRITE) && (open.second.share & FILE_SHARE_READ);
    if (device == NULL || device->opensAllowed == device->opened || !shared) {
        handleStats.failedOpens++;
        SetLastError(shared ? ERROR_FILE_NOT_FOUND : ERROR_SHARING_VIOLATION);
    } else {
        entry.result = reinterpret_cast<HANDLE>(nextHandle);
        nextHandle += 4;
        openHandles[entry.result] = device;
        if (flags & FILE_FLAG_OVERLAPPED)
            overlappedHandles.insert(entry.result);
        device->opened++;
        handleStats.opens++;
        if (device->isFile) {
            fileOpens[entry.result] = {access, share, 0};
            if (disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING)
                device->received.clear();
        }
    }
    openLog.push_back(entry);
    return entry.result;
}

BOOL WINAPI WriteFile(HANDLE file, LPCVOID buffer, DWORD toWrite, LPDWORD written,
                      LPOVERLAPPED overlapped)
{
    if (written == NULL && overlapped == NULL) {
        handleStats.badCalls++;
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (written)
        *written = 0;
    SimDevice *device = DeviceOf(file);
    if (device == NULL) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    CheckCallMatchesOpen(file, overlapped);
    // Everything offered is read, as a driver copying the request would: an offer longer than
    // the caller's buffer shows under AddressSanitizer.
    const BYTE *bytes = static_cast<const BYTE *>(buffer);
    std::vector<BYTE> offered(bytes, bytes + toWrite);
    size_t call = device->writeSizes.size();
    device->writeSizes.push_back(toWrite);
    SimWriteStep step = {TRUE, toWrite};
    if (call < device->writePlan.size())
        step = device->writePlan[call];
    DWORD accepted = step.accepted < toWrite ? step.accepted : toWrite;
    auto open = fileOpens.find(file);
    if (open != fileOpens.end() && (open->second.access & (GENERIC_WRITE | 0x0002)) != 0) {
        // Written where the handle stands, over what the file held.
        size_t &at = open->second.position;
        device->received.resize(std::max(device->received.size(), at + accepted));
        std::copy(offered.begin(), offered.begin() + accepted, device->received.begin() + at);
        at += accepted;
    } else {
        device->received.insert(device->received.end(), offered.begin(),
                                offered.begin() + accepted);
    }
    DWORD reported = step.reported >= 0 ? static_cast<DWORD>(step.reported) : accepted;
    if (overlapped) {
        device->writeOffsets.push_back(overlapped->Offset |
                                       static_cast<ULONGLONG>(overlapped->OffsetHigh) << 32);
        return IssueOverlapped(overlapped, step.pendingWaits, step.result, reported);
    }
    messageWhileBlocked = step.pendingWaits != 0;
    if (written)
        *written = reported;
    if (!step.result)
        SetLastError(ERROR_GEN_FAILURE);
    return step.result;
}

BOOL WINAPI DeviceIoControl(HANDLE handle, DWORD code, LPVOID in, DWORD inSize, LPVOID out,
                            DWORD outSize, LPDWORD returned, LPOVERLAPPED overlapped)
{
    if ((returned == NULL && overlapped == NULL) || (in == NULL && inSize != 0) ||
        (out == NULL && outSize != 0)) {
        handleStats.badCalls++;
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (returned)
        *returned = 0;
    SimDevice *device = DeviceOf(handle);
    if (device == NULL) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    CheckCallMatchesOpen(handle, overlapped);
    const BYTE *input = static_cast<const BYTE *>(in);
    device->ioctls.push_back(
        {code, std::vector<BYTE>(input, input + inSize), out != NULL, outSize});

    if (code == IOCTL_GET_DEVICE_DESCRIPTOR) {
        if (!device->answersDescriptor) {
            SetLastError(ERROR_GEN_FAILURE);
            return FALSE;
        }
        if (outSize < sizeof(DEVICE_DESCRIPTOR)) {
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return FALSE;
        }
        DEVICE_DESCRIPTOR descriptor = {device->vendorId, device->productId, 0x0100, 0x0409};
        memcpy(out, &descriptor, sizeof descriptor);
        if (overlapped)
            return IssueOverlapped(overlapped, device->ioctlPendingWaits, TRUE, sizeof descriptor);
        if (returned)
            *returned = sizeof descriptor;
        return TRUE;
    }
    if (code == IOCTL_USBPRINT_VENDOR_SET_COMMAND) {
        if (!device->vendorCommandResult) {
            SetLastError(ERROR_GEN_FAILURE);
            return FALSE;
        }
        DWORD count = static_cast<DWORD>(device->reply.size());
        if (count > outSize)
            count = outSize;
        if (count)
            memcpy(out, device->reply.data(), count);
        if (overlapped)
            return IssueOverlapped(overlapped, device->ioctlPendingWaits, TRUE, count);
        if (returned)
            *returned = count;
        return TRUE;
    }
    SetLastError(ERROR_INVALID_FUNCTION);
    return FALSE;
}

BOOL WINAPI CloseHandle(HANDLE object)
{
    if (reinterpret_cast<ULONG_PTR>(object) >= firstEvent) {
        waitStats.eventsLive--;
        // The driver still signals the event of a call in flight.
        waitStats.badCalls += waitStats.pendingLive && !pendingCall.done;
        return TRUE;
    }
    SimDevice *device = DeviceOf(object);
    if (device == NULL) {
        handleStats.badCloses++;
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    openHandles.erase(object);
    overlappedHandles.erase(object);
    fileOpens.erase(object);
    device->closed++;
    handleStats.closes++;
    return TRUE;
}

SimWaitStats SimWaits() { return waitStats; }

void SimSetMessageWaiting() { messageWhileBlocked = true; }

BOOL WINAPI GetFileInformationByHandle(HANDLE handle, LPBY_HANDLE_FILE_INFORMATION information)
{
    SimDevice *device = DeviceOf(handle);
    if (device == NULL || !device->isFile) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    memset(information, 0, sizeof *information);
    information->dwFileAttributes = device->attributes;
    information->nNumberOfLinks = 1;
    return TRUE;
}

HANDLE WINAPI CreateEventA(LPSECURITY_ATTRIBUTES, BOOL, BOOL, LPCSTR)
{
    waitStats.eventsLive++;
    return reinterpret_cast<HANDLE>(firstEvent);
}

DWORD WINAPI MsgWaitForMultipleObjects(DWORD count, const HANDLE *, BOOL, DWORD milliseconds,
                                       DWORD wakeMask)
{
    SimPending &call = pendingCall;
    // A look for messages alone: the one a blocking call's script says came meanwhile.
    if (count == 0) {
        bool message = messageWhileBlocked && (wakeMask & QS_ALLINPUT) != 0;
        messageWhileBlocked = false;
        if (!message)
            SimAdvanceTicks(milliseconds);
        return message ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
    }
    if (!waitStats.pendingLive) {
        waitStats.badCalls++;
        return WAIT_FAILED;
    }
    if (call.done)
        return WAIT_OBJECT_0;
    if (call.waitsLeft < 0) {
        SimAdvanceTicks(milliseconds);
        return WAIT_TIMEOUT;
    }
    // Without QS_ALLINPUT the messages wait and the call simply ends.
    bool messages = (wakeMask & QS_ALLINPUT) != 0;
    call.waitsLeft = messages ? call.waitsLeft - 1 : 0;
    call.done = call.waitsLeft == 0;
    return messages ? WAIT_OBJECT_0 + count : WAIT_OBJECT_0;
}

BOOL WINAPI CancelIo(HANDLE)
{
    waitStats.cancels++;
    // The call ends, aborted, once it is waited for: until then the driver still holds it.
    if (waitStats.pendingLive && !pendingCall.done)
        pendingCall = {pendingCall.overlapped, 0, false, FALSE, 0, ERROR_OPERATION_ABORTED};
    return TRUE;
}

BOOL WINAPI GetOverlappedResult(HANDLE, LPOVERLAPPED overlapped, LPDWORD count, BOOL wait)
{
    if (!waitStats.pendingLive || overlapped != pendingCall.overlapped || count == NULL) {
        waitStats.badCalls++;
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (wait && pendingCall.waitsLeft == 0)
        pendingCall.done = true;
    if (!pendingCall.done) {
        // Waiting here for a call that never ends would hang the test.
        waitStats.badCalls += wait;
        SetLastError(ERROR_IO_INCOMPLETE);
        return FALSE;
    }
    waitStats.pendingLive = 0;
    *count = pendingCall.count;
    if (!pendingCall.result)
        SetLastError(pendingCall.error);
    return pendingCall.result;
}
