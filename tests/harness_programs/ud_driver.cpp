// Drives UpdateTool.exe from outside, as a user would: finds its dialogs, reads them, clicks.
//
// Every result is one JSON object per line on stdout, ASCII only (texts as \u escapes of
// their UTF-16 form), flushed at once so the harness can follow a running command.
// Exit code: 0 when the command saw what it waited for, 1 on a timeout, 2 on bad usage.
#include <windows.h>

#include <oleacc.h>
#include <setupapi.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "resources/resource.h"

enum DialogKind { KIND_UPDATE = 1, KIND_PROGRESS = 2 };

struct Options {
    DWORD timeoutMs;
    HWND notWindow;
    int closeProgress;
    int postCommand;
    int ping;
    int askEndSession;
    int msaa;
    int changed;
    int clickAction; // wait: presses the action button the moment the dialog is seen
    int answer;
    int again; // click: presses the action button of the dialog that follows too, the moment it
               // shows, as the second click of a double-click lands
};

static double NowMs()
{
    static LARGE_INTEGER frequency = {};
    if (frequency.QuadPart == 0)
        QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return (double)now.QuadPart * 1000.0 / (double)frequency.QuadPart;
}

// The tool writes ANSI text; read it back the same way and widen it with the code page the
// process runs under, which is the tool's too (CP932 under a Japanese locale).
static void PutJsonText(const char *ansi)
{
    WCHAR wide[1024];
    int count = MultiByteToWideChar(CP_ACP, 0, ansi, -1, wide, 1024);
    putchar('"');
    for (int i = 0; i + 1 < count; i++) {
        WCHAR c = wide[i];
        if (c == '"' || c == '\\')
            printf("\\%c", (char)c);
        else if (c >= 0x20 && c < 0x7f)
            putchar((char)c);
        else
            printf("\\u%04x", (unsigned)c);
    }
    putchar('"');
}

// Another process's window text is read from the server; when the window goes in the middle,
// Wine leaves whatever was in its buffer (seen as "o4"). A text is kept only when the window
// outlived the read.
static void ReadText(HWND window, char *text, int size)
{
    text[0] = '\0';
    if (window != NULL && (GetWindowTextA(window, text, size) <= 0 || !IsWindow(window)))
        text[0] = '\0';
}

static void PutWindowText(HWND window)
{
    char text[1024];
    text[0] = '\0';
    if (window != NULL)
        GetWindowTextA(window, text, sizeof text);
    PutJsonText(text);
}

static int HasStyle(HWND window, LONG bits)
{
    return window != NULL && (GetWindowLongA(window, GWL_STYLE) & bits) == bits;
}

static int KindOf(HWND window)
{
    char className[64];
    if (GetClassNameA(window, className, sizeof className) == 0)
        return 0;
    if (strcmp(className, "#32770") != 0)
        return 0;
    if (GetDlgItem(window, IDC_MESSAGE) != NULL && GetDlgItem(window, IDC_EXIT) != NULL)
        return KIND_UPDATE;
    if (GetDlgItem(window, IDC_PROGRESS_FRAME) != NULL)
        return KIND_PROGRESS;
    return 0;
}

struct Search {
    int kind;
    HWND notWindow;
    HWND found;
    int count;
};

static BOOL CALLBACK CollectDialog(HWND window, LPARAM param)
{
    Search *search = (Search *)param;
    if (KindOf(window) != search->kind || window == search->notWindow)
        return TRUE;
    // The caption is set last in the dialogs' initialisation and the window shown after it:
    // a visible dialog with a caption is a filled one.
    if (!IsWindowVisible(window) || GetWindowTextLengthA(window) == 0)
        return TRUE;
    search->count++;
    if (search->found == NULL)
        search->found = window;
    return TRUE;
}

static HWND FindDialog(int kind, HWND notWindow, int *count)
{
    Search search = {kind, notWindow, NULL, 0};
    EnumWindows(CollectDialog, (LPARAM)&search);
    if (count != NULL)
        *count = search.count;
    return search.found;
}

static void PutRect(const char *name, HWND window)
{
    RECT r = {0, 0, 0, 0};
    GetWindowRect(window, &r);
    int screenW = GetSystemMetrics(SM_CXSCREEN);
    int screenH = GetSystemMetrics(SM_CYSCREEN);
    int w = r.right - r.left;
    int h = r.bottom - r.top;
    int dx = r.left - (screenW / 2 - w / 2);
    int dy = r.top - (screenH / 2 - h / 2);
    int centred = dx >= -1 && dx <= 1 && dy >= -1 && dy <= 1;
    printf(",\"%s\":{\"left\":%ld,\"top\":%ld,\"width\":%d,\"height\":%d}", name, r.left, r.top, w,
           h);
    printf(",\"screen\":{\"width\":%d,\"height\":%d},\"centred\":%s", screenW, screenH,
           centred ? "true" : "false");
}

static void PutButton(const char *name, HWND dialog, int id)
{
    HWND button = GetDlgItem(dialog, id);
    printf(",\"%s\":{\"text\":", name);
    PutWindowText(button);
    printf(",\"visible\":%s,\"enabled\":%s,\"default\":%s}",
           HasStyle(button, WS_VISIBLE) ? "true" : "false",
           button != NULL && IsWindowEnabled(button) ? "true" : "false",
           SendMessageA(button, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON ? "true" : "false");
}

static void PutUpdateDialog(const char *event, HWND dialog, double ms)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(dialog, &pid);
    printf("{\"event\":\"%s\",\"ms\":%.1f,\"hwnd\":\"%p\",\"pid\":%lu,\"caption\":", event, ms,
           (void *)dialog, pid);
    PutWindowText(dialog);
    printf(",\"message\":");
    PutWindowText(GetDlgItem(dialog, IDC_MESSAGE));
    PutButton("action", dialog, IDC_ACTION);
    PutButton("exit", dialog, IDC_EXIT);
    PutRect("rect", dialog);
    printf("}\n");
    fflush(stdout);
}

static void PutProgressDialog(const char *event, HWND dialog, double ms)
{
    HWND frame = GetDlgItem(dialog, IDC_PROGRESS_FRAME);
    printf("{\"event\":\"%s\",\"ms\":%.1f,\"hwnd\":\"%p\",\"caption\":", event, ms, (void *)dialog);
    PutWindowText(dialog);
    printf(",\"text\":");
    PutWindowText(GetDlgItem(dialog, IDC_PROGRESS_TEXT));
    printf(",\"frameText\":");
    PutWindowText(frame);
    printf(",\"frameVisible\":%s", HasStyle(frame, WS_VISIBLE) ? "true" : "false");
    PutRect("rect", dialog);
    printf("}\n");
    fflush(stdout);
}

// An MSAA client reading the progress dialog as a screen reader would, counting the name and
// value changes the dialog announces for it.
static IAccessible *accessible = NULL;
static VARIANT self = {}; // CHILDID_SELF once its type is set
static int winEvents[2];  // name changes, value changes

static void CALLBACK CountWinEvent(HWINEVENTHOOK, DWORD event, HWND, LONG object, LONG, DWORD,
                                   DWORD)
{
    if (object == OBJID_CLIENT)
        winEvents[event == EVENT_OBJECT_VALUECHANGE]++;
}

static void PutAccessibleText(const char *key, int value)
{
    BSTR text = NULL;
    char ansi[1024] = "";
    HRESULT hr =
        value ? accessible->get_accValue(self, &text) : accessible->get_accName(self, &text);
    if (hr == S_OK && text != NULL)
        WideCharToMultiByte(CP_ACP, 0, text, -1, ansi, sizeof ansi, NULL, NULL);
    SysFreeString(text);
    printf(",\"%s\":", key);
    PutJsonText(ansi);
}

static void ReadAccessible(HWND dialog, double ms)
{
    // Spelled out: MinGW's IID_IAccessible can resolve to oleacc's exported data under Wine.
    static const GUID accessibleId = {
        0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
    self.vt = VT_I4;
    if (accessible == NULL) {
        VARIANT role;
        VariantInit(&role);
        HRESULT hr = AccessibleObjectFromWindow(dialog, (DWORD)OBJID_CLIENT, accessibleId,
                                                (void **)&accessible);
        if (accessible == NULL) {
            printf("{\"event\":\"msaa-object\",\"hr\":%ld}\n", hr);
            return;
        }
        // Where the bar sits: its window, its state, and the parent a client walks up to.
        // Wine's window object has no name of its own (E_NOTIMPL): the name Windows gives it is
        // its window's text, read here from the window the parent answers with.
        VARIANT state;
        VariantInit(&state);
        HWND window = NULL;
        HWND parentWindow = NULL;
        IDispatch *parent = NULL;
        IAccessible *parentObject = NULL;
        BSTR parentName = NULL;
        HRESULT nameHr = E_FAIL;
        char ansi[1024] = "";
        accessible->get_accRole(self, &role);
        accessible->get_accState(self, &state);
        WindowFromAccessibleObject(accessible, &window);
        if (accessible->get_accParent(&parent) == S_OK && parent != NULL &&
            SUCCEEDED(parent->QueryInterface(accessibleId, (void **)&parentObject))) {
            WindowFromAccessibleObject(parentObject, &parentWindow);
            nameHr = parentObject->get_accName(self, &parentName);
            if (nameHr == S_OK && parentName != NULL)
                WideCharToMultiByte(CP_ACP, 0, parentName, -1, ansi, sizeof ansi, NULL, NULL);
            else if (nameHr == E_NOTIMPL && parentWindow != NULL)
                ReadText(parentWindow, ansi, sizeof ansi);
        }
        SysFreeString(parentName);
        if (parentObject != NULL)
            parentObject->Release();
        if (parent != NULL)
            parent->Release();
        printf("{\"event\":\"msaa-object\",\"hr\":%ld,\"role\":%ld,\"state\":%ld,"
               "\"window\":%s,\"parentWindow\":%s,\"focus\":%s,\"parentNameHr\":%ld,"
               "\"parentName\":",
               hr, role.vt == VT_I4 ? role.lVal : -1L, state.vt == VT_I4 ? state.lVal : -1L,
               window == dialog ? "true" : "false", parentWindow == dialog ? "true" : "false",
               GetForegroundWindow() == dialog ? "true" : "false", (long)nameHr);
        PutJsonText(ansi);
        printf("}\n");
    }
    printf("{\"event\":\"msaa\",\"ms\":%.1f", ms);
    PutAccessibleText("name", 0);
    PutAccessibleText("value", 1);
    printf("}\n");
}

// The object a client still holds once the dialog has gone must answer failure, not crash.
static void ReleaseAccessible()
{
    if (accessible == NULL)
        return;
    BSTR name = NULL;
    HRESULT hr = accessible->get_accName(self, &name);
    SysFreeString(name);
    accessible->Release();
    accessible = NULL;
    printf("{\"event\":\"msaa-after\",\"hr\":%ld,\"nameChanges\":%d,\"valueChanges\":%d}\n", hr,
           winEvents[0], winEvents[1]);
}

static void PutEvent(const char *event, double ms)
{
    printf("{\"event\":\"%s\",\"ms\":%.1f}\n", event, ms);
    fflush(stdout);
}

// Waits for an update dialog other than notWindow; NULL after the timeout.
static HWND WaitForUpdateDialog(HWND notWindow, DWORD timeoutMs)
{
    double start = NowMs();
    for (;;) {
        HWND dialog = FindDialog(KIND_UPDATE, notWindow, NULL);
        if (dialog != NULL)
            return dialog;
        if (NowMs() - start > timeoutMs)
            return NULL;
        Sleep(5);
    }
}

static int WaitGone(HWND window, DWORD timeoutMs)
{
    double start = NowMs();
    while (IsWindow(window)) {
        if (NowMs() - start > timeoutMs)
            return 0;
        Sleep(2);
    }
    return 1;
}

// A real button press goes through the button itself (BM_CLICK); the posted WM_COMMAND is
// what a keyboard mnemonic ends in, and reaches a hidden button's parent as well.
static void Press(HWND dialog, int id, int postCommand)
{
    HWND button = GetDlgItem(dialog, id);
    if (postCommand || button == NULL) {
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)button);
        return;
    }
    DWORD_PTR result = 0;
    SendMessageTimeoutA(button, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 5000, &result);
}

static int CommandSnapshot()
{
    int updates = 0;
    int progresses = 0;
    HWND update = FindDialog(KIND_UPDATE, NULL, &updates);
    HWND progress = FindDialog(KIND_PROGRESS, NULL, &progresses);
    printf("{\"event\":\"snapshot\",\"updateDialogs\":%d,\"progressDialogs\":%d}\n", updates,
           progresses);
    if (update != NULL)
        PutUpdateDialog("update", update, 0);
    if (progress != NULL)
        PutProgressDialog("progress", progress, 0);
    fflush(stdout);
    return 0;
}

// Presses a button of the update dialog and waits for the dialog to end; the times are from since.
static int PressAndSeeItEnd(HWND dialog, int id, const Options &options, double since)
{
    Press(dialog, id, options.postCommand);
    int gone = WaitGone(dialog, options.timeoutMs);
    PutEvent(gone ? "closed" : "still-open", NowMs() - since);
    return gone ? 0 : 1;
}

// Waits for an update dialog; with --changed, then for it to show another message by itself
// (in the same window, or in another one that took its place); with --click, then presses its
// action button at once, as a user who aimed at it a moment before would.
static int CommandWait(const Options &options)
{
    double start = NowMs();
    HWND dialog = WaitForUpdateDialog(options.notWindow, options.timeoutMs);
    if (dialog == NULL) {
        PutEvent("timeout", NowMs() - start);
        return 1;
    }
    if (options.changed) {
        char before[1024];
        char now[1024];
        ReadText(GetDlgItem(dialog, IDC_MESSAGE), before, sizeof before);
        PutUpdateDialog("watching", dialog, NowMs() - start);
        for (;;) {
            Sleep(5);
            HWND current = FindDialog(KIND_UPDATE, NULL, NULL);
            if (current != NULL) {
                ReadText(GetDlgItem(current, IDC_MESSAGE), now, sizeof now);
                if (now[0] != '\0' && (current != dialog || strcmp(now, before) != 0)) {
                    dialog = current;
                    break;
                }
            }
            if (NowMs() - start > options.timeoutMs) {
                PutEvent("timeout", NowMs() - start);
                return 1;
            }
        }
    }
    PutUpdateDialog("update", dialog, NowMs() - start);
    return options.clickAction ? PressAndSeeItEnd(dialog, IDC_ACTION, options, start) : 0;
}

// Presses a button of the update dialog and waits for that dialog to end, then for the next
// one (if any) within the timeout.
static int CommandClick(int id, const Options &options)
{
    double start = NowMs();
    HWND dialog = WaitForUpdateDialog(options.notWindow, options.timeoutMs);
    if (dialog == NULL) {
        PutEvent("timeout", NowMs() - start);
        return 1;
    }
    PutUpdateDialog("before", dialog, NowMs() - start);
    double pressed = NowMs();
    int failed = PressAndSeeItEnd(dialog, id, options, pressed);
    if (failed || !options.again)
        return failed;
    HWND next = WaitForUpdateDialog(dialog, options.timeoutMs);
    if (next == NULL) {
        PutEvent("timeout", NowMs() - start);
        return 1;
    }
    PutUpdateDialog("again", next, NowMs() - pressed);
    return PressAndSeeItEnd(next, IDC_ACTION, options, pressed);
}

// Presses Esc in the update dialog (through its own message loop, as a key would arrive)
// and reports whether the dialog is still there a moment later.
static int CommandEscape(const Options &options)
{
    double start = NowMs();
    HWND dialog = WaitForUpdateDialog(options.notWindow, options.timeoutMs);
    if (dialog == NULL) {
        PutEvent("timeout", NowMs() - start);
        return 1;
    }
    PostMessageA(dialog, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    PostMessageA(dialog, WM_KEYUP, VK_ESCAPE, (LPARAM)0xC0010001);
    Sleep(300);
    int open = IsWindow(dialog) && IsWindowVisible(dialog);
    printf("{\"event\":\"escape\",\"stillOpen\":%s}\n", open ? "true" : "false");
    fflush(stdout);
    return 0;
}

// Presses Transfer and follows the run to the next update dialog: when the progress dialog
// appears, what it shows, when it goes, and the time from the press to the next state.
static int CommandTransfer(const Options &options)
{
    double start = NowMs();
    HWND dialog = WaitForUpdateDialog(options.notWindow, options.timeoutMs);
    if (dialog == NULL) {
        PutEvent("timeout", NowMs() - start);
        return 1;
    }
    PutUpdateDialog("before", dialog, 0);
    if (options.msaa) {
        CoInitialize(NULL);
        SetWinEventHook(EVENT_OBJECT_NAMECHANGE, EVENT_OBJECT_VALUECHANGE, NULL, CountWinEvent, 0,
                        0, WINEVENT_OUTOFCONTEXT);
    }
    double clicked = NowMs();
    Press(dialog, IDC_ACTION, options.postCommand);

    HWND progress = NULL;
    int progressSeen = 0;
    int progressGone = 0;
    int closesSent = 0;
    int maxProgressDialogs = 0;
    double lastClose = 0;
    // The percentages the frame's text went through, each change once.
    char frameText[64] = "";
    int percents[256];
    int percentCount = 0;
    // With --ping: how the progress dialog answers WM_NULL for as long as it is there.
    int pings = 0;
    int pingsUnanswered = 0;
    int hungSeen = 0;
    double longestPing = 0;
    double longestSilence = 0;
    double lastAnswer = 0;
    // The text line as it changes, and how long after the frame's last change.
    char lineText[1024] = "";
    double frameChanged = clicked;
    for (;;) {
        double now = NowMs();
        if (now - clicked > options.timeoutMs) {
            PutEvent("timeout", now - clicked);
            return 1;
        }
        // A progress dialog after the first one has gone: the printer's restart after the last
        // byte, followed as the first was.
        if (!progressSeen || progressGone) {
            int count = 0;
            progress = FindDialog(KIND_PROGRESS, NULL, &count);
            if (progress != NULL) {
                progressSeen = 1;
                progressGone = 0;
                maxProgressDialogs = count;
                PutProgressDialog("progress", progress, now - clicked);
                // The dialog's own answer, apart from the session guard's window.
                DWORD_PTR answer = 1;
                if (options.askEndSession && SendMessageTimeoutA(progress, WM_QUERYENDSESSION, 0, 0,
                                                                 SMTO_NORMAL, 2000, &answer))
                    printf("{\"event\":\"query-end-session\",\"answer\":%d}\n", (int)answer);
            }
        }
        if (progressSeen && !progressGone) {
            char text[64];
            ReadText(GetDlgItem(progress, IDC_PROGRESS_FRAME), text, sizeof text);
            int changed = 0;
            if (text[0] != '\0' && strcmp(text, frameText) != 0 && percentCount < 256) {
                lstrcpynA(frameText, text, sizeof frameText);
                percents[percentCount++] = atoi(text);
                frameChanged = now;
                changed = 1;
            }
            char line[1024];
            ReadText(GetDlgItem(progress, IDC_PROGRESS_TEXT), line, sizeof line);
            if (line[0] != '\0' && strcmp(line, lineText) != 0) {
                lstrcpynA(lineText, line, sizeof lineText);
                printf("{\"event\":\"progress-text\",\"ms\":%.1f,\"sinceFrameMs\":%.1f,\"text\":",
                       now - clicked, now - frameChanged);
                PutJsonText(line);
                printf("}\n");
                fflush(stdout);
                changed = 1;
            }
            if (options.msaa && changed && IsWindow(progress))
                ReadAccessible(progress, now - clicked);
            if (options.ping && IsWindow(progress)) {
                double asked = NowMs();
                DWORD_PTR answer = 0;
                LRESULT ok =
                    SendMessageTimeoutA(progress, WM_NULL, 0, 0, SMTO_NORMAL, 500, &answer);
                double answered = NowMs();
                pings++;
                if (ok) {
                    if (lastAnswer == 0)
                        lastAnswer = asked;
                    if (answered - lastAnswer > longestSilence)
                        longestSilence = answered - lastAnswer;
                    lastAnswer = answered;
                } else if (IsWindow(progress)) {
                    pingsUnanswered++;
                }
                if (answered - asked > longestPing)
                    longestPing = answered - asked;
                if (IsHungAppWindow(progress))
                    hungSeen++;
            }
            if (!IsWindow(progress)) {
                progressGone = 1;
                ReleaseAccessible();
                printf("{\"event\":\"progress-gone\",\"ms\":%.1f,\"closesSent\":%d}\n",
                       now - clicked, closesSent);
                fflush(stdout);
            } else if (options.closeProgress && now - lastClose >= 20) {
                // Closes before the first chunk are ignored by design; keep asking.
                PostMessageA(progress, WM_CLOSE, 0, 0);
                closesSent++;
                lastClose = now;
            }
        }
        HWND next = FindDialog(KIND_UPDATE, dialog, NULL);
        if (next != NULL) {
            double ms = NowMs() - clicked;
            if (progressSeen && !progressGone && IsWindow(progress))
                PutEvent("progress-still-open", ms);
            printf("{\"event\":\"summary\",\"ms\":%.1f,\"progressSeen\":%s,\"progressGone\":%s,"
                   "\"progressDialogs\":%d,\"closesSent\":%d,\"percents\":[",
                   ms, progressSeen ? "true" : "false",
                   progressGone || (progressSeen && !IsWindow(progress)) ? "true" : "false",
                   maxProgressDialogs, closesSent);
            for (int i = 0; i < percentCount; i++)
                printf("%s%d", i == 0 ? "" : ",", percents[i]);
            printf("]}\n");
            if (options.ping)
                printf("{\"event\":\"pings\",\"count\":%d,\"unanswered\":%d,\"hung\":%d,"
                       "\"longestMs\":%.1f,\"longestSilenceMs\":%.1f}\n",
                       pings, pingsUnanswered, hungSeen, longestPing, longestSilence);
            PutUpdateDialog("update", next, ms);
            return 0;
        }
        // The hook's events arrive as messages of this thread.
        MSG message;
        while (options.msaa && PeekMessageA(&message, NULL, 0, 0, PM_REMOVE))
            DispatchMessageA(&message);
        Sleep(1);
    }
}

// What the process that launch started showed while it ran.
static struct {
    DWORD pid;
    int visibleNow, visibleMost, kinds;
    int answer;
    char box[1024];
} watch;

static BOOL CALLBACK NoteVisible(HWND window, LPARAM)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != watch.pid || !IsWindowVisible(window))
        return TRUE;
    int kind = KindOf(window);
    watch.visibleNow++;
    watch.kinds |= 1 << kind;
    // A message box: its text (Windows' control 0xFFFF, Wine's 100) is read and it is answered,
    // as a user would.
    HWND text = GetDlgItem(window, 0xFFFF) ? GetDlgItem(window, 0xFFFF) : GetDlgItem(window, 100);
    if (kind == 0 && watch.answer && watch.box[0] == '\0' && text != NULL) {
        ReadText(text, watch.box, sizeof watch.box);
        PostMessageA(window, WM_COMMAND, IDOK, 0);
    }
    return TRUE;
}

// Starts the tool with commandLine as a deployment tool does, and samples every top-level window
// of its process every 50 ms until it ends; then its exit code as GetExitCodeProcess reads it,
// all 32 bits. With --answer, a message box is read and answered with OK.
static int CommandLaunch(const char *commandLine, const Options &options)
{
    STARTUPINFOA startup = {};
    PROCESS_INFORMATION process;
    char line[4096];
    startup.cb = sizeof startup;
    lstrcpynA(line, commandLine, sizeof line);
    watch.answer = options.answer;
    double start = NowMs();
    if (!CreateProcessA(NULL, line, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process)) {
        printf("{\"event\":\"not-started\",\"error\":%lu}\n", GetLastError());
        return 1;
    }
    watch.pid = process.dwProcessId;
    int samples = 0;
    while (WaitForSingleObject(process.hProcess, 50) == WAIT_TIMEOUT) {
        watch.visibleNow = 0;
        EnumWindows(NoteVisible, 0);
        samples++;
        if (watch.visibleNow > watch.visibleMost)
            watch.visibleMost = watch.visibleNow;
        if (NowMs() - start > options.timeoutMs) {
            TerminateProcess(process.hProcess, 0xDEAD);
            PutEvent("timeout", NowMs() - start);
            return 1;
        }
    }
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    printf("{\"event\":\"exited\",\"ms\":%.1f,\"exitCode\":%lu,\"samples\":%d,\"visible\":%d,"
           "\"updateSeen\":%s,\"progressSeen\":%s,\"box\":",
           NowMs() - start, code, samples, watch.visibleMost,
           watch.kinds & (1 << KIND_UPDATE) ? "true" : "false",
           watch.kinds & (1 << KIND_PROGRESS) ? "true" : "false");
    PutJsonText(watch.box);
    printf("}\n");
    return 0;
}

// Lists the present USB printer interfaces as the platform's device setup reports them, with
// their hardware IDs and paths, and the Windows version the process sees: what the tool's
// lookup works from.
static int CommandDevices()
{
    static const GUID usbPrint = {
        0x28d78fad, 0x5a12, 0x11d1, {0xae, 0x5b, 0x00, 0x00, 0xf8, 0x03, 0xa8, 0xc2}};
    OSVERSIONINFOA version;
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExA(&version);
    printf("{\"event\":\"version\",\"major\":%lu,\"minor\":%lu,\"platform\":%lu}\n",
           version.dwMajorVersion, version.dwMinorVersion, version.dwPlatformId);
    HDEVINFO set =
        SetupDiGetClassDevsA(&usbPrint, NULL, NULL, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) {
        printf("{\"event\":\"no-set\",\"error\":%lu}\n", GetLastError());
        return 1;
    }
    SP_DEVINFO_DATA device;
    device.cbSize = sizeof device;
    for (DWORD index = 0; SetupDiEnumDeviceInfo(set, index, &device); index++) {
        char ids[2048];
        memset(ids, 0, sizeof ids);
        DWORD type = 0;
        DWORD size = 0;
        SetupDiGetDeviceRegistryPropertyA(set, &device, SPDRP_HARDWAREID, &type, (BYTE *)ids,
                                          sizeof ids - 2, &size);
        printf("{\"event\":\"device\",\"index\":%lu,\"hardwareIds\":[", index);
        for (const char *id = ids; *id != '\0'; id += strlen(id) + 1) {
            if (id != ids)
                putchar(',');
            PutJsonText(id);
        }
        printf("],\"path\":");
        SP_DEVICE_INTERFACE_DATA iface;
        iface.cbSize = sizeof iface;
        char detailBuffer[1024];
        SP_DEVICE_INTERFACE_DETAIL_DATA_A *detail =
            (SP_DEVICE_INTERFACE_DETAIL_DATA_A *)detailBuffer;
        detail->cbSize = sizeof *detail;
        if (SetupDiEnumDeviceInterfaces(set, &device, &usbPrint, 0, &iface) &&
            SetupDiGetDeviceInterfaceDetailA(set, &iface, detail, sizeof detailBuffer, NULL, NULL))
            PutJsonText(detail->DevicePath);
        else
            printf("null");
        printf("}\n");
    }
    SetupDiDestroyDeviceInfoList(set);
    fflush(stdout);
    return 0;
}

static int ParseOptions(int argc, char **argv, int first, Options *options)
{
    options->timeoutMs = 10000;
    options->notWindow = NULL;
    options->closeProgress = 0;
    options->postCommand = 0;
    options->ping = 0;
    options->askEndSession = 0;
    options->msaa = 0;
    options->changed = 0;
    options->clickAction = 0;
    options->answer = 0;
    options->again = 0;
    for (int i = first; i < argc; i++) {
        if (strcmp(argv[i], "--timeout") == 0 && i + 1 < argc)
            options->timeoutMs = (DWORD)strtoul(argv[++i], NULL, 10);
        else if (strcmp(argv[i], "--not") == 0 && i + 1 < argc)
            options->notWindow = (HWND)(ULONG_PTR)strtoull(argv[++i], NULL, 16);
        else if (strcmp(argv[i], "--close-progress") == 0)
            options->closeProgress = 1;
        else if (strcmp(argv[i], "--post-command") == 0)
            options->postCommand = 1;
        else if (strcmp(argv[i], "--ping") == 0)
            options->ping = 1;
        else if (strcmp(argv[i], "--ask-end-session") == 0)
            options->askEndSession = 1;
        else if (strcmp(argv[i], "--msaa") == 0)
            options->msaa = 1;
        else if (strcmp(argv[i], "--changed") == 0)
            options->changed = 1;
        else if (strcmp(argv[i], "--click") == 0)
            options->clickAction = 1;
        else if (strcmp(argv[i], "--answer") == 0)
            options->answer = 1;
        else if (strcmp(argv[i], "--again") == 0)
            options->again = 1;
        else
            return 0;
    }
    return 1;
}

// Keeps the session's desktop in use until killed. Wine closes a desktop one second after the
// last program on it left, and a program that opened it at that moment is left on a desktop
// being torn down, while the programs after it get a new one: the tool's dialog then never
// appears to the driver. The desktop window is made now, before any tool starts.
static int CommandHold()
{
    HWND desktop = GetDesktopWindow();
    printf("{\"event\":\"holding\",\"desktop\":\"%p\"}\n", (void *)desktop);
    fflush(stdout);
    Sleep(INFINITE);
    return 0;
}

int main(int argc, char **argv)
{
    Options options;
    if (argc < 2 || !ParseOptions(argc, argv, argc > 2 && argv[2][0] != '-' ? 3 : 2, &options)) {
        fprintf(stderr,
                "usage: ud_driver snapshot | devices | wait | escape | click action|exit | "
                "transfer | hold | launch COMMAND-LINE "
                "[--timeout ms] [--not hwnd] [--close-progress] [--post-command] [--ping] "
                "[--ask-end-session] [--msaa] [--changed] [--click] [--answer] [--again]\n");
        return 2;
    }
    const char *command = argv[1];
    if (strcmp(command, "snapshot") == 0)
        return CommandSnapshot();
    if (strcmp(command, "devices") == 0)
        return CommandDevices();
    if (strcmp(command, "hold") == 0)
        return CommandHold();
    if (strcmp(command, "wait") == 0)
        return CommandWait(options);
    if (strcmp(command, "transfer") == 0)
        return CommandTransfer(options);
    if (strcmp(command, "launch") == 0 && argc > 2)
        return CommandLaunch(argv[2], options);
    if (strcmp(command, "escape") == 0)
        return CommandEscape(options);
    if (strcmp(command, "click") == 0 && argc > 2) {
        if (strcmp(argv[2], "action") == 0)
            return CommandClick(IDC_ACTION, options);
        if (strcmp(argv[2], "exit") == 0)
            return CommandClick(IDC_EXIT, options);
    }
    fprintf(stderr, "unknown command\n");
    return 2;
}
