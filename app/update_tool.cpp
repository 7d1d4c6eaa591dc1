// The top of the run: the command line decides between the dialogs users see and a run for
// deployment tools, which itself may show the dialogs (only /log given); the loop sits below both.
#include "app/update_tool.h"

#include "app/command_line_internal.h"
#include "app/instance_guard_internal.h"
#include "app/unattended_run_internal.h"
#include "app/update_loop_internal.h"

int RunUpdateTool(HINSTANCE instance)
{
    CommandLine line;
    int usable = ParseCommandLine(GetCommandLineA(), &line);
    // Any argument at all makes a run for deployment tools and scripts, ended by an exit code.
    if (line.arguments != 0)
        return usable ? RunWithCommandLine(instance, &line) : EXIT_BAD_COMMAND_LINE;
    if (!ClaimSingleInstance())
        return 0;
    RunUpdateLoop(instance);
    return 0;
}
