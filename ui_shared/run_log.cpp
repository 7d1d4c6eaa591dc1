// The run's log: plain-text lines appended to the file the command line names.
#include "ui_shared/ui_shared.h"

#include <stdarg.h>

// Open from the start of a run to its end: the run and the transfer below it write to it.
static HANDLE logFile = INVALID_HANDLE_VALUE;

int RunLogOpen(const char *path)
{
    // Append-only: every write lands at the end as the file stands then, also when another run
    // appends to the same file. Write-through: a run that is killed, or a machine that loses
    // power, leaves every line written before it. Shared, so that a support engineer can read
    // it while the run goes on. Windows 95 to Me know no append-only access: there the log
    // stays empty, and nothing else changes.
    logFile = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                          OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, NULL);
    return logFile != INVALID_HANDLE_VALUE;
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
