// Device control declarations for the host build: CTL_CODE and its parts live in windows.h.
#ifndef UPDATE_TOOL_SIM_WINIOCTL_H
#define UPDATE_TOOL_SIM_WINIOCTL_H

#include <windows.h>

#endif
