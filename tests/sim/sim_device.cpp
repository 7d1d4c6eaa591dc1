// The simulated device namespace of the host tests: CreateFileA, WriteFile, DeviceIoControl and
// CloseHandle over scripted devices that record every byte, control request, open and close.
#include "sim_kernel.h"

#include "sim_kernel_internal.h"

#include <usbprint.h>
#include <usbscan.h>

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
SimHandleStats handleStats = {};
ULONG_PTR nextHandle = 0x1000;

SimDevice *DeviceOf(HANDLE handle)
{
    auto found = openHandles.find(handle);
    return found == openHandles.end() ? NULL : found->second;
}

// One overlapped call, from its issue until GetOverlappedResult has reported its end.
struct SimPending {
    HANDLE file;
    HANDLE event;
    int waitsLeft; // -1: until cancelled
    bool done;
    BOOL result;
    DWORD count;
    DWORD error;
};
std::map<LPOVERLAPPED, SimPending> pendingCalls;
std::set<HANDLE> events;
ULONG_PTR nextEvent = 0x800000;
SimWaitStats waitStats = {};

// Ends an overlapped call at once (waits 0) or leaves it pending. The caller's answer follows
// the platform: TRUE when done at once, FALSE with ERROR_IO_PENDING, or the failure itself.
BOOL IssueOverlapped(HANDLE file, LPOVERLAPPED overlapped, int waits, BOOL result, DWORD count)
{
    if (waits == 0 && !result) {
        SetLastError(ERROR_GEN_FAILURE);
        return FALSE;
    }
    pendingCalls[overlapped] = {file,  overlapped->hEvent, waits, waits == 0, result,
                                count, ERROR_GEN_FAILURE};
    if (waits == 0)
        return TRUE;
    SetLastError(ERROR_IO_PENDING);
    return FALSE;
}

} // namespace

void SimResetDevices()
{
    devices.clear();
    openLog.clear();
    openHandles.clear();
    handleStats = {};
    pendingCalls.clear();
    events.clear();
    waitStats = {};
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

const std::vector<SimOpen> &SimOpenLog()
{
    return openLog;
}

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
    if (device == NULL || device->opensAllowed == device->opened) {
        handleStats.failedOpens++;
        SetLastError(ERROR_FILE_NOT_FOUND);
    } else {
        entry.result = reinterpret_cast<HANDLE>(nextHandle);
        nextHandle += 4;
        openHandles[entry.result] = device;
        device->opened++;
        handleStats.opens++;
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
    device->received.insert(device->received.end(), offered.begin(), offered.begin() + accepted);
    DWORD reported = step.reported >= 0 ? static_cast<DWORD>(step.reported) : accepted;
    if (overlapped) {
        device->writeOffsets.push_back(overlapped->Offset |
                                       static_cast<ULONGLONG>(overlapped->OffsetHigh) << 32);
        return IssueOverlapped(file, overlapped, step.pendingWaits, step.result, reported);
    }
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
            return IssueOverlapped(handle, overlapped, device->ioctlPendingWaits, TRUE,
                                   sizeof descriptor);
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
            return IssueOverlapped(handle, overlapped, device->ioctlPendingWaits, TRUE, count);
        if (returned)
            *returned = count;
        return TRUE;
    }
    SetLastError(ERROR_INVALID_FUNCTION);
    return FALSE;
}

BOOL WINAPI CloseHandle(HANDLE object)
{
    if (events.erase(object) != 0) {
        for (auto it = pendingCalls.begin(); it != pendingCalls.end();) {
            if (it->second.event != object) {
                ++it;
                continue;
            }
            if (!it->second.done)
                waitStats.badCalls++;
            it = pendingCalls.erase(it);
        }
        return TRUE;
    }
    SimDevice *device = DeviceOf(object);
    if (device == NULL) {
        handleStats.badCloses++;
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    openHandles.erase(object);
    device->closed++;
    handleStats.closes++;
    return TRUE;
}

SimWaitStats SimWaits()
{
    SimWaitStats stats = waitStats;
    stats.eventsLive = static_cast<int>(events.size());
    stats.pendingLive = 0;
    for (const auto &call : pendingCalls)
        stats.pendingLive += call.second.done ? 0 : 1;
    return stats;
}

HANDLE WINAPI CreateEventA(LPSECURITY_ATTRIBUTES, BOOL, BOOL, LPCSTR)
{
    HANDLE event = reinterpret_cast<HANDLE>(nextEvent);
    nextEvent += 4;
    events.insert(event);
    return event;
}

DWORD WINAPI MsgWaitForMultipleObjects(DWORD count, const HANDLE *handles, BOOL, DWORD milliseconds,
                                       DWORD wakeMask)
{
    SimPending *call = NULL;
    for (auto &entry : pendingCalls)
        if (count == 1 && entry.second.event == handles[0])
            call = &entry.second;
    if (call == NULL) {
        waitStats.badCalls++;
        return WAIT_FAILED;
    }
    if (call->done)
        return WAIT_OBJECT_0;
    if (call->waitsLeft < 0) {
        waitStats.timeouts++;
        SimAdvanceTicks(milliseconds);
        return WAIT_TIMEOUT;
    }
    // Without QS_ALLINPUT the messages wait: the call simply ends.
    if (!(wakeMask & QS_ALLINPUT))
        call->waitsLeft = 0;
    else
        call->waitsLeft--;
    call->done = call->waitsLeft == 0;
    if (wakeMask & QS_ALLINPUT) {
        waitStats.messageWakes++;
        return WAIT_OBJECT_0 + count;
    }
    return WAIT_OBJECT_0;
}

BOOL WINAPI CancelIo(HANDLE file)
{
    waitStats.cancels++;
    for (auto &entry : pendingCalls) {
        SimPending &call = entry.second;
        if (call.file == file && !call.done) {
            call.done = true;
            call.result = FALSE;
            call.count = 0;
            call.error = ERROR_OPERATION_ABORTED;
        }
    }
    return TRUE;
}

BOOL WINAPI GetOverlappedResult(HANDLE, LPOVERLAPPED overlapped, LPDWORD count, BOOL wait)
{
    auto found = pendingCalls.find(overlapped);
    if (found == pendingCalls.end() || count == NULL) {
        waitStats.badCalls++;
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    SimPending call = found->second;
    if (!call.done) {
        // Waiting here for a call that never ends would hang the test.
        if (wait)
            waitStats.badCalls++;
        SetLastError(ERROR_IO_INCOMPLETE);
        return FALSE;
    }
    pendingCalls.erase(found);
    *count = call.count;
    if (!call.result)
        SetLastError(call.error);
    return call.result;
}
