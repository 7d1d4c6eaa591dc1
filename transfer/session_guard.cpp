// The session guard: a hidden top-level window, not the progress dialog, because the user may
// close that dialog while the transfer goes on, and the answer must hold until the last byte.
// Windows from Vista on end a process whose only windows are hidden unless one of them has
// registered a reason; older ones ask hidden windows like any other.
#include "transfer/session_guard_internal.h"

#include "resources/resource.h"
#include "ui_shared/ui_shared.h"

// Not in every Windows: ShutdownBlockReasonCreate/Destroy came with Vista, and NT 4 and 95
// have no SetThreadExecutionState. Importing them would keep the tool from loading there.
typedef BOOL(WINAPI *BlockReasonCreateCall)(HWND window, LPCWSTR reason);
typedef BOOL(WINAPI *BlockReasonDestroyCall)(HWND window);
typedef DWORD(WINAPI *ExecutionStateCall)(DWORD flags);

static const char guardClassName[] = "UpdateToolSessionGuard";

// One guard, from the header to the last byte: the window that answers the session's end, and
// the execution state to put back when it goes.
struct SessionGuard {
    HWND guardWindow;
    ExecutionStateCall setExecutionState;
    DWORD earlierExecutionState;
};

static SessionGuard guard = {NULL, NULL, 0};

static LRESULT CALLBACK GuardWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_QUERYENDSESSION:
        return FALSE;
    case WM_CLOSE:
        // The default would destroy the window, and the block with it: only the end of the
        // transfer takes the guard down.
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

static void RegisterBlockReason()
{
    BlockReasonCreateCall create = (BlockReasonCreateCall)(void (*)(void))SystemFunction(
        "user32.dll", "ShutdownBlockReasonCreate");
    WCHAR reason[256];

    if (create == NULL)
        return;
    // The one wide load in the tool: the reason is wide text, and a load through the ANSI code
    // page turns the Japanese text into question marks wherever the user's language is
    // Japanese but the code page is not 932. Windows 95 to Me export LoadStringW too, if only
    // as a stub, so the import keeps the tool loading there; they never get this far.
    reason[0] = 0;
    LoadStringW(ModuleInstance(), IDS_SESSION_BLOCKED, reason, 256);
    create(guard.guardWindow, reason);
}

static void CreateGuardWindow()
{
    HINSTANCE instance = GetModuleHandleA(NULL);
    WNDCLASSA windowClass;
    char caption[128];

    ZeroMemory(&windowClass, sizeof windowClass);
    windowClass.lpfnWndProc = GuardWindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = guardClassName;
    if (RegisterClassA(&windowClass) == 0)
        return;
    // The caption names the tool wherever Windows lists what holds up the session.
    caption[0] = '\0';
    LoadStringA(ModuleInstance(), IDS_TITLE, caption, sizeof caption);
    guard.guardWindow = CreateWindowExA(0, guardClassName, caption, WS_POPUP, 0, 0, 0, 0, NULL,
                                        NULL, instance, NULL);
    if (guard.guardWindow != NULL)
        RegisterBlockReason();
}

void SessionGuardBegin()
{
    CreateGuardWindow();
    guard.setExecutionState = (ExecutionStateCall)(void (*)(void))SystemFunction(
        "kernel32.dll", "SetThreadExecutionState");
    guard.earlierExecutionState = guard.setExecutionState != NULL
                                      ? guard.setExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED)
                                      : 0;
}

void SessionGuardEnd()
{
    // The begin's answer of 0 is either a failure or an earlier state of 0: both end with ours
    // cleared, as clearing changes nothing where the request had failed. A state without the
    // continuous flag held nothing lasting, and is put back by clearing ours too: passed as
    // it is, it would be a one-off request that leaves ours in force.
    if (guard.setExecutionState != NULL)
        guard.setExecutionState((guard.earlierExecutionState & ES_CONTINUOUS) != 0
                                    ? guard.earlierExecutionState
                                    : ES_CONTINUOUS);
    guard.setExecutionState = NULL;
    guard.earlierExecutionState = 0;

    if (guard.guardWindow != NULL) {
        // Also after a refused registration: destroying a reason the window lacks is harmless.
        BlockReasonDestroyCall destroy = (BlockReasonDestroyCall)(void (*)(void))SystemFunction(
            "user32.dll", "ShutdownBlockReasonDestroy");
        if (destroy != NULL)
            destroy(guard.guardWindow);
        DestroyWindow(guard.guardWindow);
    }
    guard.guardWindow = NULL;
    // Fails, changing nothing, where the registration had failed.
    UnregisterClassA(guardClassName, GetModuleHandleA(NULL));
}
