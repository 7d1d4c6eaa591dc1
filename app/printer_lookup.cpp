// The lookup in the terms of a run's states.
#include "app/printer_lookup.h"

int LookForPrinter(const LinkConfig *config, int mode)
{
    int present = 0;
    if (FindPrinter(*config, &present, mode))
        return UI_READY;
    return present > 1 ? UI_SEVERAL : UI_NOT_FOUND;
}
