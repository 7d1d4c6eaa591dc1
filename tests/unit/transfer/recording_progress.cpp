// Progress calls that only record, standing in for the progress window in the transfer tests.
#include "progress/progress.h"
#include "resources/resource.h"
#include "transfer_log.h"

int ProgressOpen(UINT stringId, int enableCancel, const char *caption)
{
    if (Log().progressOpen)
        return 0;
    Log().progressOpen = 1;
    Log().trace.push_back("open" + std::to_string(stringId) + "/" + std::to_string(enableCancel) +
                          "/" + (caption != NULL ? caption : "(none)"));
    return 1;
}

void ProgressShowNotice(UINT stringId)
{
    Log().trace.push_back(stringId == IDS_PRINTER_BUSY ? "busy1" : stringId ? "notice" : "busy0");
}

void ProgressClose()
{
    if (Log().progressOpen)
        Log().trace.push_back("close");
    Log().progressOpen = 0;
}

int ProgressStep(DWORD total, DWORD current)
{
    Log().trace.push_back("step" + std::to_string(total) + "/" + std::to_string(current));
    return Log().stepResult;
}

void SetOwnerWindow(HWND owner) { Log().trace.push_back(owner == NULL ? "owner0" : "owner"); }

int PumpProgressMessages()
{
    Log().trace.push_back("pump");
    return 1;
}
