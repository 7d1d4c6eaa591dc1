// A run with a command line, as deployment tools and scripts start the tool: no question asked
// of anyone, and an exit code that says what happened.
#include "app/command_line_internal.h"

#include "app/update_dialog.h"
#include "app/update_loop.h"
#include "app/update_loop_internal.h"
#include "build_config.h"
#include "device/device_link.h"
#include "resources/resource.h"
#include "transfer/chunked_transfer.h"
#include "ui_shared/ui_shared.h"

// As often as the update dialog looks while it follows the printer.
static const DWORD lookIntervalMs = 1000;

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

// A run's ends: the exit code and the words the log gives it, by the state the run ended in
// (a UiStateValue), or by one of these.
enum RunEnd {
    END_ALREADY_RUNNING = 0, // another instance runs: this one never began
    END_CLOSED_READY = 3,    // the user closed the update dialog with the printer ready
};
static const struct {
    WORD code;
    char text[18];
} runEnds[] = {
    {EXIT_ALREADY_RUNNING, "already running"},
    {EXIT_DONE, "one printer"},
    {EXIT_NOT_FOUND, "no printer"},
    {EXIT_FAILED, "nothing sent"},
    {EXIT_FAILED, "failed"},
    {EXIT_DONE, "done"},
    {EXIT_SEVERAL, "several printers"},
};

// Looks for the printer, once or, with a wait, about once a second until exactly one of the
// model is there or the wait is over; the lookup's state, with the printer's handles open when
// it is UI_READY. Each new answer is logged: a day's wait logs what changed, not every look.
static int LookUntilReady(const LinkConfig *config, DWORD waitSeconds)
{
    DWORD started = GetTickCount();
    // The dialog's record of what was found, in a run that shows none.
    UpdateShowing look = {0, config, 0, 0, 0};

    for (;;) {
        if (LookAgain(&look, LOOK_AFRESH))
            RunLog("lookup: %s", runEnds[look.state].text);
        if (look.state == UI_READY || GetTickCount() - started >= waitSeconds * 1000)
            return look.state;
        // Waits for nothing but the time: no window exists to answer meanwhile. Sleep would be
        // one more import against the executable's size budget.
        MsgWaitForMultipleObjects(0, NULL, FALSE, lookIntervalMs, 0);
    }
}

// The run the mode asks for; how it ended (a RunEnd or the state it ended in).
static int RunMode(HINSTANCE instance, const CommandLine *line, const LinkConfig *config)
{
    if (line->mode == RUN_INTERACTIVE) {
        int state = RunUpdateLoop(instance);
        return state == UI_READY ? END_CLOSED_READY : state;
    }
    // The printers are counted right before the send: the state is the one the transfer meets.
    int state = LookUntilReady(config, line->waitSeconds);
    if (state == UI_READY && line->mode != RUN_CHECK)
        state = RunTransferAction(instance,
                                  line->mode == RUN_PASSIVE ? TRANSFER_SHOWN : TRANSFER_UNSEEN)
                    ? UI_DONE
                    : UI_FAILED;
    CloseDeviceHandles();
    return state;
}

int RunWithCommandLine(HINSTANCE instance, const CommandLine *line)
{
    int end = END_ALREADY_RUNNING;

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
        end = RunMode(instance, line, &config);
    RunLog("result: %s, exit code %u", runEnds[end].text, runEnds[end].code);
    RunLogClose();
    return runEnds[end].code;
}

// The top of the run: the command line decides between the dialogs users see and a run for
// deployment tools, which itself may show the dialogs (only /log given); the loop sits below both.
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
