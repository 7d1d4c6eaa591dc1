// The modeless progress dialog with its hand-painted bar, and the pump that keeps the tool's
// windows answering while the transfer waits for the printer.
#ifndef UPDATE_TOOL_PROGRESS_H
#define UPDATE_TOOL_PROGRESS_H

#include <windows.h>

// Opens the dialog and answers 1. While one is open, an open ignores its arguments, leaves the
// dialog as it is and answers 0: whoever opened it closes it, once. A close with nothing open
// does nothing.
int ProgressOpen(UINT stringId, int enableCancel, const char *caption);
void ProgressClose();

// Moves the bar to current out of total; the window is repainted when the percentage it shows
// changes, so it is never more than a percentage behind. Runs no messages.
// 1 tells the caller to stop (cancel requested, dialog gone, current beyond total, or a
// total of 0, which cannot be shown); 0 to go on. A step that does not grow the bar returns
// 0 unless a cancel was requested or the dialog is gone.
int ProgressStep(DWORD total, DWORD current);

// Says a notice in the dialog's text line, the string stringId (IDS_PRINTER_BUSY while the
// printer is busy writing, IDS_RESTARTING while it restarts), or puts the open's text back
// (stringId 0). Nothing when the dialog is gone.
void ProgressShowNotice(UINT stringId);

// Runs the dialog's pending messages while no cancel is requested, then every other pending
// message of the thread, last so that a wait that follows wakes for whatever arrives after it:
// whoever waits runs it when a message arrives. 1 when no cancel is requested, 0 when one is.
int PumpProgressMessages();

// The window that owns the progress dialog and is disabled while it is open; none here.
void SetOwnerWindow(HWND owner);

#endif
