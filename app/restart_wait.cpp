// The printer's restart after the last byte: the update counts as done only when the printer
// comes back running the new firmware.
#include "app/restart_wait_internal.h"

#include "app/printer_lookup.h"
#include "build_config.h"
#include "progress/progress.h"
#include "resources/resource.h"
#include "transfer/chunked_transfer.h"
#include "ui_shared/ui_shared.h"

// Waits milliseconds; with the progress dialog up, runs its messages as they come, so that it
// paints, moves and never reads as not responding.
static void WaitAnswering(int shown, DWORD milliseconds)
{
    DWORD started = GetTickCount();
    for (DWORD waited = 0; waited < milliseconds; waited = GetTickCount() - started) {
        if (MsgWaitForMultipleObjects(0, NULL, FALSE, milliseconds - waited,
                                      shown ? QS_ALLINPUT : 0) == WAIT_OBJECT_0)
            PumpProgressMessages();
    }
}

// The restart after the last byte, of a printer that reported revisionBefore before it.
static int AwaitNewFirmware(const LinkConfig *config, int view, int revisionBefore)
{
    DWORD started = GetTickCount();
    unsigned seconds = UPDATE_TOOL_RESTART_SECONDS;
    int seenGone = 0;
    int seenRevision = -1;
    int shown = 0;

    // The printer restarts: the handles belong to the device that goes away.
    CloseDeviceHandles();
    RunLog("restart: waiting up to %u s for the printer to report REV_%04X", seconds,
           FirmwareRevision());
    if (view == TRANSFER_SHOWN) {
        char caption[128];
        caption[0] = '\0';
        LoadStringA(ModuleInstance(), IDS_TITLE, caption, sizeof caption);
        shown = ProgressOpen(IDS_TRANSFERRING, 0, caption);
        ProgressStep(1, 1);
        ProgressShowNotice(IDS_RESTARTING);
    }
    int state = UI_NOT_FOUND;
    for (;;) {
        state = LookForPrinter(config, LOOK_AFRESH);
        if (SendsOnAction(state)) {
            seenRevision = PrinterRevision();
            // Back, with it or with another. A printer that has not gone yet (it resets a moment
            // after the last byte) still reports what it had: until it is seen gone, only the
            // new revision counts, and only when it is not the one it had (a send all the same).
            if (seenGone || (seenRevision == FirmwareRevision() && revisionBefore != seenRevision))
                break;
        } else {
            seenGone = 1;
        }
        if (GetTickCount() - started >= seconds * 1000)
            break;
        WaitAnswering(shown, lookIntervalMs);
    }
    if (shown)
        ProgressClose();
    if (!SendsOnAction(state)) {
        RunLog("restart: no single printer of the model back within %u s", seconds);
        return UI_UNCONFIRMED;
    }
    if (seenRevision == FirmwareRevision()) {
        RunLog("restart: the printer reports REV_%04X", seenRevision);
        return UI_DONE;
    }
    if (seenRevision < 0)
        RunLog("restart: the printer reports no revision");
    else if (!seenGone)
        RunLog("restart: the printer still reports REV_%04X after %u s", seenRevision, seconds);
    else
        RunLog("restart: the printer came back with REV_%04X, not REV_%04X", seenRevision,
               FirmwareRevision());
    return UI_UNCONFIRMED;
}

int TransferAndConfirm(HINSTANCE instance, const LinkConfig *config, int view)
{
    int revisionBefore = PrinterRevision();
    if (!RunTransferAction(instance, view))
        return UI_FAILED;
    if (FirmwareRevision() < 0)
        return UI_DONE;
    // A printer that reports no revision cannot say it runs the new firmware: as a build
    // without one, the transfer is done when every byte was accepted.
    if (revisionBefore < 0) {
        RunLog("restart: not waited for, the printer reports no revision");
        return UI_DONE;
    }
    return AwaitNewFirmware(config, view, revisionBefore);
}
