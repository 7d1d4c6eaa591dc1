// The update dialog: one message for the current state and at most two buttons.
#include "app/update_dialog.h"

#include "resources/resource.h"
#include "ui_shared/ui_shared.h"

static int uiState = 0;
static int retryRequested = 0;

void SetUiState(int state) { uiState = state; }
int UiState() { return uiState; }
int RetryRequested() { return retryRequested; }
void SetRetryRequested(int value) { retryRequested = value; }

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
    if (messageId != 0)
        SetItemFromTable(window, IDC_MESSAGE, messageId);
    if (actionId != 0)
        SetItemFromTable(window, IDC_ACTION, actionId);
    else if (uiState == UI_DONE)
        ShowWindow(GetDlgItem(window, IDC_ACTION), SW_HIDE);
    SetItemFromTable(window, IDC_EXIT, IDS_EXIT);

    char caption[256];
    caption[0] = '\0';
    LoadStringA(ModuleInstance(), IDS_TITLE, caption, 255);
    SetWindowTextA(window, caption);
}

INT_PTR CALLBACK UpdateDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    (void)lParam;
    switch (message) {
    case WM_INITDIALOG:
        FillForState(window);
        CenterWindow(window, CENTER_ON_SCREEN);
        return TRUE;
    case WM_COMMAND:
        // Esc arrives as IDCANCEL and is ignored: only the two buttons close the dialog.
        switch (LOWORD(wParam)) {
        case IDC_ACTION:
            retryRequested = 1;
            EndDialog(window, 0);
            break;
        case IDC_EXIT:
            retryRequested = 0;
            EndDialog(window, 0);
            break;
        default:
            break;
        }
        return FALSE;
    default:
        return FALSE;
    }
}
