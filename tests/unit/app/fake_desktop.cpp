// The scripted desktop behind the update flow's tests: just enough USER32 and GDI32 for the
// update dialog, and fakes of the lookup and the transfer action.
#include "fake_desktop.h"

#include "app/update_dialog.h"
#include "device/device_link.h"
#include "resources/resource.h"
#include "transfer/chunked_transfer.h"

#include <cstdio>

static FakeDesktop desktop;
static size_t nextChoice = 0;
static size_t nextLookup = 0;
static size_t nextTransfer = 0;

// The dialog under way, while DialogBoxParamA runs.
static Showing *current = nullptr;
static bool ended = false;
static HWND const dialogWindow = reinterpret_cast<HWND>(0x1000);
static const char *const englishStrings[] = {
    "Update Tool",       "Ready text", "Not found text", "Failed text", "Done text",
    "Transferring text", "&Transfer",  "E&xit",          "&Retry",      "%d%% ",
};

FakeDesktop &Desktop() { return desktop; }

void ResetDesktop()
{
    desktop = FakeDesktop();
    nextChoice = nextLookup = nextTransfer = 0;
    current = nullptr;
}

static HWND ControlWindow(int id) { return reinterpret_cast<HWND>(0x1000 + id); }

static void SendCommand(DLGPROC proc, int id)
{
    proc(dialogWindow, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
}

INT_PTR WINAPI DialogBoxParamA(HINSTANCE, LPCSTR templateName, HWND, DLGPROC proc, LPARAM)
{
    UserChoice choice =
        nextChoice < desktop.choices.size() ? desktop.choices[nextChoice] : CLICK_EXIT;
    nextChoice++;
    if (choice == DIALOG_FAILS)
        return -1;
    if (templateName != MAKEINTRESOURCEA(IDD_UPDATE))
        return -1;

    desktop.showings.push_back(Showing());
    current = &desktop.showings.back();
    current->uiState = UiState();
    current->actionVisible = true;
    current->position = {desktop.dialogRect.left, desktop.dialogRect.top};
    ended = false;

    proc(dialogWindow, WM_INITDIALOG, 0, 0);
    if (choice == PRESS_ESC_THEN_EXIT || choice == PRESS_ESC_THEN_ACTION) {
        // What the dialog manager sends for Esc, and for Alt+F4 or the close box.
        SendCommand(proc, IDCANCEL);
        proc(dialogWindow, WM_CLOSE, 0, 0);
        current->endedByEsc = ended;
        if (!ended)
            SendCommand(proc, choice == PRESS_ESC_THEN_ACTION ? IDC_ACTION : IDC_EXIT);
    } else {
        SendCommand(proc, choice == CLICK_ACTION ? IDC_ACTION : IDC_EXIT);
    }
    current = nullptr;
    return 0;
}

BOOL WINAPI EndDialog(HWND window, INT_PTR)
{
    if (current && window == dialogWindow) {
        current->endDialogCalls++;
        ended = true;
    }
    return TRUE;
}

int WINAPI LoadStringA(HINSTANCE, UINT id, LPSTR buffer, int max)
{
    if (id < IDS_TITLE || id > IDS_PERCENT || max <= 0)
        return 0;
    snprintf(buffer, static_cast<size_t>(max), "%s", englishStrings[id - IDS_TITLE]);
    return lstrlenA(buffer);
}

HWND WINAPI GetDlgItem(HWND dialog, int id)
{
    return dialog == dialogWindow ? ControlWindow(id) : nullptr;
}

BOOL WINAPI SetDlgItemTextA(HWND dialog, int id, LPCSTR text)
{
    if (!current || dialog != dialogWindow)
        return FALSE;
    if (id == IDC_MESSAGE)
        current->message = text;
    else if (id == IDC_ACTION)
        current->action = text;
    else if (id == IDC_EXIT)
        current->exitText = text;
    else
        return FALSE;
    return TRUE;
}

BOOL WINAPI ShowWindow(HWND window, int command)
{
    if (current && window == ControlWindow(IDC_ACTION))
        current->actionVisible = command != SW_HIDE;
    return TRUE;
}

BOOL WINAPI SetWindowTextA(HWND window, LPCSTR text)
{
    if (current && window == dialogWindow)
        current->caption = text;
    return TRUE;
}

HDC WINAPI CreateICA(LPCSTR driver, LPCSTR, LPCSTR, const void *)
{
    if (!desktop.displayAvailable || std::string(driver) != "DISPLAY")
        return nullptr;
    desktop.infoContextsCreated++;
    return reinterpret_cast<HDC>(0x2000);
}

int WINAPI GetDeviceCaps(HDC, int index)
{
    return index == HORZRES ? desktop.screenWidth : index == VERTRES ? desktop.screenHeight : 0;
}

BOOL WINAPI DeleteDC(HDC)
{
    desktop.infoContextsDeleted++;
    return TRUE;
}

BOOL WINAPI GetWindowRect(HWND, LPRECT rect)
{
    *rect = desktop.dialogRect;
    return TRUE;
}

BOOL WINAPI MoveWindow(HWND window, int x, int y, int width, int height, BOOL)
{
    desktop.dialogRect = {x, y, x + width, y + height};
    if (current && window == dialogWindow)
        current->position = {x, y};
    return TRUE;
}

int WINAPI lstrlenA(LPCSTR text) { return text ? static_cast<int>(strlen(text)) : 0; }

LONG WINAPI InterlockedCompareExchange(LONG volatile *target, LONG exchange, LONG comparand)
{
    return __sync_val_compare_and_swap(target, comparand, exchange);
}

// The device link and the transfer, replaced at their boundary.
LinkConfig DefaultLinkConfig()
{
    LinkConfig config = {};
    strcpy(config.hardwareId, "USB\\VID_7A3D&PID_5E21&MI_01");
    return config;
}

int FindPrinter(LinkConfig)
{
    desktop.closesAtLookup.push_back(desktop.closeHandlesCalls);
    desktop.lookups++;
    return nextLookup < desktop.lookupResults.size() ? desktop.lookupResults[nextLookup++] : 0;
}

int CloseDeviceHandles()
{
    desktop.closeHandlesCalls++;
    return 1;
}

int RunTransferAction(HINSTANCE)
{
    desktop.transfers++;
    return nextTransfer < desktop.transferResults.size() ? desktop.transferResults[nextTransfer++]
                                                         : 0;
}
