// What a run passes through, and the one way the dialog, the loop and the unattended runs look
// for the printer.
#ifndef UPDATE_TOOL_PRINTER_LOOKUP_H
#define UPDATE_TOOL_PRINTER_LOOKUP_H

#include "device/device_link.h"

// The states of a run, each shown by the update dialog in its own way; a lookup answers the
// first, the second or the last.
enum UiStateValue {
    UI_READY = 1,     // exactly one printer of the model, its handles open
    UI_NOT_FOUND = 2, // none
    UI_FAILED = 4,    // the image did not all reach the printer
    UI_DONE = 5,      // the printer accepted every byte
    UI_SEVERAL = 6,   // more than one printer of the model: none is opened
};

// Looks for the printer with config (mode: a LookMode) and says what was found: UI_READY
// exactly when the device link holds the one printer's handles open, UI_SEVERAL when more than
// one of the model is there (none is opened), UI_NOT_FOUND otherwise. Each answer that differs
// from the one before goes to the run's log.
int LookForPrinter(const LinkConfig *config, int mode);

#endif
