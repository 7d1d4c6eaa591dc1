// The update loop through its states, the dialog each state shows and the one-instance rule, on
// the simulated desktop with the lookup and the transfer replaced.
#include "app/command_line_internal.h"
#include "app/instance_guard_internal.h"
#include "app/unattended_run_internal.h"
#include "app/update_dialog.h"
#include "app/update_loop_internal.h"
#include "app/update_tool.h"
#include "build_config.h"
#include "device/device_link.h"
#include "resources/resource.h"
#include "sim_kernel.h"
#include "sim_ui.h"
#include "transfer/chunked_transfer.h"
#include "ui_shared/ui_shared.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace
{

// What the scripted user does with one showing of the update dialog.
enum UserChoice {
    CLICK_ACTION, // Transfer or Retry
    CLICK_EXIT,
    PRESS_ESC_THEN_EXIT, // Esc and the window's close box first: neither may end the dialog
    PRESS_ESC_THEN_ACTION,
    DIALOG_FAILS, // the dialog could not be created: no window at all
};

struct Showing {
    int uiState; // the showing's state when the dialog came up
    std::string message, action, exitText, caption;
    bool actionVisible;
    bool endedByEsc;
};

// The script, the lookup's and the transfer's answers, and what the run showed.
struct Script {
    std::vector<UserChoice> choices; // one per showing; CLICK_EXIT when run out
    std::vector<int> lookupResults;  // printers seen, one per fresh lookup; then presentNow
    int presentNow = 0;              // printers there when the script has no lookup left, and at
                                     // every look that keeps the handles
    int linkKind = LINK_PRINTER_CLASS;
    std::vector<int> transferResults; // one per RunTransferAction; 0 when run out
    std::vector<Showing> showings;
    size_t nextChoice = 0;       // the choice of the next showing
    int lookups = 0;             // fresh lookups
    std::vector<DWORD> lookedAt; // the clock at each fresh lookup
    int revision = -1;           // what the printer found reports
    int transfers = 0;
    int closeHandlesCalls = 0;
} script;

UserChoice ChoiceAt(size_t index)
{
    return index < script.choices.size() ? script.choices[index] : CLICK_EXIT;
}

void Post(HWND dialog, UINT message, int id)
{
    PostMessageA(dialog, message, message == WM_COMMAND ? MAKEWPARAM(id, BN_CLICKED) : 0, 0);
}

// The state the showing on screen shows, from the record the dialog reaches through its data.
int ShownState(HWND dialog)
{
    return reinterpret_cast<UpdateShowing *>(GetWindowLongPtrA(dialog, DWLP_USER))->state;
}

// Whether the next showing comes up or fails, as the script says.
void ArmNextShowing() { SimFailCreateDialog(ChoiceAt(script.nextChoice) == DIALOG_FAILS); }

// The user: reads each showing as it comes up and answers it with the script's next choice.
bool User(HWND dialog, int round)
{
    if (round == 0)
        script.nextChoice++;
    UserChoice choice = ChoiceAt(script.nextChoice - 1);
    bool esc = choice == PRESS_ESC_THEN_EXIT || choice == PRESS_ESC_THEN_ACTION;
    int button = choice == CLICK_ACTION || choice == PRESS_ESC_THEN_ACTION ? IDC_ACTION : IDC_EXIT;
    if (round == 0) {
        Showing s;
        s.uiState = ShownState(dialog);
        s.message = SimWindow(GetDlgItem(dialog, IDC_MESSAGE)).text;
        s.action = SimWindow(GetDlgItem(dialog, IDC_ACTION)).text;
        s.actionVisible = SimWindow(GetDlgItem(dialog, IDC_ACTION)).visible;
        s.exitText = SimWindow(GetDlgItem(dialog, IDC_EXIT)).text;
        s.caption = SimWindow(dialog).text;
        s.endedByEsc = esc;
        script.showings.push_back(s);
        ArmNextShowing();
        if (esc) {
            // What the dialog manager sends for Esc, and for Alt+F4 or the close box.
            Post(dialog, WM_COMMAND, IDCANCEL);
            Post(dialog, WM_CLOSE, 0);
            return true;
        }
    } else if (round > 1 || !esc) {
        return false;
    } else {
        script.showings.back().endedByEsc = false;
    }
    // A user reads the showing before the click: longer than a button's change of meaning lasts.
    SimSetTickCount(GetTickCount() + 1500);
    Post(dialog, WM_COMMAND, button);
    return true;
}

void ResetDesktop()
{
    script = Script();
    SimUiReset();
    SimSetModalUser(User);
}

int RunLoop(HINSTANCE instance)
{
    ArmNextShowing();
    return RunUpdateLoop(instance);
}

std::string Text(UINT id)
{
    char text[256] = "";
    LoadStringA(NULL, id, text, sizeof text);
    EXPECT_STRNE(text, "") << "string " << id;
    return text;
}

} // namespace

// The device link and the transfer, replaced at their boundary.
LinkConfig DefaultLinkConfig()
{
    LinkConfig config = {};
    config.kind = script.linkKind;
    strcpy(config.hardwareId, UPDATE_TOOL_HARDWARE_ID);
    return config;
}

int FindPrinter(LinkConfig, int *present, int mode)
{
    if (mode == LOOK_KEEP) {
        *present = script.presentNow;
        return *present == 1;
    }
    script.lookedAt.push_back(GetTickCount());
    size_t at = static_cast<size_t>(script.lookups++);
    *present = at < script.lookupResults.size() ? script.lookupResults[at] : script.presentNow;
    return *present == 1;
}

int PrinterRevision() { return script.revision; }

int CloseDeviceHandles()
{
    script.closeHandlesCalls++;
    return 1;
}

int RunTransferAction(HINSTANCE, int)
{
    size_t at = static_cast<size_t>(script.transfers++);
    return at < script.transferResults.size() ? script.transferResults[at] : 0;
}

namespace
{

struct LoopCase {
    const char *label;
    std::vector<int> lookups;
    std::vector<int> transfers;
    std::vector<UserChoice> choices;
    std::vector<int> expectedStates;
    int expectedLookups;
    int expectedTransfers;
};

std::vector<int> StatesShown()
{
    std::vector<int> states;
    for (const Showing &s : script.showings)
        states.push_back(s.uiState);
    return states;
}

// Every showing ended by the dialog itself, once.
void ExpectEveryShowingEndedOnce()
{
    EXPECT_EQ(SimUi().endDialogCalls, static_cast<int>(script.showings.size()));
    EXPECT_EQ(SimUi().modalsAbandoned, 0);
}

TEST(UpdateLoop, FollowsEveryTransitionAndAlwaysClosesTheHandlesOnce)
{
    const LoopCase cases[] = {
        {"not found, exit", {0}, {}, {CLICK_EXIT}, {UI_NOT_FOUND}, 1, 0},
        {"not found, retry twice, found, exit",
         {0, 0, 1},
         {},
         {CLICK_ACTION, CLICK_ACTION, CLICK_EXIT},
         {UI_NOT_FOUND, UI_NOT_FOUND, UI_READY},
         3,
         0},
        {"exit from ready never transfers", {1}, {}, {CLICK_EXIT}, {UI_READY}, 1, 0},
        {"transfer succeeds, exit",
         {1, 1},
         {1},
         {CLICK_ACTION, CLICK_EXIT},
         {UI_READY, UI_DONE},
         2,
         1},
        {"done ends the run whatever the dialog leaves",
         {1, 1},
         {1},
         {CLICK_ACTION, CLICK_ACTION, CLICK_ACTION},
         {UI_READY, UI_DONE},
         2,
         1},
        {"failed, retry finds the printer again, succeeds",
         {1, 1, 1, 1},
         {0, 1},
         {CLICK_ACTION, CLICK_ACTION, CLICK_ACTION, CLICK_EXIT},
         {UI_READY, UI_FAILED, UI_READY, UI_DONE},
         4,
         2},
        {"failed, retry with the printer gone",
         {1, 1, 0},
         {0},
         {CLICK_ACTION, CLICK_ACTION, CLICK_EXIT},
         {UI_READY, UI_FAILED, UI_NOT_FOUND},
         3,
         1},
        {"failed, exit", {1, 1}, {0}, {CLICK_ACTION, CLICK_EXIT}, {UI_READY, UI_FAILED}, 2, 1},
        {"several printers, retry with one left",
         {2, 1},
         {},
         {CLICK_ACTION, CLICK_EXIT},
         {UI_SEVERAL, UI_READY},
         2,
         0},
        {"esc is ignored in every state",
         {0, 1, 1, 1, 1},
         {0, 1},
         {PRESS_ESC_THEN_ACTION, PRESS_ESC_THEN_ACTION, PRESS_ESC_THEN_ACTION,
          PRESS_ESC_THEN_ACTION, PRESS_ESC_THEN_EXIT},
         {UI_NOT_FOUND, UI_READY, UI_FAILED, UI_READY, UI_DONE},
         5,
         2},
    };
    for (const LoopCase &c : cases) {
        SCOPED_TRACE(c.label);
        ResetDesktop();
        script.lookupResults = c.lookups;
        script.transferResults = c.transfers;
        script.choices = c.choices;

        // The run ends in its last transfer's outcome, a failure whatever the user did next;
        // without a transfer, in the state Exit answered.
        int last = c.expectedStates.back();
        EXPECT_EQ(RunLoop(reinterpret_cast<HINSTANCE>(0x400000)),
                  c.expectedTransfers == 0 || last == UI_DONE ? last : UI_FAILED);

        EXPECT_EQ(StatesShown(), c.expectedStates);
        EXPECT_EQ(script.lookups, c.expectedLookups);
        EXPECT_EQ(script.transfers, c.expectedTransfers);
        EXPECT_EQ(script.closeHandlesCalls, 1);
        ExpectEveryShowingEndedOnce();
        for (const Showing &s : script.showings)
            EXPECT_FALSE(s.endedByEsc) << "state " << s.uiState;
    }
}

TEST(UpdateLoop, RetryIsUnbounded)
{
    ResetDesktop();
    script.choices.assign(1000, CLICK_ACTION);
    script.choices.push_back(CLICK_EXIT);

    RunLoop(nullptr);

    EXPECT_EQ(script.lookups, 1001);
    EXPECT_EQ(script.showings.size(), 1001u);
    EXPECT_EQ(script.closeHandlesCalls, 1);
}

TEST(UpdateLoop, DialogThatCannotBeCreatedMeansExitEvenAfterRetry)
{
    // Retry leaves retryRequested at 1; a showing that never happens must not reuse it.
    const std::vector<UserChoice> scripts[] = {
        {DIALOG_FAILS},
        {CLICK_ACTION, DIALOG_FAILS},
    };
    for (const auto &choices : scripts) {
        ResetDesktop();
        script.choices = choices;
        script.lookupResults = {0, 0, 0};

        RunLoop(nullptr);

        EXPECT_EQ(script.lookups, static_cast<int>(choices.size()));
        EXPECT_EQ(script.closeHandlesCalls, 1);
    }
    ResetDesktop();
    script.lookupResults = {1, 1};
    script.transferResults = {0};
    script.choices = {CLICK_ACTION, DIALOG_FAILS};
    RunLoop(nullptr);
    EXPECT_EQ(script.lookups, 2);
    EXPECT_EQ(script.transfers, 1);
}

TEST(UpdateDialog, ShowsTheTextsAndButtonsOfEachState)
{
    ResetDesktop();
    script.lookupResults = {2, 0, 1, 1, 1, 1};
    script.transferResults = {0, 1};
    script.choices = {CLICK_ACTION, CLICK_ACTION, CLICK_ACTION,
                      CLICK_ACTION, CLICK_ACTION, CLICK_EXIT};
    RunLoop(nullptr);

    struct Expected {
        int state;
        UINT message;
        UINT action; // 0: no text
        bool actionVisible;
    } expected[] = {
        {UI_SEVERAL, IDS_SEVERAL_PRINTERS, IDS_RETRY, true},
        {UI_NOT_FOUND, IDS_NOT_FOUND, IDS_RETRY, true},
        {UI_READY, IDS_READY, IDS_TRANSFER, true},
        {UI_FAILED, IDS_FAILED, IDS_RETRY, true},
        {UI_READY, IDS_READY, IDS_TRANSFER, true},
        {UI_DONE, IDS_DONE, 0, false},
    };
    ASSERT_EQ(script.showings.size(), 6u);
    for (size_t i = 0; i < 6; i++) {
        const Showing &s = script.showings[i];
        SCOPED_TRACE(s.uiState);
        EXPECT_EQ(s.uiState, expected[i].state);
        EXPECT_EQ(s.message, Text(expected[i].message));
        EXPECT_EQ(s.action, expected[i].action ? Text(expected[i].action) : "");
        EXPECT_EQ(s.actionVisible, expected[i].actionVisible);
        EXPECT_EQ(s.exitText, Text(IDS_EXIT));
        EXPECT_EQ(s.caption, Text(IDS_TITLE));
    }
}

// The first showing follows the printer, a look a second with the printers the row says, then
// the action button is clicked; the showing after it is read a look later (a failed one never
// looks) and answered with Exit.
TEST(UpdateDialog, FollowsThePrinterAndAClickAnswersTheStateAimedAt)
{
    struct Row {
        const char *label;
        int first;              // printers at the start
        std::vector<int> looks; // printers there at each look, a second apart
        std::vector<int> shown; // the state shown after each look
        bool held;              // the action button held down through the looks
        DWORD clickAfterMs;     // from the last look to the click
        int next;               // the state of the showing after the click
        int transfers;
        int kind;
    } rows[] = {
        // clang-format off
        {"ready, a second printer joins: several", 1, {1, 2}, {UI_READY, UI_SEVERAL}, false, 1500, UI_SEVERAL, 0, LINK_PRINTER_CLASS},
        {"ready, the printer goes: not found", 1, {0}, {UI_NOT_FOUND}, false, 1500, UI_NOT_FOUND, 0, LINK_PRINTER_CLASS},
        {"not found, it comes: ready, a later click transfers", 0, {0, 1}, {UI_NOT_FOUND, UI_READY}, false, 1500, UI_FAILED, 1, LINK_PRINTER_CLASS},
        {"not found, it comes: a click within the second is Retry", 0, {1}, {UI_READY}, false, 300, UI_READY, 0, LINK_PRINTER_CLASS},
        {"several, one leaves: ready", 2, {1}, {UI_READY}, false, 1500, UI_FAILED, 1, LINK_PRINTER_CLASS},
        {"not found, two come: several", 0, {2}, {UI_SEVERAL}, false, 1500, UI_SEVERAL, 0, LINK_PRINTER_CLASS},
        {"ready, button held: no change under it, the click counts again", 1, {0, 2}, {UI_READY, UI_READY}, true, 1500, UI_SEVERAL, 0, LINK_PRINTER_CLASS},
        {"scanner ports: the dialog never looks", 0, {1}, {UI_NOT_FOUND}, false, 1500, UI_READY, 0, LINK_SCANNER_PORT},
        // clang-format on
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.label);
        ResetDesktop();
        script.lookupResults = {row.first};
        script.presentNow = row.first;
        script.linkKind = row.kind;
        std::vector<int> shown;
        int freshLookups = -1; // by the looks, counted at the click
        int nextState = 0;
        SimSetModalUser([&](HWND dialog, int round) {
            HWND action = GetDlgItem(dialog, IDC_ACTION);
            if (freshLookups >= 0) { // the showing after the click
                if (round == 0) {
                    SimPassTime(1000);
                    return true;
                }
                nextState = ShownState(dialog);
                Post(dialog, WM_COMMAND, IDC_EXIT);
                return true;
            }
            SimSetPushed(action, row.held && round < static_cast<int>(row.looks.size()));
            if (round > 0) {
                shown.push_back(ShownState(dialog));
                EXPECT_EQ(SimWindow(action).text,
                          Text(shown.back() == UI_READY ? IDS_TRANSFER : IDS_RETRY));
            }
            if (round < static_cast<int>(row.looks.size())) {
                script.presentNow = row.looks[static_cast<size_t>(round)];
                SimPassTime(1000);
                return true;
            }
            freshLookups = script.lookups - 1;
            SimPassTime(row.clickAfterMs);
            Post(dialog, WM_COMMAND, IDC_ACTION);
            return true;
        });
        RunUpdateLoop(nullptr);

        EXPECT_EQ(shown, row.shown);
        EXPECT_EQ(freshLookups, 0) << "the dialog's looks keep the one printer's handles";
        EXPECT_EQ(nextState, row.next);
        EXPECT_EQ(script.transfers, row.transfers);
    }
}

// A deployment tool's run on the simulated platform, before any other claim of the one instance:
// a log that already holds a run's lines, a command line longer than any log line, and a wait
// that meets no printer, two, then one. Then a second run while another holds the log open.
TEST(UnattendedRun, AppendsToItsLogAndLooksOnceASecondUntilOnePrinterIsThere)
{
    ResetDesktop();
    SimDevice &log = SimAddDevice("C:\\logs\\u.log");
    log.isFile = true;
    const std::string earlier = "an earlier run's line\r\n";
    log.received.assign(earlier.begin(), earlier.end());
    std::string line =
        "UpdateTool.exe" + std::string(2000, ' ') + "/quiet /wait 10 /log C:\\logs\\u.log";
    SimSetCommandLine(line);
    script.lookupResults = {0, 2, 2, 1};
    script.transferResults = {1};

    EXPECT_EQ(RunUpdateTool(nullptr), EXIT_DONE);

    // Nobody may be there to answer Windows' own boxes.
    EXPECT_EQ(SimErrorMode(), static_cast<UINT>(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX));
    EXPECT_EQ(script.lookups, 4);
    EXPECT_EQ(script.transfers, 1);
    for (size_t i = 1; i < script.lookedAt.size(); i++)
        EXPECT_NEAR(script.lookedAt[i] - script.lookedAt[i - 1], 1000.0, 100.0) << i;
    std::string text(log.received.begin(), log.received.end());
    EXPECT_EQ(text.rfind(earlier, 0), 0u) << text;
    std::vector<std::string> lines;
    for (size_t at = earlier.size(), end; (end = text.find("\r\n", at)) != std::string::npos;
         at = end + 2)
        lines.push_back(text.substr(at + 24, end - at - 24)); // less the time
    ASSERT_EQ(lines.size(), 5u) << text;
    EXPECT_EQ(lines[0].rfind("start: ", 0), 0u);
    EXPECT_EQ(lines[0].substr(lines[0].size() - 600), line.substr(0, 600))
        << "the start line ends with the command line's first 600 characters";
    const std::vector<std::string> rest = {"lookup: no printer", "lookup: several printers",
                                           "lookup: one printer", "result: done, exit code 0"};
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.end()), rest);

    // The second run shares the log with one still writing it, and ends as a second instance.
    HANDLE other = CreateFileA("C:\\logs\\u.log", FILE_APPEND_DATA,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS, 0, NULL);
    size_t before = log.received.size();
    SimSetCommandLine("UpdateTool.exe /check /log C:\\logs\\u.log");
    EXPECT_EQ(RunUpdateTool(nullptr), EXIT_ALREADY_RUNNING);
    text.assign(log.received.begin() + static_cast<long>(before), log.received.end());
    EXPECT_NE(text.find("result: already running, exit code 1618\r\n"), std::string::npos) << text;
    CloseHandle(other);

    // A log that is a link (Wine makes none) is never written.
    log.attributes = FILE_ATTRIBUTE_REPARSE_POINT;
    before = log.received.size();
    EXPECT_EQ(RunUpdateTool(nullptr), EXIT_BAD_COMMAND_LINE);
    EXPECT_EQ(log.received.size(), before);
    SimSetCommandLine("UpdateTool.exe");
}

// Whether a printer has the firmware already: known revisions only, compared as 16-bit numbers.
TEST(PrinterLookup, APrinterIsCurrentWithThisRevisionOrANewerOne)
{
    const struct {
        int printer, firmware, current;
    } rows[] = {
        {0x0231, 0x0231, 1}, {0x0300, 0x0231, 1}, {0xFFFF, 0x0231, 1}, {0x0230, 0x0231, 0},
        {0x0000, 0xFFFF, 0}, {-1, 0x0231, 0},     {0x0231, -1, 0},     {-1, -1, 0},
    };
    for (const auto &row : rows)
        EXPECT_EQ(IsCurrent(row.printer, row.firmware), row.current)
            << std::hex << row.printer << " " << row.firmware;
}

TEST(OneInstance, OnlyTheFirstClaimSucceedsAndASecondRunTouchesNothing)
{
    ResetDesktop();
    EXPECT_EQ(RunUpdateTool(nullptr), 0);
    EXPECT_EQ(script.lookups, 1);
    EXPECT_EQ(script.showings.size(), 1u);

    ResetDesktop();
    EXPECT_EQ(RunUpdateTool(nullptr), 0);
    EXPECT_EQ(script.lookups, 0);
    EXPECT_TRUE(script.showings.empty());
    EXPECT_EQ(script.closeHandlesCalls, 0);
    EXPECT_EQ(ClaimSingleInstance(), 0);
}

// Command lines as Windows hands them over: split as msvcrt.dll splits them, then read. The
// combinations a deployment tool would send are run on the real executable under Wine.
TEST(CommandLine, SplitsAsTheCRuntimeDoesAndRefusesWhatMakesNoSense)
{
    const std::string longPath(MAX_PATH - 1, 'p');
    const std::string tooLong(MAX_PATH, 'p');
    const struct {
        const char *label;
        std::string line;
        int usable, mode;
        DWORD wait;
        std::string log;
        int arguments;
        bool japanese; // code page 932
    } rows[] = {
        // clang-format off
        {"no argument", "u.exe", 1, RUN_INTERACTIVE, 0, "", 0, false},
        {"quoted program, any case", R"("C:\a b\u.exe"/QUIET)", 1, RUN_QUIET, 0, "", 1, false},
        {"program name: a backslash before its quote is no escape", R"("C:\a b\" /quiet)", 1, RUN_QUIET, 0, "", 1, false},
        {"dash, tab, any order", "u.exe\t-Wait 86400\t/passive", 1, RUN_PASSIVE, 86400, "", 3, false},
        {"quoted value", R"(u.exe /log "C:\my logs\u.log" /check)", 1, RUN_CHECK, 0, R"(C:\my logs\u.log)", 3, false},
        {"backslashes before quotes", R"(u.exe /log a\\"b c"\"d\\\"e /quiet)", 1, RUN_QUIET, 0, R"(a\b c"d\"e)", 3, false},
        {"doubled quote inside quotes: a quote, and the quotes end", R"(u.exe /log "a""b" /quiet)", 1, RUN_INTERACTIVE, 0, R"(a"b /quiet)", 2, false},
        {"a log alone: the dialogs", "u.exe /log x", 1, RUN_INTERACTIVE, 0, "x", 2, false},
        {"the longest log", "u.exe /quiet /log " + longPath, 1, RUN_QUIET, 0, longPath, 3, false},
        {"a log too long", "u.exe /quiet /log " + tooLong, 0, 0, 0, longPath, 3, false},
        {"an argument too long", "u.exe /" + tooLong + " /quiet", 0, 0, 0, "", 1, false},
        {"help", "u.exe -?", 1, RUN_HELP, 0, "", 1, false},
        {"help with more", "u.exe /help /log x", 0, RUN_HELP, 0, "x", 3, false},
        {"wait not a number", "u.exe /quiet /wait 5s", 0, 0, 0, "", 3, false},
        {"wait that wraps 32 bits", "u.exe /quiet /wait 4294967297", 0, 0, 0, "", 3, false},
        {"wait alone", "u.exe /wait 5", 0, 0, 5, "", 2, false},
        {"a switch twice", "u.exe /log a /log b /quiet", 0, 0, 0, "a", 3, false},
        {"unknown switch", "u.exe /quieter", 0, 0, 0, "", 1, false},
        {"no switch", "u.exe quiet", 0, 0, 0, "", 1, false},
        {"no switch after one", "u.exe /quiet now", 0, 0, 0, "", 2, false},
        {"empty log", R"(u.exe /quiet /log "")", 0, 0, 0, "", 3, false},
        {"a log's value that is a switch", "u.exe /log /quiet", 0, 0, 0, "/quiet", 2, false},
        {"a wait's value that is a switch", "u.exe /quiet /wait -5", 0, 0, 0, "", 3, false},
        {"force with a wait", "u.exe /passive /wait 5 /FORCE", 1, RUN_PASSIVE, 5, "", 4, false},
        {"force alone", "u.exe /force", 0, 0, 0, "", 1, false},
        {"force with check", "u.exe /check /force", 0, 0, 0, "", 2, false},
        // 0x95 0x5C is one character whose second byte is a backslash; 0x83 0x8D 0x83 0x4F two more.
        {"Japanese path, a trail byte before the quote", "u.exe /log \"C:\\\x95\x5c\" /quiet", 1, RUN_QUIET, 0, "C:\\\x95\x5c", 3, true},
        {"Japanese path with a blank", "u.exe /quiet /log \"C:\\fleet\\\x83\x8d\x83\x4f \x95\x5c\"", 1, RUN_QUIET, 0, "C:\\fleet\\\x83\x8d\x83\x4f \x95\x5c", 3, true},
        {"the same bytes in a single-byte code page", "u.exe /log \"C:\\\x95\x5c\" /quiet", 1, RUN_INTERACTIVE, 0, "C:\\\x95\" /quiet", 2, false},
        {"Japanese program name", "C:\\\x95\x5c\\u.exe /check", 1, RUN_CHECK, 0, "", 1, true},
        // clang-format on
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.label);
        SimUseDoubleByteCodePage(row.japanese);
        CommandLine parsed;
        EXPECT_EQ(ParseCommandLine(row.line.c_str(), &parsed), row.usable);
        EXPECT_EQ(parsed.mode, row.usable ? row.mode : parsed.mode);
        EXPECT_EQ(parsed.waitSeconds, row.wait);
        EXPECT_EQ(parsed.logPath, row.log);
        EXPECT_EQ(parsed.arguments, row.arguments);
    }
    SimUseDoubleByteCodePage(false);
}

} // namespace
