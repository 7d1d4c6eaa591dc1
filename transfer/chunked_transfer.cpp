// The transfer action: header, then the image in chunks while the progress bar advances.
#include "transfer/chunked_transfer.h"

#include "common/ui_shared.h"
#include "device/device_link.h"
#include "progress/progress.h"
#include "resources/resource.h"
#include "transfer/firmware_image.h"
#include "transfer/session_guard.h"

int RunTransferAction(HINSTANCE instance)
{
    if (!LoadFirmwareImage(instance))
        return 0;
    TransferSettings settings = ShippedTransferSettings();
    return TransferFirmware(instance, FirmwareImage(), FirmwareImageLength(), settings.sendMode,
                            TransferHeader(), settings.headerLength, settings.chunkSize);
}

int TransferFirmware(HINSTANCE instance, const BYTE *image, DWORD imageLength, int sendMode,
                     const BYTE *header, DWORD headerLength, DWORD chunkSize)
{
    SetModuleInstance(instance);
    // No owner: no other window is disabled while the progress dialog is up.
    SetOwnerWindow(NULL);
    SessionGuardBegin();
    int sent = SendFirmwareChunks(image, imageLength, sendMode, header, headerLength, chunkSize);
    SessionGuardEnd();
    return sent != 0 ? 1 : 0;
}

// The progress step of the piece last sent, run while the next piece is on its way to the
// printer: on a fast link the bar's work would otherwise sit between two writes and set the
// pace. Blocking writes run no pump: there the step follows its piece at once, as it always did.
static DWORD stepTotal = 0;
static DWORD deferredStep = 0;
static int stepDeferred = 0;

static void RunDeferredStep()
{
    if (!stepDeferred)
        return;
    stepDeferred = 0;
    // "Stop" means the dialog was closed or asked to cancel; a closed one runs no more
    // messages in its steps, and the session guard must still answer.
    if (ProgressStep(stepTotal, deferredStep))
        ProgressPumpMessages();
}

static void TransferWaitPump()
{
    if (stepDeferred)
        RunDeferredStep();
    else
        ProgressPumpMessages();
}

// The number of progress steps: one per piece, the last piece possibly short. Written without
// the usual (length + size - 1) so that a length near 4 GiB cannot wrap to a small count.
static DWORD StepCount(DWORD imageLength, DWORD chunkSize)
{
    return imageLength / chunkSize + (imageLength % chunkSize != 0 ? 1 : 0);
}

int SendFirmwareChunks(const BYTE *image, DWORD imageLength, int sendMode, const BYTE *header,
                       DWORD headerLength, DWORD chunkSize)
{
    int result = 0;
    DWORD stepCount = 0;
    DWORD offset = 0;
    DWORD remaining = imageLength;
    DWORD index = 0;
    char caption[128];

    // Nothing to send, or no way to cut it into pieces: fail before the printer sees a header
    // announcing an image that never follows. The bar could not be driven either: its
    // arithmetic divides by the step count.
    if (image == NULL || imageLength == 0 || chunkSize == 0)
        return 0;
    // While a send waits for the printer, the progress window keeps painting and answering:
    // a window that stops answering is one the system offers to close, with the printer
    // holding half an image.
    stepDeferred = 0;
    SetDeviceWaitPump(TransferWaitPump);
    if (headerLength != 0 && !SendToDevice(sendMode, header, NULL, headerLength)) {
        SetDeviceWaitPump(NULL);
        return 0;
    }

    stepCount = StepCount(imageLength, chunkSize);
    stepTotal = stepCount;
    caption[0] = '\0';
    LoadStringA(ModuleInstance(), IDS_TITLE, caption, sizeof caption);
    ProgressOpen(IDS_TRANSFERRING, 0, caption);
    // A cancel from the progress window must not leave the printer with half an image, so
    // only a failed send ends the transfer.
    ProgressStep(stepCount, 0);

    while (remaining > chunkSize) {
        if (!SendToDevice(sendMode, image + offset, NULL, chunkSize))
            goto done;
        RunDeferredStep();
        remaining -= chunkSize;
        offset += chunkSize;
        index += 1;
        deferredStep = index;
        stepDeferred = 1;
        if (!DeviceCallsOverlap())
            RunDeferredStep();
    }
    // The last piece, short or of full size, always goes here; remaining is at least 1.
    if (!SendToDevice(sendMode, image + offset, NULL, remaining))
        goto done;
    RunDeferredStep();
    ProgressStep(stepCount, stepCount);
    result = 1;
done:
    stepDeferred = 0;
    ProgressClose();
    SetDeviceWaitPump(NULL);
    return result;
}
