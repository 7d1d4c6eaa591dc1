// The update loop: lookup, the update dialog in the state that follows, and the transfer.
#include "app/update_loop_internal.h"

#include "app/update_dialog.h"
#include "device/device_link.h"
#include "resources/resource.h"
#include "transfer/chunked_transfer.h"

int ShowUpdateDialog(HINSTANCE instance, int state, const LinkConfig *config)
{
    SetUiState(state);
    // A dialog that never appears must read as Exit: a 1 left from an earlier showing would
    // send the loop round again with no window, a busy loop nobody could stop.
    SetRetryRequested(0);
    DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_UPDATE), NULL, UpdateDialogProc, (LPARAM)config);
    return RetryRequested();
}

void RunUpdateLoop(HINSTANCE instance)
{
    LinkConfig config = DefaultLinkConfig();
    int state = LookUpPrinter(config);
    for (;;) {
        int action = ShowUpdateDialog(instance, state, &config);
        // The dialog followed the printer while it showed: the button pressed answers the state
        // the user aimed at.
        int answered = UiState();
        if (!action)
            break;
        // Every click looks again. Retry for its own sake; Transfer so that the image goes only
        // where exactly one printer of the model is there at the click, opened afresh: one
        // plugged in or swapped since the last look is counted, never guessed at.
        state = LookUpPrinter(config);
        if (answered != UI_READY || state != UI_READY)
            continue;
        if (RunTransferAction(instance)) {
            // Only Exit is offered; whatever the dialog leaves, the run is over.
            ShowUpdateDialog(instance, UI_DONE, NULL);
            break;
        }
        state = UI_FAILED;
    }
    CloseDeviceHandles();
}
