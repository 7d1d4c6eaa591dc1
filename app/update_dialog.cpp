// The update dialog: one message for the current state and at most two buttons, following the
// printer as it comes and goes while the state allows.
#include "app/update_dialog.h"

#include "resources/resource.h"
#include "ui_shared/ui_shared.h"

// The state shown and the button that closed the dialog: the loop sets the one before a
// showing and reads both after it, when the dialog procedure has long returned.
static int uiState = 0;
static int retryRequested = 0;
// The run's discovery record while a dialog that follows the printer shows.
static const LinkConfig *followConfig = NULL;
// When the dialog last changed its state by itself, and the state it showed before: a click
// that lands just after the button changed its meaning was aimed at the old one.
static DWORD changedAt = 0;
static int stateBeforeChange = 0;

// About one lookup a second: a printer plugged in or pulled out shows within a second or two,
// and the machine does not notice the cost.
static const UINT_PTR followTimer = 1;
static const UINT followIntervalMs = 1000;
// How long after such a change a click still answers the state shown before it: about the time
// from a user's decision to the press, so a click or Enter aimed at Retry never starts a transfer.
static const DWORD changeGraceMs = 1000;

void SetUiState(int state) { uiState = state; }
int UiState() { return uiState; }
int RetryRequested() { return retryRequested; }
void SetRetryRequested(int value) { retryRequested = value; }

int LookUpPrinter(LinkConfig config)
{
    int present = 0;
    if (FindPrinter(config, &present))
        return UI_READY;
    return present > 1 ? UI_SEVERAL : UI_NOT_FOUND;
}

// A string that fails to load leaves the control empty rather than showing stale text.
static void SetItemFromTable(HWND window, int itemId, UINT stringId)
{
    char text[256];
    text[0] = '\0';
    LoadStringA(ModuleInstance(), stringId, text, 255);
    SetDlgItemTextA(window, itemId, text);
}

static void FillForState(HWND window)
{
    UINT messageId = 0;
    UINT actionId = 0;
    switch (uiState) {
    case UI_READY:
        messageId = IDS_READY;
        actionId = IDS_TRANSFER;
        break;
    case UI_NOT_FOUND:
        messageId = IDS_NOT_FOUND;
        actionId = IDS_RETRY;
        break;
    case UI_SEVERAL:
        messageId = IDS_SEVERAL_PRINTERS;
        actionId = IDS_RETRY;
        break;
    case UI_FAILED:
        messageId = IDS_FAILED;
        actionId = IDS_RETRY;
        break;
    case UI_DONE:
        messageId = IDS_DONE;
        break;
    default:
        break;
    }
    if (actionId != 0)
        SetItemFromTable(window, IDC_ACTION, actionId);
    else if (uiState == UI_DONE)
        ShowWindow(GetDlgItem(window, IDC_ACTION), SW_HIDE);
    SetItemFromTable(window, IDC_EXIT, IDS_EXIT);
    // The message last: when the dialog changes state in place, whoever reads the new message
    // (a screen reader hears it change) finds the buttons of that state already.
    if (messageId != 0)
        SetItemFromTable(window, IDC_MESSAGE, messageId);
}

// The failed state waits for the user (its Retry sends the whole image again), and so does
// the done state.
static int FollowsPrinter(int state)
{
    return state == UI_READY || state == UI_NOT_FOUND || state == UI_SEVERAL;
}

// One look for the printer; the same window shows the state that follows, so nothing moves or
// flickers.
static void FollowPrinter(HWND window)
{
    // A press of the action button under way answers the state it began in: its meaning must
    // not change under the user's finger.
    if (SendMessageA(GetDlgItem(window, IDC_ACTION), BM_GETSTATE, 0, 0) & BST_PUSHED)
        return;
    int state = UI_NOT_FOUND;
    if (uiState == UI_READY) {
        int present = 0;
        // Counting opens nothing: the handles on the printer found stay as they are while it is
        // the one printer there.
        if (!CountPrinters(*followConfig, &present) || present == 1)
            return;
        // Gone, or joined by another of the model: its handles go, as a new lookup's would.
        CloseDeviceHandles();
        state = present > 1 ? UI_SEVERAL : UI_NOT_FOUND;
    } else {
        state = LookUpPrinter(*followConfig);
    }
    if (state == uiState)
        return;
    stateBeforeChange = uiState;
    changedAt = GetTickCount();
    uiState = state;
    FillForState(window);
}

static void EndUpdateDialog(HWND window, int retry)
{
    KillTimer(window, followTimer);
    followConfig = NULL;
    changedAt = 0;
    retryRequested = retry;
    EndDialog(window, 0);
}

INT_PTR CALLBACK UpdateDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG: {
        FillForState(window);
        char caption[256];
        caption[0] = '\0';
        LoadStringA(ModuleInstance(), IDS_TITLE, caption, 255);
        SetWindowTextA(window, caption);
        CenterWindow(window, CENTER_ON_SCREEN);
        followConfig = (const LinkConfig *)lParam;
        // A look through the still-image ports asks each port for its descriptor, which the
        // driver may answer only after its own timeout: the dialog's thread never waits on
        // that, so those builds look only when the user clicks.
        if (followConfig != NULL && followConfig->kind != LINK_PRINTER_CLASS)
            followConfig = NULL;
        changedAt = 0;
        // Without a timer the dialog still answers its buttons; it only stops following.
        if (followConfig != NULL && FollowsPrinter(uiState))
            SetTimer(window, followTimer, followIntervalMs, NULL);
        return TRUE;
    }
    case WM_TIMER:
        if (wParam == followTimer && followConfig != NULL && FollowsPrinter(uiState))
            FollowPrinter(window);
        return TRUE;
    case WM_COMMAND:
        // Esc arrives as IDCANCEL and is ignored: only the two buttons close the dialog.
        switch (LOWORD(wParam)) {
        case IDC_ACTION:
            if (changedAt != 0 && GetTickCount() - changedAt < changeGraceMs)
                uiState = stateBeforeChange;
            EndUpdateDialog(window, 1);
            break;
        case IDC_EXIT:
            EndUpdateDialog(window, 0);
            break;
        default:
            break;
        }
        return FALSE;
    default:
        return FALSE;
    }
}
