// The update dialog: the tool's only main window, one message and at most two buttons.
#ifndef UPDATE_TOOL_UPDATE_DIALOG_H
#define UPDATE_TOOL_UPDATE_DIALOG_H

#include <windows.h>

enum UiStateValue {
    UI_READY = 1,
    UI_NOT_FOUND = 2,
    UI_FAILED = 4,
    UI_DONE = 5,
};

// The state the next showing presents; written by the update loop before each showing.
void SetUiState(int state);
int UiState();

// 1 after the action button (Transfer or Retry) closed the dialog, 0 after Exit.
int RetryRequested();
void SetRetryRequested(int value);

INT_PTR CALLBACK UpdateDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

#endif
