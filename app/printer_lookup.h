// What a run passes through, and the one way the dialog, the loop and the unattended runs look
// for the printer.
#ifndef UPDATE_TOOL_PRINTER_LOOKUP_H
#define UPDATE_TOOL_PRINTER_LOOKUP_H

#include "device/device_link.h"

// The states of a run, each shown by the update dialog in its own way; a lookup answers
// UI_READY, UI_NOT_FOUND, UI_SEVERAL or UI_CURRENT.
enum UiStateValue {
    UI_READY = 1,     // exactly one printer of the model, its handles open
    UI_NOT_FOUND = 2, // none
    UI_FAILED = 4,    // the image did not all reach the printer
    UI_DONE = 5,      // the printer accepted every byte (and, with a revision, came back with it)
    UI_SEVERAL = 6,   // more than one printer of the model: none is opened
    UI_CURRENT = 7,   // as UI_READY, and the printer reports this firmware's revision or a newer
    // Every byte accepted, but the printer did not come back reporting the revision in time.
    UI_UNCONFIRMED = 8,
};

// How often whoever waits for the printer looks for it: one plugged in or pulled out shows within
// a second or two, and the machine does not notice the cost.
static const DWORD lookIntervalMs = 1000;

// The release number the printer reports once it runs this firmware; -1 when the build names
// none, and the tool then never tells a printer that has it from one that needs it.
int FirmwareRevision();

// Looks for the printer with config (mode: a LookMode) and says what was found: UI_READY or
// UI_CURRENT exactly when the device link holds the one printer's handles open (UI_CURRENT when
// it reports FirmwareRevision() or a newer one), UI_SEVERAL when more than one of the model is
// there (none is opened), UI_NOT_FOUND otherwise. Each answer that differs from the one before
// goes to the run's log.
int LookForPrinter(const LinkConfig *config, int mode);

// 1 when a printer reporting printerRevision needs no firmware of firmwareRevision: both known
// (-1: unknown) and the printer's the same or newer, as 16-bit numbers.
int IsCurrent(int printerRevision, int firmwareRevision);

// 1 when the action button of a state sends the image: the ready and already-current states.
int SendsOnAction(int state);

#endif
