// The progress bar's arithmetic, inside the progress window and for its tests.
#ifndef UPDATE_TOOL_PROGRESS_INTERNAL_H
#define UPDATE_TOOL_PROGRESS_INTERNAL_H

#include <windows.h>

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

// The bar's name for screen readers (the dialog's text line) and its value (the percentage as
// drawn, "52% "): texts the dialog keeps while it is open, read when a client asks. Whoever
// changes either hands over the text it shows.
void SetBarTexts(const char *name, const char *value);

// The answer to WM_GETOBJECT for the progress dialog: its client area as a progress bar named by
// the dialog's text line, valued by the percentage drawn. The dialog keeps the object until
// ReleaseBarAccessible. 0, so the window answers as it would without it, for other objects and
// where Windows has no Active Accessibility.
LRESULT AnswerBarAccessible(HWND dialog, WPARAM flags, LPARAM objectId);

// The dialog is going: a client that still holds its object gets failures from now on.
void ReleaseBarAccessible();

// Tells listening clients of a change (EVENT_OBJECT_NAMECHANGE or _VALUECHANGE) of the dialog's
// bar; nothing where Windows cannot tell them.
void NotifyBarChange(HWND dialog, DWORD event);

#endif
