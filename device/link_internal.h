// Inside the device link, and for its tests: the lookup's own pieces above everything the link
// holds.
#ifndef UPDATE_TOOL_LINK_INTERNAL_H
#define UPDATE_TOOL_LINK_INTERNAL_H

#include "device/link_state_internal.h"
#include "device/printer_class_internal.h"
#include "device/scanner_port_internal.h"

// Classifies the running Windows version as an OsFamily; leaves *osFamily alone when the
// version cannot be read.
void GetOsFamily(int *osFamily);

#endif
