// The update loop: lookup, the update dialog in the state that follows, and the transfer.
#include "app/update_loop_internal.h"

#include "app/printer_lookup.h"
#include "app/restart_wait_internal.h"
#include "app/update_dialog.h"
#include "device/device_link.h"
#include "resources/resource.h"
#include "transfer/chunked_transfer.h"

int ShowUpdateDialog(HINSTANCE instance, UpdateShowing *showing)
{
    // A dialog that never appears must read as Exit: a 1 left from an earlier showing would
    // send the loop round again with no window, a busy loop nobody could stop.
    showing->actionChosen = 0;
    DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_UPDATE), NULL, UpdateDialogProc,
                    (LPARAM)showing);
    return showing->actionChosen;
}

int RunUpdateLoop(HINSTANCE instance)
{
    LinkConfig config = DefaultLinkConfig();
    UpdateShowing showing = {0, &config, 0, 0, 0};
    int outcome = 0; // of the last transfer: UI_DONE, UI_FAILED, UI_UNCONFIRMED, 0 before any
    showing.state = LookForPrinter(&config, LOOK_AFRESH);
    while (ShowUpdateDialog(instance, &showing)) {
        // The dialog followed the printer while it showed: the button pressed answers the state
        // the user aimed at.
        int answered = showing.state;
        // Every click looks again. Retry for its own sake; Transfer so that the image goes only
        // where exactly one printer of the model is there at the click, opened afresh: one
        // plugged in or swapped since the last look is counted, never guessed at.
        showing.state = LookForPrinter(&config, LOOK_AFRESH);
        showing.changedAt = 0;
        if (!SendsOnAction(answered) && SendsOnAction(showing.state)) {
            // A Retry that found the printer brings the same button back as Transfer, under the
            // pointer: the second click of a double-click, or Enter held down, lands on it.
            // For a second such a click is the Retry it was, as after a change the dialog made.
            showing.stateBeforeChange = answered;
            showing.changedAt = GetTickCount();
        }
        // Transfer sends where the printer needs the image, and where it has it already when the
        // click said to send all the same; a printer found to have it since the click is shown
        // so first.
        if (!SendsOnAction(answered) || !SendsOnAction(showing.state) ||
            (showing.state == UI_CURRENT && answered != UI_CURRENT))
            continue;
        outcome = TransferAndConfirm(instance, &config, TRANSFER_SHOWN);
        showing.state = outcome;
        if (outcome == UI_DONE) {
            // Only Exit is offered; whatever the dialog leaves, the run is over.
            ShowUpdateDialog(instance, &showing);
            break;
        }
    }
    CloseDeviceHandles();
    return outcome != 0 ? outcome : showing.state;
}
