// The command line of a run for deployment tools and scripts, for the run and its tests.
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

// The exit codes of a run with a command line; deployment tools read them.
enum RunExitCode {
    EXIT_DONE = 0,
    EXIT_FAILED = 1,
    EXIT_NOT_FOUND = 2,
    EXIT_SEVERAL = 3,
    EXIT_BAD_COMMAND_LINE = 87,  // ERROR_INVALID_PARAMETER
    EXIT_ALREADY_RUNNING = 1618, // ERROR_INSTALL_ALREADY_RUNNING: deployment tools retry later
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

// Runs the tool as a usable command line asks (the usage, one check, a quiet, passive or
// interactive run, with its log) under the one-instance rule; the exit code (a RunExitCode).
int RunWithCommandLine(HINSTANCE instance, const CommandLine *line);

#endif
