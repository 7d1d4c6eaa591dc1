// The transfer action: header, then the image in chunks while the progress bar advances.
#include "transfer/chunked_transfer.h"

#include "transfer/chunked_transfer_internal.h"

#include "device/device_link.h"
#include "progress/progress.h"
#include "resources/resource.h"
#include "transfer/firmware_image_internal.h"
#include "transfer/session_guard_internal.h"
#include "ui_shared/ui_shared.h"

int RunTransferAction(HINSTANCE instance, int view)
{
    if (!LoadFirmwareImage(instance))
        return 0;
    TransferSettings settings = ShippedTransferSettings();
    return TransferFirmware(instance, FirmwareImage(), FirmwareImageLength(), settings.sendMode,
                            TransferHeader(), settings.headerLength, settings.chunkSize, view);
}

int TransferFirmware(HINSTANCE instance, const BYTE *image, DWORD imageLength, int sendMode,
                     const BYTE *header, DWORD headerLength, DWORD chunkSize, int view)
{
    SetModuleInstance(instance);
    // No owner: no other window is disabled while the progress dialog is up.
    SetOwnerWindow(NULL);
    SessionGuardBegin();
    int sent =
        SendFirmwareChunks(image, imageLength, sendMode, header, headerLength, chunkSize, view);
    SessionGuardEnd();
    return sent != 0 ? 1 : 0;
}

// How far one transfer has got and what it shows of it: the progress dialog's steps, with the
// caption the dialog opens with (none when unseen), and the bytes sent for the log, in tenths
// of the total. Kept across the pieces, each sent in its own call. Whether the dialog is open
// is the dialog's to know: its open answers whether this one opened it.
struct TransferProgress {
    int view;
    DWORD stepCount;
    char caption[128];
    DWORD sent;
    DWORD total;
    DWORD loggedTenths;
};

// The step of a piece that is not one of the image's: the header.
static const DWORD notAStep = 0;

// Opens the dialog with an empty bar the first time it is asked to, and leaves it alone after.
static void OpenProgressOnce(const TransferProgress *progress)
{
    if (progress->view == TRANSFER_UNSEEN)
        return;
    // A cancel from the progress window must not leave the printer with half an image, so
    // only a failed send ends the transfer.
    if (ProgressOpen(IDS_TRANSFERRING, 0, progress->caption))
        ProgressStep(progress->stepCount, 0);
}

// Sends one piece and waits until the printer has taken it, running the thread's messages
// whenever one arrives meanwhile: a window that stops answering is one the system offers to
// close, with the printer holding half an image. step is the piece's own, counted from 1 (or
// notAStep); the steps before it are shown while it is on its way: on a fast link the bar's
// work would otherwise sit between two writes and set the pace. A printer that has taken nothing
// for a while is said to be busy writing until the piece has gone: a user who sees the bar stand
// still, or no window at all after the click, unplugs it. A printer that holds the header (erasing
// its flash for the announced length) so brings the dialog up before the image goes.
static int SendPiece(TransferProgress *progress, int sendMode, const BYTE *data, DWORD length,
                     DWORD step)
{
    int busyShown = 0;
    // The pause began when the last byte moved, the quiet mark before it was noticed.
    DWORD pausedAt = 0;

    if (!SendToDevice(sendMode, data, NULL, length))
        return 0;
    // Before the first step the open's empty bar already shows that none is done.
    if (step != notAStep && step > 1)
        ProgressStep(progress->stepCount, step - 1);
    for (;;) {
        int woke = AwaitDevice();
        if (woke == DEVICE_QUIET) {
            OpenProgressOnce(progress);
            ProgressShowNotice(IDS_PRINTER_BUSY);
            if (!busyShown)
                pausedAt = GetTickCount() - deviceQuietMs;
            busyShown = 1;
            continue;
        }
        if (woke != DEVICE_MESSAGE) {
            if (busyShown && woke == DEVICE_DONE)
                ProgressShowNotice(0);
            if (busyShown)
                RunLog("printer paused for %lu ms after %lu bytes", GetTickCount() - pausedAt,
                       progress->sent);
            if (woke != DEVICE_DONE)
                return 0;
            progress->sent += length;
            // In tenths of the total: a 64 MiB image times ten still fits 32 bits.
            DWORD tenths = progress->sent * 10 / progress->total;
            if (tenths != progress->loggedTenths)
                RunLog("sent %lu of %lu bytes", progress->sent, progress->total);
            progress->loggedTenths = tenths;
            return 1;
        }
        // Also once the user has closed the progress window: the session guard must answer.
        PumpProgressMessages();
    }
}

// The number of progress steps: one per piece, the last piece possibly short. Written without
// the usual (length + size - 1) so that a length near 4 GiB cannot wrap to a small count.
static DWORD StepCount(DWORD imageLength, DWORD chunkSize)
{
    return imageLength / chunkSize + (imageLength % chunkSize != 0 ? 1 : 0);
}

int SendFirmwareChunks(const BYTE *image, DWORD imageLength, int sendMode, const BYTE *header,
                       DWORD headerLength, DWORD chunkSize, int view)
{
    int result = 0;
    DWORD offset = 0;
    DWORD remaining = imageLength;
    DWORD step = 1;
    TransferProgress progress;

    // Nothing to send, or no way to cut it into pieces: fail before the printer sees a header
    // announcing an image that never follows. The bar could not be driven either: its
    // arithmetic divides by the step count.
    if (image == NULL || imageLength == 0 || chunkSize == 0)
        return 0;
    progress.view = view;
    progress.stepCount = StepCount(imageLength, chunkSize);
    progress.sent = 0;
    progress.total = headerLength + imageLength;
    progress.loggedTenths = 0;
    progress.caption[0] = '\0';
    LoadStringA(ModuleInstance(), IDS_TITLE, progress.caption, sizeof progress.caption);
    // The dialog usually opens after the header, which the printer takes at once; only one
    // that holds it opens the dialog while the header waits.
    if (headerLength != 0 && !SendPiece(&progress, sendMode, header, headerLength, notAStep))
        goto done;
    OpenProgressOnce(&progress);

    // Each piece shows the step of the one before it while it is on its way.
    while (remaining > chunkSize) {
        if (!SendPiece(&progress, sendMode, image + offset, chunkSize, step))
            goto done;
        remaining -= chunkSize;
        offset += chunkSize;
        step += 1;
    }
    // The last piece, short or of full size, always goes here; remaining is at least 1.
    if (!SendPiece(&progress, sendMode, image + offset, remaining, step))
        goto done;
    ProgressStep(progress.stepCount, progress.stepCount);
    result = 1;
done:
    // The dialog ignores a close when nothing opened it: a header refused before any wait.
    if (progress.view != TRANSFER_UNSEEN)
        ProgressClose();
    return result;
}
