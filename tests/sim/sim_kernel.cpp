// The simulated kernel32 of the host tests: last error, memory with counters, strings, the
// version, and wsprintfA; plus the control functions for them declared in sim_kernel.h.
#include "sim_kernel.h"

#include "sim_kernel_internal.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

namespace
{

DWORD lastError = 0;

std::set<void *> localBlocks;
std::set<void *> heapBlocks;
SimMemoryStats memory = {};
int failLocalAt = 0;
bool failAllHeap = false;

DWORD versionMajor = 5;
DWORD versionMinor = 1;
bool failVersion = false;
int versionCalls = 0;

bool doubleByteCodePage = false;

// Far enough from 0 that code which assumes a small tick count shows, and a default step large
// enough that anything waiting on the clock sees its wait over at the next reading.
const DWORD tickStart = 1000000;
const DWORD tickStepDefault = 20;
DWORD tickNow = tickStart;
DWORD tickStep = tickStepDefault;

// The one process heap; any other heap handle is refused.
char processHeap;

// Garbage for blocks that were not asked to be zero-filled, so that relying on a fill shows.
const int garbageByte = 0xA5;

void *TakeBlock(SIZE_T bytes, bool zeroed)
{
    if (bytes > simLargestBlock)
        return NULL;
    void *block = malloc(bytes);
    if (block && bytes)
        memset(block, zeroed ? 0 : garbageByte, bytes);
    return block;
}

std::string commandLine;
std::vector<std::string> mutexNames; // every name CreateMutexA was given: a second one exists
UINT errorMode;

} // namespace

void SimKernelReset()
{
    lastError = 0;
    // Blocks still held belong to a test that has already failed on them.
    for (void *block : localBlocks)
        free(block);
    for (void *block : heapBlocks)
        free(block);
    localBlocks.clear();
    heapBlocks.clear();
    memory = {};
    failLocalAt = 0;
    failAllHeap = false;
    versionMajor = 5;
    versionMinor = 1;
    failVersion = false;
    versionCalls = 0;
    doubleByteCodePage = false;
    commandLine = "UpdateTool.exe";
    mutexNames.clear();
    errorMode = 0;
    tickNow = tickStart;
    tickStep = tickStepDefault;
    SimResetDevices();
    SimResetSetup();
}

SimMemoryStats SimMemory()
{
    SimMemoryStats stats = memory;
    stats.localLive = static_cast<int>(localBlocks.size());
    stats.heapLive = static_cast<int>(heapBlocks.size());
    return stats;
}

void SimFailLocalAllocAt(int nth) { failLocalAt = nth > 0 ? memory.localAllocCalls + nth : 0; }

void SimFailAllHeapAllocs(bool fail) { failAllHeap = fail; }

void SimSetVersion(DWORD major, DWORD minor)
{
    versionMajor = major;
    versionMinor = minor;
}

void SimFailGetVersion(bool fail) { failVersion = fail; }
int SimGetVersionCalls() { return versionCalls; }
void SimUseDoubleByteCodePage(bool on) { doubleByteCodePage = on; }

void SimSetTickCount(DWORD now) { tickNow = now; }

void SimAdvanceTicks(DWORD milliseconds) { tickNow += milliseconds; }

void SimSetTickStep(DWORD milliseconds) { tickStep = milliseconds; }

DWORD WINAPI GetLastError(void) { return lastError; }
void WINAPI SetLastError(DWORD error) { lastError = error; }

HLOCAL WINAPI LocalAlloc(UINT flags, SIZE_T bytes)
{
    memory.localAllocCalls++;
    if (memory.localAllocCalls == failLocalAt) {
        lastError = ERROR_NOT_ENOUGH_MEMORY;
        return NULL;
    }
    void *block = TakeBlock(bytes, (flags & LMEM_ZEROINIT) != 0);
    if (!block) {
        lastError = ERROR_NOT_ENOUGH_MEMORY;
        return NULL;
    }
    memory.localAllocs++;
    if (!(flags & LMEM_ZEROINIT))
        memory.localNotZeroed++;
    localBlocks.insert(block);
    return block;
}

HLOCAL WINAPI LocalFree(HLOCAL block)
{
    if (block == NULL)
        return NULL;
    if (localBlocks.erase(block) == 0) {
        memory.badFrees++;
        lastError = ERROR_INVALID_HANDLE;
        return block;
    }
    memory.localFrees++;
    free(block);
    return NULL;
}

HANDLE WINAPI GetProcessHeap(void) { return &processHeap; }

LPVOID WINAPI HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes)
{
    memory.heapAllocCalls++;
    if (heap != &processHeap || failAllHeap)
        return NULL;
    void *block = TakeBlock(bytes, (flags & HEAP_ZERO_MEMORY) != 0);
    if (!block)
        return NULL;
    memory.heapAllocs++;
    heapBlocks.insert(block);
    return block;
}

BOOL WINAPI HeapFree(HANDLE heap, DWORD flags, LPVOID block)
{
    (void)flags;
    if (heap != &processHeap || heapBlocks.erase(block) == 0) {
        memory.badFrees++;
        lastError = ERROR_INVALID_PARAMETER;
        return FALSE;
    }
    memory.heapFrees++;
    free(block);
    return TRUE;
}

int WINAPI lstrlenA(LPCSTR text) { return text ? static_cast<int>(strlen(text)) : 0; }

LONG WINAPI InterlockedCompareExchange(LONG volatile *target, LONG exchange, LONG comparand)
{
    return __sync_val_compare_and_swap(target, comparand, exchange);
}

LPSTR WINAPI lstrcpynA(LPSTR dest, LPCSTR source, int max)
{
    if (max <= 0)
        return dest;
    int i = 0;
    for (; i < max - 1 && source[i] != '\0'; i++)
        dest[i] = source[i];
    dest[i] = '\0';
    return dest;
}

BOOL WINAPI IsDBCSLeadByte(BYTE test)
{
    if (!doubleByteCodePage)
        return FALSE;
    return (test >= 0x81 && test <= 0x9F) || (test >= 0xE0 && test <= 0xFC);
}

// ASCII only: the simulated machine's ANSI code page has no other letters that change.
LPSTR WINAPI CharLowerA(LPSTR text)
{
    if ((reinterpret_cast<ULONG_PTR>(text) >> 16) == 0) {
        ULONG_PTR c = reinterpret_cast<ULONG_PTR>(text) & 0xFF;
        if (c >= 'A' && c <= 'Z')
            c += 'a' - 'A';
        return reinterpret_cast<LPSTR>(c);
    }
    for (char *p = text; *p != '\0'; p++)
        if (*p >= 'A' && *p <= 'Z')
            *p = static_cast<char>(*p + ('a' - 'A'));
    return text;
}

// wsprintfA never stores more than 1024 characters, its terminator included.
int WINAPIV wsprintfA(LPSTR buffer, LPCSTR format, ...)
{
    char text[1024];
    va_list args;
    va_start(args, format);
    int length = vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (length < 0)
        length = 0;
    if (length > static_cast<int>(sizeof text) - 1)
        length = static_cast<int>(sizeof text) - 1;
    memcpy(buffer, text, static_cast<size_t>(length));
    buffer[length] = '\0';
    return length;
}

BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA info)
{
    versionCalls++;
    if (info == NULL || info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA) || failVersion) {
        lastError = ERROR_INVALID_PARAMETER;
        return FALSE;
    }
    info->dwMajorVersion = versionMajor;
    info->dwMinorVersion = versionMinor;
    info->dwBuildNumber = 2600;
    // 1 for the 4.x consumer releases, 2 for the NT line: the tool never looks at it.
    info->dwPlatformId = (versionMajor == 4 && versionMinor != 0) ? 1 : 2;
    info->szCSDVersion[0] = '\0';
    return TRUE;
}

DWORD WINAPI GetTickCount(void)
{
    DWORD now = tickNow;
    tickNow += tickStep;
    return now;
}

void SimSetCommandLine(const std::string &line) { commandLine = line; }

LPSTR WINAPI GetCommandLineA(void) { return const_cast<LPSTR>(commandLine.c_str()); }

HANDLE WINAPI CreateMutexA(LPSECURITY_ATTRIBUTES, BOOL, LPCSTR name)
{
    bool made = std::find(mutexNames.begin(), mutexNames.end(), name) != mutexNames.end();
    mutexNames.push_back(name);
    SetLastError(made ? ERROR_ALREADY_EXISTS : 0);
    return reinterpret_cast<HANDLE>(0x700000 + mutexNames.size());
}
UINT WINAPI SetErrorMode(UINT mode)
{
    UINT before = errorMode;
    errorMode = mode;
    return before;
}
UINT SimErrorMode() { return errorMode; }
void WINAPI GetLocalTime(LPSYSTEMTIME time) { memset(time, 0, sizeof *time); }

int WINAPI wvsprintfA(LPSTR buffer, LPCSTR format, va_list values)
{
    int length = vsnprintf(buffer, 1024, format, values);
    return length < 0 ? 0 : length > 1023 ? 1023 : length;
}
