// The device link: how the printer is looked for, the handles a lookup leaves open and the
// revision their printer reports, and writing bytes to it.
#ifndef UPDATE_TOOL_DEVICE_LINK_H
#define UPDATE_TOOL_DEVICE_LINK_H

#include <windows.h>

enum LinkKind {
    LINK_PRINTER_CLASS = 0,
    LINK_SCANNER_PORT = 1, // any non-zero kind means the scanner-port path
};

struct LinkConfig {
    int kind;
    char hardwareId[128];
    int scanPipeMode;
};
static_assert(sizeof(LinkConfig) == 136, "LinkConfig is passed by value as 136 bytes");

// Builds the one discovery record of the run from the build's printer model: its link kind,
// hardware ID and pipe mode.
LinkConfig DefaultLinkConfig();

// How a lookup treats the handles an earlier one left open.
enum LookMode {
    LOOK_AFRESH = 0, // closes them first and opens the one printer found anew
    // Keeps them while their printer is still the one of the model there, or no count can be
    // made (the scanner ports answer only through a pipe opened on them): counted, nothing
    // opened. Closes them otherwise. With no handles open, a lookup as LOOK_AFRESH.
    LOOK_KEEP = 1,
};

// Looks for the printer by config.kind. Non-zero when exactly one printer of the model is present
// and it can be written: its handles are then open, and stay open until a lookup finds otherwise
// or CloseDeviceHandles; on 0 they are closed. *present, when given, gets how many printers of
// the model the lookup saw: 0, 1, or 2 for two or more, of which none is opened (the tool cannot
// tell which one the user means to update).
int FindPrinter(LinkConfig config, int *present = NULL, int mode = LOOK_AFRESH);

// Closes whichever device handles are open and marks both closed; returns 1. The next write
// starts the stream afresh, and the printer's revision is unknown again.
int CloseDeviceHandles();

// The release number (0 to 0xFFFF) that the printer whose handles are open listed as REV_xxxx in
// its hardware IDs when the lookup that opened them read its list; a keeping lookup that keeps
// them keeps it. -1 when unknown: no handles open, no revision of the model in the list, or a
// scanner-port lookup, which reads no list.
int PrinterRevision();

enum SendMode {
    SEND_VENDOR_COMMAND = 0,
    SEND_WRITE = 1,
};

// Starts putting length bytes of data on the wire through primaryHandle (SEND_WRITE), or the
// vendor command data begins with (SEND_VENDOR_COMMAND, after a printer-class lookup only).
// 0 when it failed at once; otherwise AwaitDevice tells how it ends, and data and reply must
// stay in place until it has. Opens and closes nothing.
int SendToDevice(int mode, const void *data, void *reply, DWORD length);

enum DeviceWait {
    DEVICE_FAILED = 0,  // refused, or a count no driver can mean
    DEVICE_DONE = 1,    // done: every byte of a write accepted
    DEVICE_STALLED = 2, // nothing moved for 90 seconds: cancelled, and its end awaited
    DEVICE_MESSAGE = 3, // a message for the thread came first; the send is still under way
    DEVICE_QUIET = 4,   // nothing has moved for deviceQuietMs (3 s); the send is still under way
};

// A device call that has moved nothing for this long is cancelled and fails: Windows gives a
// printer port as long before it gives up on a job.
static const DWORD deviceStallLimitMs = 90000;
// A printer that has taken nothing for this long is told once (DEVICE_QUIET), so that the user
// can be told it is busy rather than gone.
static const DWORD deviceQuietMs = 3000;

// Waits for the send SendToDevice started until it ends or a message arrives for the thread,
// and says which (a DeviceWait). After DEVICE_MESSAGE or DEVICE_QUIET the caller runs its
// messages and waits again; after any other answer the send is over. DEVICE_QUIET comes once
// per stretch without a byte moved, and only on handles opened for overlapped calls (Windows
// 2000 and later); the stall limit still counts from the last byte moved.
int AwaitDevice();

#endif
