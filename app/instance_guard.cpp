// The one-instance rule: a flag in a data section that every process of the executable shares,
// and a named mutex that every copy of the tool for this printer model shares, wherever it lies.
#include "app/instance_guard_internal.h"

#include "build_config.h"

#include <windows.h>

#if defined(_WIN32)
// The "shared" attribute marks the PE section read/write-shared across processes.
#define SHARED_SECTION __attribute__((section("Shared"), shared))
#else
#define SHARED_SECTION
#endif

static volatile LONG instanceFlag SHARED_SECTION = 0;

// Windows 2000 and later keep a namespace per session and one all sessions share: a deployment
// tool's run as SYSTEM in session 0 and a user's run on the desktop meet only in the shared one.
// Earlier Windows have one namespace and refuse the prefix.
static const char sharedNamespace[] = "Global\\";
static const char mutexName[] = "UpdateTool ";

// Takes the mutex named after the printer model, for the life of the process (never closed).
// A copy of the tool in another folder (a deployment tool's cached copy beside a user's
// download) maps another file and so another flag: both would write to the one printer, each
// image inside the other's. 0 when another process holds it, or made it and keeps it from us.
static int ClaimPrinterModel()
{
    char name[sizeof sharedNamespace + sizeof mutexName + sizeof UPDATE_TOOL_HARDWARE_ID];
    OSVERSIONINFOA version;
    int at = 0;

    ZeroMemory(&version, sizeof version);
    version.dwOSVersionInfoSize = sizeof version;
    if (GetVersionExA(&version) && version.dwMajorVersion >= 5)
        at = lstrlenA(lstrcpynA(name, sharedNamespace, sizeof name));
    at += lstrlenA(lstrcpynA(name + at, mutexName, sizeof name - at));
    // A backslash would name a folder of the namespace; letters in one case, so that two builds
    // whose IDs differ in case alone (the lookup makes no difference) meet too.
    for (const char *c = UPDATE_TOOL_HARDWARE_ID; *c != '\0'; c++)
        name[at++] = *c == '\\' ? '#' : *c >= 'a' && *c <= 'z' ? (char)(*c - ('a' - 'A')) : *c;
    name[at] = '\0';
    SetLastError(0);
    HANDLE mutex = CreateMutexA(NULL, FALSE, name);
    return mutex != NULL && GetLastError() != ERROR_ALREADY_EXISTS;
}

int ClaimSingleInstance()
{
    // One atomic test-and-set, so that two starts at the same moment cannot both pass; the same
    // file started twice never gets as far as the mutex.
    return InterlockedCompareExchange(&instanceFlag, 1, 0) == 0 && ClaimPrinterModel();
}
