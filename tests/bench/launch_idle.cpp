// Start-up timer: starts a GUI program and reports how long it took to become idle in its first
// window, then waits for it and passes on its exit code.
//
// Idle is what WaitForInputIdle reports: the program's thread is waiting for input with nothing
// pending, so its dialog is created, filled and painted. Prints one JSON line.
// Usage: launch_idle PROGRAM.exe
#include <windows.h>

#include <stdio.h>

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: launch_idle PROGRAM.exe\n");
        return 2;
    }
    STARTUPINFOA startup;
    PROCESS_INFORMATION process;
    ZeroMemory(&startup, sizeof startup);
    ZeroMemory(&process, sizeof process);
    startup.cb = sizeof startup;

    LARGE_INTEGER frequency, start, idle;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    if (!CreateProcessA(argv[1], NULL, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process)) {
        printf("{\"event\":\"no-start\",\"error\":%lu}\n", GetLastError());
        return 1;
    }
    DWORD waited = WaitForInputIdle(process.hProcess, 60000);
    QueryPerformanceCounter(&idle);
    printf("{\"event\":\"%s\",\"ms\":%.1f,\"pid\":%lu}\n", waited == 0 ? "idle" : "no-idle",
           (double)(idle.QuadPart - start.QuadPart) * 1000.0 / (double)frequency.QuadPart,
           process.dwProcessId);
    fflush(stdout);

    DWORD code = 1;
    WaitForSingleObject(process.hProcess, INFINITE);
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return (int)code;
}
