// The start-up yardstick: the update dialog in its ready state from the tool's own resources,
// with nothing else (no instance check, no printer lookup, no embedded image).
#include <windows.h>

#include "resources/resource.h"

static void SetItemFromTable(HWND window, int itemId, UINT stringId)
{
    char text[256];
    text[0] = '\0';
    LoadStringA(NULL, stringId, text, 255);
    SetDlgItemTextA(window, itemId, text);
}

static INT_PTR CALLBACK MinimalDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    (void)lParam;
    switch (message) {
    case WM_INITDIALOG: {
        SetItemFromTable(window, IDC_MESSAGE, IDS_READY);
        SetItemFromTable(window, IDC_ACTION, IDS_TRANSFER);
        SetItemFromTable(window, IDC_EXIT, IDS_EXIT);
        char caption[256];
        caption[0] = '\0';
        LoadStringA(NULL, IDS_TITLE, caption, 255);
        SetWindowTextA(window, caption);
        RECT rect;
        GetWindowRect(window, &rect);
        int w = rect.right - rect.left, h = rect.bottom - rect.top;
        MoveWindow(window, (GetSystemMetrics(SM_CXSCREEN) - w) / 2,
                   (GetSystemMetrics(SM_CYSCREEN) - h) / 2, w, h, FALSE);
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_ACTION || LOWORD(wParam) == IDC_EXIT)
            EndDialog(window, 0);
        return FALSE;
    default:
        return FALSE;
    }
}

// Started the way the tool is, at an entry point of its own without the C runtime's start-up.
extern "C" void WINAPI UpdateToolStart()
{
    DialogBoxParamA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDD_UPDATE), NULL, MinimalDialogProc,
                    0);
    ExitProcess(0);
}
