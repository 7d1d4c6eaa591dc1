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
    int force; // /force: sent also to a printer that already has this firmware, or a newer one
    char logPath[MAX_PATH]; // empty: no log
};

// Reads text, a whole command line as GetCommandLineA gives it (the program's name first), into
// *parsed. It is split by the rules of msvcrt.dll, the C runtime mingw-w64 programs use, double-
// byte aware in the user's ANSI code page: the program's name runs to the first blank, or from a
// quote to the next, as it stands; in an argument 2n backslashes before a quote give n and the
// quote begins or ends a quoted part, 2n+1 give n and a literal quote, "" inside a quoted part
// gives a quote and ends the part, other backslashes are themselves, and a double-byte character
// is never split (its trail byte may be a backslash). 1 when it is usable (also with no
// argument); 0 for an argument that is no switch, an unknown switch, a missing or out-of-range
// value, a value that is itself a switch (begins with / or -), a switch given twice or a
// combination that makes no sense (/force only beside /quiet or /passive).
int ParseCommandLine(const char *text, CommandLine *parsed);

#endif
