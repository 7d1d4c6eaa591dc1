// The control side of the simulated kernel32 and setupapi: tests script devices, failures and
// the Windows version here, and read back what the code under test did and what it still holds.
#ifndef UPDATE_TOOL_SIM_KERNEL_H
#define UPDATE_TOOL_SIM_KERNEL_H

#include <windows.h>

#include <setupapi.h>

#include <deque>
#include <string>
#include <vector>

// Back to a machine with no devices, Windows XP (5.1), a single-byte code page, no scripted
// failures and every counter at zero. Handles and blocks still held are forgotten.
void SimKernelReset();

// ---- Memory: LocalAlloc/LocalFree and the process heap.

struct SimMemoryStats {
    int localAllocCalls; // every LocalAlloc call, failed ones included
    int localAllocs;     // blocks handed out
    int localFrees;
    int localLive;      // handed out and not yet freed
    int localNotZeroed; // blocks asked for without LMEM_ZEROINIT
    int heapAllocCalls;
    int heapAllocs;
    int heapFrees;
    int heapLive;
    int badFrees; // frees of blocks that were never handed out or were freed already
};
SimMemoryStats SimMemory();

// The nth LocalAlloc call from now fails (1: the next one); 0: none fails.
void SimFailLocalAllocAt(int nth);
// Every HeapAlloc call fails while set.
void SimFailAllHeapAllocs(bool fail);

// Requests above this size fail as they would on a machine without that much memory.
const SIZE_T simLargestBlock = 16u << 20;

// ---- Version and code page.

void SimSetVersion(DWORD major, DWORD minor);
void SimFailGetVersion(bool fail);
int SimGetVersionCalls();

// With on, IsDBCSLeadByte follows code page 932 (lead bytes 0x81-0x9F and 0xE0-0xFC).
void SimUseDoubleByteCodePage(bool on);

// The clock behind GetTickCount: each call answers the current count, then moves it on by the
// step (20 ms after a reset; 0 freezes it). It wraps at 2^32 as the platform's does.
void SimSetTickCount(DWORD now);
void SimSetTickStep(DWORD milliseconds);

// ---- Devices behind CreateFileA, WriteFile, DeviceIoControl and CloseHandle.

// What one WriteFile call does: its result and how many bytes it takes (at most those offered).
struct SimWriteStep {
    BOOL result;
    DWORD accepted;
    long reported = -1; // the count the call reports, when it differs from accepted
    // On an overlapped handle: waits the call stays pending for, each ended by a message for
    // the thread; -1: pending until cancelled, every wait running out its time. On a blocking
    // one, non-zero: a message for the thread came while the call blocked.
    int pendingWaits = 0;
};

struct SimIoctl {
    DWORD code;
    std::vector<BYTE> input;
    bool hadOutputBuffer;
    DWORD outputSize;
};

struct SimDevice {
    // Script
    std::string name;
    int opensAllowed =
        -1; // how many opens succeed; -1: all of them, 0: the device cannot be opened
    bool answersDescriptor = false; // IOCTL_GET_DEVICE_DESCRIPTOR
    USHORT vendorId = 0;
    USHORT productId = 0;
    std::vector<SimWriteStep> writePlan; // one step per WriteFile call; then every byte is taken
    BOOL vendorCommandResult = TRUE;
    std::vector<BYTE> reply;   // what a vendor command puts in its output buffer
    int ioctlPendingWaits = 0; // as SimWriteStep::pendingWaits, for every control request
    // A file rather than a device: opens honour each other's sharing, CREATE_ALWAYS and
    // TRUNCATE_EXISTING empty it, and a handle without append-only access writes from byte 0.
    bool isFile = false;
    DWORD attributes = FILE_ATTRIBUTE_NORMAL;

    // Record
    std::vector<BYTE> received;          // every byte a write accepted, in order
    std::vector<DWORD> writeSizes;       // the length each WriteFile call offered
    std::vector<ULONGLONG> writeOffsets; // the OVERLAPPED offset of each overlapped write
    std::vector<SimIoctl> ioctls;
    int opened = 0;
    int closed = 0;
};

// A device under name (compared without regard to case, as Windows does). The reference stays
// valid until the next SimKernelReset.
SimDevice &SimAddDevice(const std::string &name);
SimDevice *SimFindDevice(const std::string &name);

struct SimOpen {
    std::string name;
    DWORD access;
    DWORD share;
    DWORD disposition;
    DWORD flags;
    bool hadSecurity;
    bool hadTemplate;
    HANDLE result;
};
// Every CreateFileA call in order, failed ones included.
const std::vector<SimOpen> &SimOpenLog();

struct SimHandleStats {
    int opens; // handles handed out
    int failedOpens;
    int closes;
    int live;
    int badCloses; // CloseHandle on a handle that is not open
    int badCalls;  // I/O calls against the platform's rules (missing count pointers, overlapped
                   // or not otherwise than the handle was opened, ...)
};
SimHandleStats SimHandles();

// Overlapped calls and the waits for them (CreateEventA, MsgWaitForMultipleObjects, CancelIo,
// GetOverlappedResult). A wait for a call pending until cancelled moves GetTickCount's clock
// on by the time it was given.
struct SimWaitStats {
    int eventsLive;
    int pendingLive; // overlapped calls issued and not yet seen to their end
    int cancels;
    int badCalls; // an event closed, or a wait without its messages, while a call still pends
};
SimWaitStats SimWaits();

// A message for the thread is waiting: the next look at the queue alone finds it, once.
void SimSetMessageWaiting();

// The device name an open handle refers to; empty when the handle is not open.
std::string SimHandleName(HANDLE handle);

// The device handle opened last that is still open and is not besides; INVALID_HANDLE_VALUE
// when there is none. The link hands its second handle to no caller: tests find it here.
HANDLE SimOtherOpenHandle(HANDLE besides);

// "\\.\Usbscan<port>\<pipe>"
std::string SimScannerPipeName(int port, int pipe);
// Pipes 0 to 3 of a still-image port; pipe 0 answers the descriptor request with the IDs.
void SimAddScannerPort(int port, USHORT vendorId, USHORT productId);

// The command line GetCommandLineA answers ("UpdateTool.exe" after a reset).
void SimSetCommandLine(const std::string &line);

// The process's error mode, as SetErrorMode last set it (0 after a reset).
UINT SimErrorMode();

// ---- Device setup: the present devices of the one interface class the machine knows.

struct SimPnpDevice {
    // Script
    std::vector<char> hardwareIds;         // SPDRP_HARDWAREID as the platform stores it
    long reportedSize = -1;                // the size the platform reports; -1: that of hardwareIds
    std::vector<long> reportedSizeByQuery; // when given, the size reported by each query in turn
    DWORD propertyError = 0;               // non-zero: every query fails with this error
    // At or above 0, queries behave as on the oldest platforms: the first legacySuccesses
    // queries succeed whatever buffer they get, later ones fail with legacyError; each fills
    // as much of the buffer as it can. -1: buffer too small fails, a large enough one succeeds.
    int legacySuccesses = -1;
    DWORD legacyError = ERROR_INSUFFICIENT_BUFFER;
    std::string interfacePath; // empty: the device has no interface of the class

    // Record
    int propertyQueries = 0;
};

// Appended at the end of the set's device order. The reference stays valid until the next reset.
SimPnpDevice &SimAddPnpDevice();
std::deque<SimPnpDevice> &SimPnpDevices();

// A REG_MULTI_SZ: each text with its terminator, then an empty text.
std::vector<char> SimMultiSz(const std::vector<std::string> &texts);

// A present printer with these hardware IDs whose interface path opens the device of that name.
SimPnpDevice &SimAddPrinter(const std::string &path, const std::vector<std::string> &ids);

// The order in which enumerating the set's interfaces without a device record lists the
// devices' interfaces, by device position. Unset: the device order.
void SimSetInterfaceOrder(const std::vector<int> &devicePositions);

void SimFailClassDevs(bool fail);
void SimFailInterfaceEnum(bool fail);
void SimFailInterfaceDetail(bool fail);
// Refuses the listing of the device at index with error (0: lists as usual).
void SimFailDeviceEnumAt(DWORD index, DWORD error);
// The error the detail block's sizing call answers with (0: ERROR_INSUFFICIENT_BUFFER).
void SimDetailSizingAnswers(DWORD error);

struct SimSetupStats {
    int setsCreated;
    int setsDestroyed;
    int setsLive;
    int handlesLiveAtLastCreate; // open device handles when the last set was created
    DWORD lastFlags;
    bool lastHadEnumerator;
    bool lastHadParent;
    int interfaceEnums;
    int interfaceEnumsWithoutDevice;
    int detailFetches; // detail calls given a buffer
    int badCalls;      // unknown sets or records, wrong cbSize, buffer and size disagreeing
};
SimSetupStats SimSetup();

#endif
