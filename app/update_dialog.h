// The update dialog: the tool's only main window, one message and at most two buttons.
#ifndef UPDATE_TOOL_UPDATE_DIALOG_H
#define UPDATE_TOOL_UPDATE_DIALOG_H

#include "device/device_link.h"

#include <windows.h>

enum UiStateValue {
    UI_READY = 1,
    UI_NOT_FOUND = 2,
    UI_FAILED = 4,
    UI_DONE = 5,
    UI_SEVERAL = 6, // more than one printer of the model: none is opened; Retry or Exit
};

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

// Looks for the printer again with showing->follows (mode: a LookMode) and puts the state that
// follows in showing->state: UI_READY exactly when the device link holds the one printer's
// handles open, UI_SEVERAL when more than one of the model is there (none is opened),
// UI_NOT_FOUND otherwise. 1 when the state changed.
int LookAgain(UpdateShowing *showing, int mode);

// DialogBoxParamA's parameter is the UpdateShowing, which must outlive the dialog.
INT_PTR CALLBACK UpdateDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

#endif
