// The command line of a run for deployment tools and scripts, for the run's top, the
// command-line runs and their tests.
#ifndef UPDATE_TOOL_COMMAND_LINE_INTERNAL_H
#define UPDATE_TOOL_COMMAND_LINE_INTERNAL_H

#include <windows.h>

enum RunMode {
    RUN_INTERACTIVE = 0, // the dialogs as without a command line (only /log given)
    RUN_QUIET = 1,       // no window at all
    RUN_PASSIVE = 2,     // the progress dialog only
    RUN_CHECK = 3,       // one look, nothing sent
    RUN_HELP = 4,        // the usage
};

struct CommandLine {
    int arguments; // how many followed the program's name
    int mode;      // a RunMode
    DWORD waitSeconds;
    char logPath[MAX_PATH]; // empty: no log
};

// Reads text, a whole command line as GetCommandLineA gives it (the program's name first), into
// *parsed, split as Windows' C runtime splits it. 1 when it is usable (also with no argument);
// 0 for an unknown switch, a missing or out-of-range value, a switch given twice or a
// combination that makes no sense.
int ParseCommandLine(const char *text, CommandLine *parsed);

#endif
