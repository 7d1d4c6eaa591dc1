// The update loop: lookup, the update dialog in the state that follows, and the transfer.
#include "app/update_loop.h"

#include "app/update_dialog.h"
#include "device/device_link.h"
#include "resources/resource.h"
#include "transfer/chunked_transfer.h"

int ShowUpdateDialog(HINSTANCE instance, int state)
{
    SetUiState(state);
    // A dialog that never appears must read as Exit: a 1 left from an earlier showing would
    // send the loop round again with no window, a busy loop nobody could stop.
    SetRetryRequested(0);
    DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_UPDATE), NULL, UpdateDialogProc, 0);
    return RetryRequested();
}

void RunUpdateLoop(HINSTANCE instance)
{
    LinkConfig config = DefaultLinkConfig();
    for (;;) {
        if (!FindPrinter(config)) {
            if (ShowUpdateDialog(instance, UI_NOT_FOUND))
                continue;
            break;
        }
        if (!ShowUpdateDialog(instance, UI_READY))
            break;
        if (RunTransferAction(instance)) {
            // Only Exit is offered; whatever the dialog leaves, the run is over.
            ShowUpdateDialog(instance, UI_DONE);
            break;
        }
        if (!ShowUpdateDialog(instance, UI_FAILED))
            break;
    }
    CloseDeviceHandles();
}

int RunUpdateTool(HINSTANCE instance)
{
    if (!ClaimSingleInstance())
        return 0;
    RunUpdateLoop(instance);
    return 0;
}
