// The lookup in the terms of a run's states.
#include "app/printer_lookup.h"

#include "ui_shared/ui_shared.h"

// What the run's log last said a lookup found, whoever looked: a day's wait, or a dialog left
// open, logs each change, not every look.
struct LookupLog {
    int lastFound; // a UiStateValue; 0 before the first look
};
static LookupLog lookupLog = {0};

int LookForPrinter(const LinkConfig *config, int mode)
{
    int present = 0;
    int state = UI_READY;
    if (!FindPrinter(*config, &present, mode))
        state = present > 1 ? UI_SEVERAL : UI_NOT_FOUND;
    if (state != lookupLog.lastFound)
        RunLog("lookup: %s", state == UI_READY     ? "one printer"
                             : state == UI_SEVERAL ? "several printers"
                                                   : "no printer");
    lookupLog.lastFound = state;
    return state;
}
