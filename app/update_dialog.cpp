// The update dialog: one message for the current state and at most two buttons, following the
// printer as it comes and goes while the state allows.
#include "app/update_dialog.h"

#include "resources/resource.h"
#include "ui_shared/ui_shared.h"

static const UINT_PTR followTimer = 1;
// How long after such a change a click still answers the state shown before it: about the time
// from a user's decision to the press, so a click or Enter aimed at Retry never starts a transfer.
static const DWORD changeGraceMs = 1000;

// A string that fails to load leaves the control empty rather than showing stale text.
static void SetItemFromTable(HWND window, int itemId, UINT stringId)
{
    char text[256];
    text[0] = '\0';
    LoadStringA(ModuleInstance(), stringId, text, 255);
    SetDlgItemTextA(window, itemId, text);
}

// Each state's message and action button; the done state offers Exit alone.
static const struct {
    int state;
    UINT message;
    UINT action; // 0: the button is hidden
} stateTexts[] = {
    {UI_READY, IDS_READY, IDS_TRANSFER},
    {UI_NOT_FOUND, IDS_NOT_FOUND, IDS_RETRY},
    {UI_SEVERAL, IDS_SEVERAL_PRINTERS, IDS_RETRY},
    {UI_FAILED, IDS_FAILED, IDS_RETRY},
    {UI_DONE, IDS_DONE, 0},
    {UI_CURRENT, IDS_CURRENT, IDS_TRANSFER},
    {UI_UNCONFIRMED, IDS_UNCONFIRMED, IDS_RETRY},
};

// The message of a state as this printer and build make it: a build that knows its firmware's
// revision says that the printer came back with it, and whether the printer's is this or newer.
static UINT MessageOf(UINT message)
{
    if (message == IDS_DONE && FirmwareRevision() >= 0 && PrinterRevision() == FirmwareRevision())
        return IDS_DONE_CONFIRMED;
    if (message == IDS_CURRENT && PrinterRevision() > FirmwareRevision())
        return IDS_NEWER;
    return message;
}

static void FillForState(HWND window, int state)
{
    for (const auto &texts : stateTexts) {
        if (texts.state != state)
            continue;
        // A printer that needs nothing: Enter, and the focus, are on Exit; Transfer is there for
        // who means it.
        if (state == UI_CURRENT) {
            SendMessageA(window, DM_SETDEFID, IDC_EXIT, 0);
            SendMessageA(window, WM_NEXTDLGCTL, (WPARAM)GetDlgItem(window, IDC_EXIT), TRUE);
        }
        if (texts.action != 0)
            SetItemFromTable(window, IDC_ACTION, texts.action);
        else
            ShowWindow(GetDlgItem(window, IDC_ACTION), SW_HIDE);
        SetItemFromTable(window, IDC_EXIT, IDS_EXIT);
        // The message last: when the dialog changes state in place, whoever reads the new
        // message (a screen reader hears it change) finds the buttons of that state already.
        SetItemFromTable(window, IDC_MESSAGE, MessageOf(texts.message));
    }
}

// Whether the showing looks for the printer by itself: the failed state waits for the user (its
// Retry sends the whole image again), and so does the done state. A look through the still-image
// ports asks each port for its descriptor, which the driver may answer only after its own
// timeout: the dialog's thread never waits on that, so those builds look only at a click.
static int Follows(const UpdateShowing *showing)
{
    int state = showing->state;
    return showing->follows->kind == LINK_PRINTER_CLASS &&
           (state == UI_READY || state == UI_NOT_FOUND || state == UI_SEVERAL ||
            state == UI_CURRENT);
}

// One look that keeps the printer's handles; a change shows in place and is remembered, so that
// a click just after it answers the state before it.
static void FollowPrinter(HWND window, UpdateShowing *showing)
{
    int state = LookForPrinter(showing->follows, LOOK_KEEP);
    if (state == showing->state)
        return;
    showing->stateBeforeChange = showing->state;
    showing->changedAt = GetTickCount();
    showing->state = state;
    FillForState(window, state);
}

INT_PTR CALLBACK UpdateDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG)
        SetWindowLongPtrA(window, DWLP_USER, lParam);
    // The messages before WM_INITDIALOG (WM_SETFONT) come before the showing is known.
    UpdateShowing *showing = (UpdateShowing *)GetWindowLongPtrA(window, DWLP_USER);
    if (showing == NULL)
        return FALSE;
    switch (message) {
    case WM_INITDIALOG: {
        FillForState(window, showing->state);
        char caption[256];
        caption[0] = '\0';
        LoadStringA(ModuleInstance(), IDS_TITLE, caption, 255);
        SetWindowTextA(window, caption);
        CenterWindow(window, CENTER_ON_SCREEN);
        // Without a timer the dialog still answers its buttons; it only stops following.
        if (Follows(showing))
            SetTimer(window, followTimer, lookIntervalMs, NULL);
        // FALSE keeps the focus the already-current state put on Exit.
        return showing->state != UI_CURRENT;
    }
    case WM_TIMER:
        // A press of the action button under way answers the state it began in: its meaning must
        // not change under the user's finger. The same window shows the state that follows, so
        // nothing moves or flickers.
        if (wParam == followTimer && Follows(showing) &&
            !(SendMessageA(GetDlgItem(window, IDC_ACTION), BM_GETSTATE, 0, 0) & BST_PUSHED))
            FollowPrinter(window, showing);
        return TRUE;
    case WM_COMMAND:
        // Esc arrives as IDCANCEL and is ignored: only the two buttons close the dialog.
        if (LOWORD(wParam) != IDC_ACTION && LOWORD(wParam) != IDC_EXIT)
            return FALSE;
        showing->actionChosen = LOWORD(wParam) == IDC_ACTION;
        if (showing->actionChosen && showing->changedAt != 0 &&
            GetTickCount() - showing->changedAt < changeGraceMs)
            showing->state = showing->stateBeforeChange;
        KillTimer(window, followTimer);
        EndDialog(window, 0);
        return FALSE;
    default:
        return FALSE;
    }
}
