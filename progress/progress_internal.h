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

#endif
