// Printer discovery among the still-image USB ports.
#include "device/device_call_internal.h"
#include "device/link_state_internal.h"
#include "device/scanner_port_internal.h"

#include <winioctl.h>

#include <usbscan.h>

// Ports 0 to 14: the still-image driver numbers no more than that for this tool.
static const int scannerPortCount = 15;

static const char *const pipeFormats[4] = {"%s\\0", "%s\\1", "%s\\2", "%s\\3"};

// Opens one pipe of the port the way the still-image driver expects to be opened.
static HANDLE OpenPipe(const char *portName, int pipe, int osFamily)
{
    char pipeName[32];
    wsprintfA(pipeName, pipeFormats[pipe], portName);
    return OpenLinkHandle(pipeName, FILE_ATTRIBUTE_SYSTEM, osFamily);
}

// 1 when the device behind the open pipe 0 reports these vendor and product IDs.
static int DescriptorMatches(HANDLE pipe0, int vendorId, int productId)
{
    DEVICE_DESCRIPTOR descriptor;
    DWORD returned = 0;
    ZeroMemory(&descriptor, sizeof descriptor);
    DeviceRequest request = {
        pipe0, (DWORD)IOCTL_GET_DEVICE_DESCRIPTOR, NULL, 0, &descriptor, sizeof descriptor, 0};
    // The lookup runs before any window of the tool shows: messages wait for its end.
    if (!IssueDeviceCall(&request) || AwaitDeviceCall(0, &returned) != DEVICE_DONE)
        return 0;
    if ((int)(DWORD)descriptor.usVendorId != vendorId)
        return 0;
    return (int)(DWORD)descriptor.usProductId == productId;
}

int FindScannerPort(int vendorId, int productId, int scanPipeMode, int osFamily, int *present)
{
    int matchedPort = -1;
    char portName[32];

    *present = 0;
    if (PrimaryHandle() != INVALID_HANDLE_VALUE) {
        *present = 1;
        return 1;
    }
    // Only pipes 0/1 and 2/3 are pairs the printer listens on; anything else is refused before
    // a port is touched.
    if (scanPipeMode != 0 && scanPipeMode != 2)
        return 0;

    // Every port is asked, not only up to the first match: with two printers of the model
    // attached the tool cannot know which one the user means, and two are enough to say so.
    for (int port = 0; port < scannerPortCount && *present < 2; port++) {
        wsprintfA(portName, "\\\\.\\Usbscan%d", port);
        HANDLE pipe0 = OpenPipe(portName, 0, osFamily);
        if (pipe0 == INVALID_HANDLE_VALUE)
            continue;
        if (DescriptorMatches(pipe0, vendorId, productId) && ++*present == 1) {
            // The first match's pipe 0 is kept: it is the pipe written in mode 0.
            matchedPort = port;
            SetPrimaryHandle(pipe0);
            continue;
        }
        CloseHandle(pipe0);
    }
    if (*present != 1) {
        CloseDeviceHandles();
        return 0;
    }

    wsprintfA(portName, "\\\\.\\Usbscan%d", matchedPort);
    SetSecondaryHandle(OpenPipe(portName, 1, osFamily));
    if (scanPipeMode == 2) {
        CloseDeviceHandles();
        SetPrimaryHandle(OpenPipe(portName, 2, osFamily));
        SetSecondaryHandle(OpenPipe(portName, 3, osFamily));
    }
    // Every write goes to primaryHandle: a match that cannot be written is no printer found.
    if (PrimaryHandle() == INVALID_HANDLE_VALUE) {
        CloseDeviceHandles();
        return 0;
    }
    return 1;
}

int ParseHexField(const char *text)
{
    char copy[256];
    DWORD value = 0;

    lstrcpynA(copy, text, (int)sizeof copy);
    CharLowerA(copy);
    if (copy[0] == '\0')
        return 0;
    for (int i = 0; copy[i] != '\0'; i++) {
        char c = copy[i];
        if (c >= '0' && c <= '9')
            value = value * 16 + (DWORD)(c - '0');
        else if (c >= 'a' && c <= 'f')
            value = value * 16 + (DWORD)(c - 'a' + 10);
        else
            return -1;
    }
    return (int)value;
}
