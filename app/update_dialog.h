// The update dialog: the tool's only main window, one message and at most two buttons.
#ifndef UPDATE_TOOL_UPDATE_DIALOG_H
#define UPDATE_TOOL_UPDATE_DIALOG_H

#include "app/printer_lookup.h"

#include <windows.h>

// One showing of the update dialog, kept by whoever shows it and reached by the dialog through
// its own window data: the state shown, what it follows the printer with, and the user's answer.
struct UpdateShowing {
    // The state shown. While the ready, not-found and several-printers states show, the dialog
    // follows the printer and may move among them; after the showing, the state the user answered.
    int state;
    // The run's link configuration: what the dialog looks for the printer with (never NULL).
    const LinkConfig *follows;
    // 1 after the action button (Transfer or Retry) closed the dialog, 0 after Exit or when no
    // dialog came up.
    int actionChosen;
    // When the state last changed (0: not since the showing began), and the state before it: a
    // click that lands just after the button changed its meaning was aimed at the old one.
    DWORD changedAt;
    int stateBeforeChange;
};

// DialogBoxParamA's parameter is the UpdateShowing, which must outlive the dialog.
INT_PTR CALLBACK UpdateDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

#endif
