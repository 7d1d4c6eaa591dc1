// The run's log: plain-text lines appended to the file the command line names.
#include "ui_shared/ui_shared.h"

#include <stdarg.h>

// Open from the start of a run to its end: the run and the transfer below it write to it.
static HANDLE logFile = INVALID_HANDLE_VALUE;

// SetProcessMitigationPolicy's redirection-trust policy (Windows 10 22H2 and 11): the process
// then follows no junction or mount point that a user who is not an administrator made.
typedef BOOL(WINAPI *MitigationPolicyCall)(int policy, const void *value, SIZE_T size);
static const int redirectionTrustPolicy = 16;
static const DWORD enforceRedirectionTrust = 1;

// A deployment tool runs the tool as SYSTEM with a log in a folder where users may make files
// and links beforehand: a log that is a link, or a file that is also another file, would have
// SYSTEM append to whatever the user chose. Where Windows can, no folder on the way is a user's
// junction either.
static void TrustNoUsersRedirection()
{
    MitigationPolicyCall setPolicy = (MitigationPolicyCall)(void (*)(void))SystemFunction(
        "kernel32.dll", "SetProcessMitigationPolicy");
    if (setPolicy != NULL)
        setPolicy(redirectionTrustPolicy, &enforceRedirectionTrust, sizeof enforceRedirectionTrust);
}

int RunLogOpen(const char *path)
{
    BY_HANDLE_FILE_INFORMATION file;

    TrustNoUsersRedirection();
    // Append-only: every write lands at the end as the file stands then, also when another run
    // appends to the same file. Write-through: a run that is killed, or a machine that loses
    // power, leaves every line written before it. Shared, so that a support engineer can read
    // it while the run goes on, and a second run can say in it that it did not start. The last
    // component is opened as it is, a link never followed, and refused below. Windows 95 to Me
    // know no append-only access: there the log stays empty, and nothing else changes.
    logFile = CreateFileA(
        path, FILE_APPEND_DATA | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
        OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH | FILE_FLAG_OPEN_REPARSE_POINT,
        NULL);
    if (logFile == INVALID_HANDLE_VALUE)
        return 0;
    if (!GetFileInformationByHandle(logFile, &file) ||
        (file.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 || file.nNumberOfLinks > 1) {
        RunLogClose();
        return 0;
    }
    return 1;
}

void RunLogClose()
{
    if (logFile != INVALID_HANDLE_VALUE)
        CloseHandle(logFile);
    logFile = INVALID_HANDLE_VALUE;
}

void RunLog(const char *format, ...)
{
    // The time, then at most the 1024 characters wvsprintfA stores, then the line's end.
    char line[24 + 1024 + 2];
    SYSTEMTIME now;
    va_list values;
    DWORD written = 0;

    if (logFile == INVALID_HANDLE_VALUE)
        return;
    GetLocalTime(&now);
    int length = wsprintfA(line, "%04u-%02u-%02u %02u:%02u:%02u.%03u ", now.wYear, now.wMonth,
                           now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds);
    va_start(values, format);
    length += wvsprintfA(line + length, format, values);
    va_end(values);
    line[length++] = '\r';
    line[length++] = '\n';
    // Each line in one write, so that lines of two runs never mix.
    WriteFile(logFile, line, (DWORD)length, &written, NULL);
}
