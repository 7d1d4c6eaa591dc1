// The module instance every string load names, and window centring.
#include "ui_shared/ui_shared.h"

#include "ui_shared/ui_shared_internal.h"

// Named by each transfer; every string and dialog load names it, and before the first
// transfer none stands for the executable itself.
static HINSTANCE moduleInstance = NULL;
// The screen's size, measured once: centring every dialog would otherwise open a display
// information context each time. Kept for the life of the process.
static SIZE screenSize = {0, 0};

HINSTANCE ModuleInstance() { return moduleInstance; }

void SetModuleInstance(HINSTANCE instance) { moduleInstance = instance; }

POINT CenteredPosition(int width, int height, int w, int h)
{
    // Each halving truncates toward zero, as C++ division does for signed ints.
    POINT corner = {width / 2 - w / 2, height / 2 - h / 2};
    return corner;
}

static void MeasureScreen()
{
    HDC info = CreateICA("DISPLAY", NULL, NULL, NULL);
    if (info == NULL) {
        screenSize.cx = 1024;
        screenSize.cy = 768;
        return;
    }
    screenSize.cx = GetDeviceCaps(info, HORZRES);
    screenSize.cy = GetDeviceCaps(info, VERTRES);
    DeleteDC(info);
}

void CenterWindow(HWND window, int mode)
{
    // A measured width of 0 leaves the cache empty, so the next call measures again.
    if (screenSize.cx == 0)
        MeasureScreen();

    RECT rect = {0, 0, 0, 0};
    GetWindowRect(window, &rect);
    int w = rect.right - rect.left;
    int h = rect.bottom - rect.top;
    POINT corner = {rect.left, rect.top};
    if (mode == CENTER_ON_SCREEN)
        corner = CenteredPosition(screenSize.cx, screenSize.cy, w, h);
    MoveWindow(window, corner.x, corner.y, w, h, FALSE);
}
