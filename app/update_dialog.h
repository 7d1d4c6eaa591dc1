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

// The state the next showing presents; written by the update loop before each showing. While
// the ready, not-found and several-printers states show, the dialog follows the printer and
// may move among them: after the showing, the state the user answered.
void SetUiState(int state);
int UiState();

// 1 after the action button (Transfer or Retry) closed the dialog, 0 after Exit.
int RetryRequested();
void SetRetryRequested(int value);

// Looks for the printer with config and names the state that follows: UI_READY with the
// printer's handles open, UI_SEVERAL when more than one printer of the model is present (none
// is opened), UI_NOT_FOUND otherwise.
int LookUpPrinter(LinkConfig config);

// DialogBoxParamA's parameter is the LinkConfig of the run, with which the dialog follows the
// printer; NULL keeps the state as shown.
INT_PTR CALLBACK UpdateDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

#endif
