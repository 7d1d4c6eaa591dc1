// The modeless progress dialog with its hand-painted bar, and the pump that keeps the tool
// painting between blocking writes.
#ifndef UPDATE_TOOL_PROGRESS_H
#define UPDATE_TOOL_PROGRESS_H

#include <windows.h>

// Opens and closes nest; only the outermost pair creates and destroys the window. A nested
// open ignores its arguments. A close with nothing open does nothing.
void ProgressOpen(UINT stringId, int enableCancel, const char *caption);
void ProgressClose();

// Moves the bar to current out of total and runs the thread's pending messages.
// 1 tells the caller to stop (cancel requested, dialog gone, current beyond total, or a
// total of 0, which cannot be shown); 0 to go on. A step that does not grow the bar returns
// 0 whatever else holds.
int ProgressStep(DWORD total, DWORD current);

// Runs the thread's pending messages as a step does, without moving the bar: for the time a
// step's caller spends waiting.
void ProgressPumpMessages();

// The window that owns the progress dialog and is disabled while it is open; none here.
void SetOwnerWindow(HWND owner);

INT_PTR CALLBACK ProgressDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Pixels of a bar barWidth wide that current out of total fills, with the run spanning
// stepScale percent of the bar from stepOffset percent on. Unsigned 32-bit arithmetic that
// wraps and truncates; never more than barWidth. total must not be 0.
DWORD BarFillWidth(DWORD total, DWORD current, int barWidth, int stepScale, int stepOffset);

// The percentage shown for filledWidth pixels of barWidth, truncated toward zero; 0 for a
// bar with no width.
int PercentOfBar(int filledWidth, int barWidth);

// Where text of the given extent starts so that it is centred on bar (truncating halves).
POINT PercentTextOrigin(RECT bar, SIZE extent);

// The filled part's colour: the window colour with its red and blue bytes inverted.
COLORREF BarColour(COLORREF windowColour);

// The bar inside a frame, one pixel in from every edge.
RECT InnerBarRect(RECT frame);

#endif
