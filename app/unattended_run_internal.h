// A run with a command line, for the run's top and its tests.
#ifndef UPDATE_TOOL_UNATTENDED_RUN_INTERNAL_H
#define UPDATE_TOOL_UNATTENDED_RUN_INTERNAL_H

#include "app/command_line_internal.h"

#include <windows.h>

// The exit codes of a run with a command line; deployment tools read them.
enum RunExitCode {
    EXIT_DONE = 0,
    EXIT_FAILED = 1,
    EXIT_NOT_FOUND = 2,
    EXIT_SEVERAL = 3,
    EXIT_CHECK_CURRENT = 4, // /check: one printer of the model, and it has this firmware already
    EXIT_UNCONFIRMED = 5,   // every byte sent; the printer did not come back reporting it
    EXIT_BAD_COMMAND_LINE = 87,  // ERROR_INVALID_PARAMETER
    EXIT_USER_LEFT = 1602,       // ERROR_INSTALL_USEREXIT: the user left the dialogs, nothing sent
    EXIT_ALREADY_RUNNING = 1618, // ERROR_INSTALL_ALREADY_RUNNING: deployment tools retry later
};

// Runs the tool as a usable command line asks (the usage, one check, a quiet, passive or
// interactive run, with its log) under the one-instance rule; the exit code (a RunExitCode).
int RunWithCommandLine(HINSTANCE instance, const CommandLine *line);

#endif
