// What the simulated user32, gdi32 and resources need of one another; tests use sim_ui.h.
#ifndef UPDATE_TOOL_SIM_UI_INTERNAL_H
#define UPDATE_TOOL_SIM_UI_INTERNAL_H

#include "sim_ui.h"

// user32 side: the pixels of a window's client area (row-major, width x height); NULL for a
// window that does not exist.
COLORREF *SimSurface(HWND window, int *width, int *height);

// gdi32 side: device contexts that draw on a window, clipped to clip (client coordinates).
HDC SimGdiOpenWindowDc(HWND window, bool forPaint, RECT clip);
// Closes a context opened for window the same way; false (and a misuse) when it was not one.
bool SimGdiCloseWindowDc(HWND window, HDC dc, bool forPaint);
void SimGdiNoteMisuse(const std::string &what);
void SimGdiReset();

void SimResourcesReset();

#endif
