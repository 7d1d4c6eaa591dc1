// USB printing driver declarations for the host build.
#ifndef UPDATE_TOOL_SIM_USBPRINT_H
#define UPDATE_TOOL_SIM_USBPRINT_H

#include <windows.h>

#define IOCTL_USBPRINT_VENDOR_SET_COMMAND                                                          \
    CTL_CODE(FILE_DEVICE_UNKNOWN, 14, METHOD_BUFFERED, FILE_ANY_ACCESS)

#ifdef UPDATE_TOOL_SIM_INITGUID
extern const GUID GUID_DEVINTERFACE_USBPRINT = {
    0x28d78fad, 0x5a12, 0x11d1, {0xae, 0x5b, 0x00, 0x00, 0xf8, 0x03, 0xa8, 0xc2}};
#else
extern const GUID GUID_DEVINTERFACE_USBPRINT;
#endif

#endif
