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

// What one transfer shows of itself: its progress dialog, opened once with an empty bar and
// closed at its end (none when unseen), and the bytes sent for the log, in tenths of the total.
struct TransferWindow {
    int view;
    int open;
    DWORD stepCount;
    char caption[128];
    DWORD sent;
    DWORD total;
    DWORD loggedTenths;
};

static void OpenProgressOnce(TransferWindow *window)
{
    if (window->open || window->view == TRANSFER_UNSEEN)
        return;
    window->open = 1;
    ProgressOpen(IDS_TRANSFERRING, 0, window->caption);
    // A cancel from the progress window must not leave the printer with half an image, so
    // only a failed send ends the transfer.
    ProgressStep(window->stepCount, 0);
}

// Sends one piece and waits until the printer has taken it, running the thread's messages
// whenever one arrives meanwhile: a window that stops answering is one the system offers to
// close, with the printer holding half an image. step, when not 0, is shown while the piece is
// on its way: on a fast link the bar's work would otherwise sit between two writes and set the
// pace. A printer that has taken nothing for a while is said to be busy writing until the piece
// has gone: a user who sees the bar stand still, or no window at all after the click, unplugs
// it. A printer that holds the header (erasing its flash for the announced length) so brings
// the dialog up before the image goes.
static int SendPiece(TransferWindow *window, int sendMode, const BYTE *data, DWORD length,
                     DWORD step)
{
    int busyShown = 0;
    // The pause began when the last byte moved, the quiet mark before it was noticed.
    DWORD pausedAt = 0;

    if (!SendToDevice(sendMode, data, NULL, length))
        return 0;
    if (step != 0)
        ProgressStep(window->stepCount, step);
    for (;;) {
        int woke = AwaitDevice();
        if (woke == DEVICE_QUIET) {
            OpenProgressOnce(window);
            ProgressShowBusy(1);
            if (!busyShown)
                pausedAt = GetTickCount() - deviceQuietMs;
            busyShown = 1;
            continue;
        }
        if (woke != DEVICE_MESSAGE) {
            if (busyShown && woke == DEVICE_DONE)
                ProgressShowBusy(0);
            if (busyShown)
                RunLog("printer paused for %lu ms after %lu bytes", GetTickCount() - pausedAt,
                       window->sent);
            if (woke != DEVICE_DONE)
                return 0;
            window->sent += length;
            // In tenths of the total: a 64 MiB image times ten still fits 32 bits.
            DWORD tenths = window->sent * 10 / window->total;
            if (tenths != window->loggedTenths)
                RunLog("sent %lu of %lu bytes", window->sent, window->total);
            window->loggedTenths = tenths;
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
    DWORD index = 0;
    TransferWindow window;

    // Nothing to send, or no way to cut it into pieces: fail before the printer sees a header
    // announcing an image that never follows. The bar could not be driven either: its
    // arithmetic divides by the step count.
    if (image == NULL || imageLength == 0 || chunkSize == 0)
        return 0;
    window.view = view;
    window.open = 0;
    window.stepCount = StepCount(imageLength, chunkSize);
    window.sent = 0;
    window.total = headerLength + imageLength;
    window.loggedTenths = 0;
    window.caption[0] = '\0';
    LoadStringA(ModuleInstance(), IDS_TITLE, window.caption, sizeof window.caption);
    // The dialog usually opens after the header, which the printer takes at once; only one
    // that holds it opens the dialog while the header waits.
    if (headerLength != 0 && !SendPiece(&window, sendMode, header, headerLength, 0))
        goto done;
    OpenProgressOnce(&window);

    // Each piece shows the step of the one before it while it is on its way.
    while (remaining > chunkSize) {
        if (!SendPiece(&window, sendMode, image + offset, chunkSize, index))
            goto done;
        remaining -= chunkSize;
        offset += chunkSize;
        index += 1;
    }
    // The last piece, short or of full size, always goes here; remaining is at least 1.
    if (!SendPiece(&window, sendMode, image + offset, remaining, index))
        goto done;
    ProgressStep(window.stepCount, window.stepCount);
    result = 1;
done:
    if (window.open)
        ProgressClose();
    return result;
}
