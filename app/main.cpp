// The process entry point: the tool needs none of the C runtime's start-up (no command line,
// no environment, no static constructors, no floating point, no thread-local data), so the
// executable starts here and stays within its size budget.
#include "app/update_tool.h"

extern "C" void WINAPI UpdateToolStart()
{
    ExitProcess((UINT)RunUpdateTool(GetModuleHandleA(NULL)));
}
