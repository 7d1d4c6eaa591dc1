// The lookup in the terms of a run's states.
#include "app/printer_lookup.h"

#include "build_config.h"
#include "ui_shared/ui_shared.h"

// What the run's log last said a lookup found, whoever looked: a day's wait, or a dialog left
// open, logs each change, not every look.
struct LookupLog {
    int lastFound; // a UiStateValue; 0 before the first look
};
static LookupLog lookupLog = {0};

int FirmwareRevision() { return UPDATE_TOOL_FIRMWARE_REVISION; }

int LookForPrinter(const LinkConfig *config, int mode)
{
    int present = 0;
    int state = UI_READY;
    int revision = -1;
    if (!FindPrinter(*config, &present, mode)) {
        state = present > 1 ? UI_SEVERAL : UI_NOT_FOUND;
    } else {
        revision = PrinterRevision();
        if (IsCurrent(revision, FirmwareRevision()))
            state = UI_CURRENT;
    }
    if (state == lookupLog.lastFound)
        return state;
    lookupLog.lastFound = state;
    if (state == UI_NOT_FOUND || state == UI_SEVERAL)
        RunLog("lookup: %s", state == UI_SEVERAL ? "several printers" : "no printer");
    else if (FirmwareRevision() < 0)
        RunLog("lookup: one printer");
    else if (revision < 0)
        RunLog("lookup: one printer, no revision reported");
    else
        RunLog("lookup: one printer, REV_%04X%s", revision,
               state == UI_CURRENT ? ": already has this firmware or a newer one" : "");
    return state;
}

int IsCurrent(int printerRevision, int firmwareRevision)
{
    // A newer firmware is left alone as this one is: a downgrade is asked for, never made.
    return printerRevision >= 0 && firmwareRevision >= 0 && printerRevision >= firmwareRevision;
}

int SendsOnAction(int state) { return state == UI_READY || state == UI_CURRENT; }
