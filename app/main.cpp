// The platform's GUI entry point.
#include "app/update_loop.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand)
{
    (void)previous;
    (void)commandLine;
    (void)showCommand;
    return RunUpdateTool(instance);
}
