// A run with a command line, as deployment tools and scripts start the tool: no question asked
// of anyone, and an exit code that says what happened.
#include "app/unattended_run_internal.h"

#include "app/instance_guard_internal.h"
#include "app/printer_lookup.h"
#include "app/restart_wait_internal.h"
#include "app/update_loop_internal.h"
#include "build_config.h"
#include "device/device_link.h"
#include "resources/resource.h"
#include "transfer/chunked_transfer.h"
#include "ui_shared/ui_shared.h"

// The box loads both texts from the string table itself, in the user's language, from the
// executable (no module named).
static const MSGBOXPARAMSA usage = {sizeof usage,
                                    NULL,
                                    NULL,
                                    MAKEINTRESOURCEA(IDS_USAGE),
                                    MAKEINTRESOURCEA(IDS_TITLE),
                                    MB_OK | MB_ICONINFORMATION,
                                    NULL,
                                    0,
                                    NULL,
                                    0};

static void LogStart(const LinkConfig *config)
{
    OSVERSIONINFOA version;

    ZeroMemory(&version, sizeof version);
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExA(&version);
    // Windows 95 to Me keep the build number in the low word only.
    RunLog("start: tool " UPDATE_TOOL_VERSION ", firmware " UPDATE_TOOL_FIRMWARE_VERSION
           ", %s, Windows %lu.%lu.%lu %.128s; %.600s",
           config->hardwareId, version.dwMajorVersion, version.dwMinorVersion,
           version.dwBuildNumber & 0xFFFF, version.szCSDVersion, GetCommandLineA());
}

// How a run with a command line can end.
enum RunEnd {
    END_ALREADY_RUNNING, // another instance runs: this one never began
    END_ONE_PRINTER,     // /check: exactly one printer of the model
    END_NOT_FOUND,
    END_SEVERAL,
    END_LEFT_UNSENT, // the user left the update dialog without a transfer
    END_FAILED,
    END_DONE,
    END_CURRENT,       // the printer has this firmware or a newer one: nothing sent
    END_CHECK_CURRENT, // /check: exactly one printer of the model, and it is current
    END_UNCONFIRMED,   // every byte sent; the printer did not come back with the revision
};

// The exit code of end, and in *words what the log calls it. A switch, not a table: the
// compiler names an end added without its code.
static int ExitCodeOf(RunEnd end, const char **words)
{
    switch (end) {
    case END_ALREADY_RUNNING:
        *words = "already running";
        return EXIT_ALREADY_RUNNING;
    case END_ONE_PRINTER:
        *words = "one printer";
        return EXIT_DONE;
    case END_NOT_FOUND:
        *words = "no printer";
        return EXIT_NOT_FOUND;
    case END_SEVERAL:
        *words = "several printers";
        return EXIT_SEVERAL;
    case END_LEFT_UNSENT:
        *words = "left without sending";
        return EXIT_USER_LEFT;
    case END_DONE:
        *words = "done";
        return EXIT_DONE;
    case END_CURRENT:
        *words = "already has this firmware, nothing sent";
        return EXIT_DONE;
    case END_CHECK_CURRENT:
        *words = "one printer, already has this firmware";
        return EXIT_CHECK_CURRENT;
    case END_UNCONFIRMED:
        *words = "sent, the printer has not reported the new firmware";
        return EXIT_UNCONFIRMED;
    case END_FAILED:
        break;
    }
    *words = "failed";
    return EXIT_FAILED;
}

// The end a run comes to in a state (a UiStateValue): the ready and current states are where
// /check ends, or a run with the dialogs whose user left without a transfer.
static RunEnd EndOf(int state, int mode)
{
    int check = mode == RUN_CHECK;
    switch (state) {
    case UI_READY:
        return check ? END_ONE_PRINTER : END_LEFT_UNSENT;
    case UI_CURRENT:
        return check ? END_CHECK_CURRENT : END_CURRENT;
    case UI_UNCONFIRMED:
        return END_UNCONFIRMED;
    case UI_NOT_FOUND:
        return END_NOT_FOUND;
    case UI_SEVERAL:
        return END_SEVERAL;
    case UI_DONE:
        return END_DONE;
    default:
        return END_FAILED;
    }
}

// Looks for the printer, once or, with a wait, about once a second until exactly one of the
// model is there or the wait is over; the lookup's state, with the printer's handles open when
// it is UI_READY or UI_CURRENT.
static int LookUntilReady(const LinkConfig *config, DWORD waitSeconds)
{
    DWORD started = GetTickCount();

    for (;;) {
        int state = LookForPrinter(config, LOOK_AFRESH);
        if (SendsOnAction(state) || GetTickCount() - started >= waitSeconds * 1000)
            return state;
        // Waits for nothing but the time: no window exists to answer meanwhile. Sleep would be
        // one more import against the executable's size budget.
        MsgWaitForMultipleObjects(0, NULL, FALSE, lookIntervalMs, 0);
    }
}

// The run the mode asks for, and how it ended.
static RunEnd RunAsAsked(HINSTANCE instance, const CommandLine *line, const LinkConfig *config)
{
    // A deployment tool asks what became of the printer: a run with the dialogs ends with its
    // last transfer's outcome, also when the user then went on (a failed transfer, then a Retry
    // that found no printer, is still a printer that may be without working firmware).
    if (line->mode == RUN_INTERACTIVE) {
        int state = RunUpdateLoop(instance);
        return state == UI_NOT_FOUND || state == UI_SEVERAL ? END_LEFT_UNSENT
                                                            : EndOf(state, line->mode);
    }
    // The printers are counted right before the send: the state is the one the transfer meets.
    int state = LookUntilReady(config, line->waitSeconds);
    int view = line->mode == RUN_PASSIVE ? TRANSFER_SHOWN : TRANSFER_UNSEEN;
    if (line->mode != RUN_CHECK && (state == UI_READY || (state == UI_CURRENT && line->force))) {
        state = TransferAndConfirm(instance, config, view);
    }
    CloseDeviceHandles();
    return EndOf(state, line->mode);
}

int RunWithCommandLine(HINSTANCE instance, const CommandLine *line)
{
    RunEnd end = END_ALREADY_RUNNING;
    const char *words;

    if (line->mode == RUN_HELP) {
        MessageBoxIndirectA(&usage);
        return EXIT_DONE;
    }
    // Windows' own boxes (no disk in a drive, a file it cannot open) would wait for a user whom
    // a deployment tool's run may not have, on a desktop nobody sees.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    if (line->logPath[0] != '\0' && !RunLogOpen(line->logPath))
        return EXIT_BAD_COMMAND_LINE;
    LinkConfig config = DefaultLinkConfig();
    LogStart(&config);
    if (ClaimSingleInstance())
        end = RunAsAsked(instance, line, &config);
    int code = ExitCodeOf(end, &words);
    RunLog("result: %s, exit code %u", words, code);
    RunLogClose();
    return code;
}
