// Still-image USB driver declarations for the host build.
#ifndef UPDATE_TOOL_SIM_USBSCAN_H
#define UPDATE_TOOL_SIM_USBSCAN_H

#include <windows.h>

#define FILE_DEVICE_USB_SCAN 0x8000U
#define IOCTL_GET_DEVICE_DESCRIPTOR                                                                \
    CTL_CODE(FILE_DEVICE_USB_SCAN, 0x806, METHOD_BUFFERED, FILE_ANY_ACCESS)

typedef struct _DEVICE_DESCRIPTOR {
    USHORT usVendorId;
    USHORT usProductId;
    USHORT usBcdDevice;
    USHORT usLanguageId;
} DEVICE_DESCRIPTOR, *PDEVICE_DESCRIPTOR;

#endif
