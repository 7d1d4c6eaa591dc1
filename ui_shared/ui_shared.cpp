// The module instance every string load names, and window centring.
#include "ui_shared/ui_shared.h"

#include "ui_shared/ui_shared_internal.h"

static HINSTANCE moduleInstance = NULL;
static int screenWidth = 0;
static int screenHeight = 0;

HINSTANCE ModuleInstance() { return moduleInstance; }

void SetModuleInstance(HINSTANCE instance) { moduleInstance = instance; }

POINT CenteredPosition(int width, int height, int w, int h)
{
    // Each halving truncates toward zero, as C++ division does for signed ints.
    POINT corner;
    corner.x = width / 2 - w / 2;
    corner.y = height / 2 - h / 2;
    return corner;
}

void ForgetScreenSize()
{
    screenWidth = 0;
    screenHeight = 0;
}

static void MeasureScreen()
{
    HDC info = CreateICA("DISPLAY", NULL, NULL, NULL);
    if (info == NULL) {
        screenWidth = 1024;
        screenHeight = 768;
        return;
    }
    screenWidth = GetDeviceCaps(info, HORZRES);
    screenHeight = GetDeviceCaps(info, VERTRES);
    DeleteDC(info);
}

void CenterWindow(HWND window, int mode)
{
    // A measured width of 0 leaves the cache empty, so the next call measures again.
    if (screenWidth == 0)
        MeasureScreen();

    RECT rect = {0, 0, 0, 0};
    GetWindowRect(window, &rect);
    int w = rect.right - rect.left;
    int h = rect.bottom - rect.top;
    POINT corner = {rect.left, rect.top};
    if (mode == CENTER_ON_SCREEN)
        corner = CenteredPosition(screenWidth, screenHeight, w, h);
    MoveWindow(window, corner.x, corner.y, w, h, FALSE);
}
