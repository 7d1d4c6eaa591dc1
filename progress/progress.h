// The modeless progress dialog with its hand-painted bar, and the pump that keeps the tool
// painting between blocking writes.
#ifndef UPDATE_TOOL_PROGRESS_H
#define UPDATE_TOOL_PROGRESS_H

#include <windows.h>

// Opens and closes nest; only the outermost pair creates and destroys the window.
void ProgressOpen(UINT stringId, int enableCancel, const char *caption);
void ProgressClose();

// Moves the bar to current out of total and runs the thread's pending messages.
// 1 tells the caller to stop (cancel requested, dialog gone, current beyond total), else 0.
int ProgressStep(DWORD total, DWORD current);

// The window that owns the progress dialog and is disabled while it is open; none here.
void SetOwnerWindow(HWND owner);

INT_PTR CALLBACK ProgressDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

#endif
