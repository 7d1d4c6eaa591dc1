// Putting bytes on the wire to the printer found by the last lookup.
#include "device/link_internal.h"

#include <winioctl.h>

#include <usbprint.h>

// The vendor command the printer-class driver forwards is its first three bytes.
static const DWORD vendorCommandLength = 3;

// The send under way: a write goes on until all of its bytes are accepted.
static int sendingWrite = 0;
static const BYTE *sendData = NULL;
static DWORD sendLength = 0;
static DWORD sendAccepted = 0;
// A vendor command is copied: the driver reads it while the call is under way.
static BYTE command[vendorCommandLength];

// Offers the printer what it has not accepted yet, where the stream stands.
static int IssueRest()
{
    DWORD rest = sendLength - sendAccepted;
    DeviceRequest request = {PrimaryHandle(), 0, sendData + sendAccepted, rest, NULL, 0,
                             StreamPosition()};
    return IssueDeviceCall(&request);
}

static int StartVendorCommand(const BYTE *data, void *reply, DWORD length)
{
    if (CurrentLinkKind() != LINK_PRINTER_CLASS)
        return 0;
    if (data == NULL || length < vendorCommandLength)
        return 0;
    CopyMemory(command, data, vendorCommandLength);
    DeviceRequest request = {PrimaryHandle(),
                             IOCTL_USBPRINT_VENDOR_SET_COMMAND,
                             command,
                             vendorCommandLength,
                             reply,
                             reply ? length : 0,
                             0};
    return IssueDeviceCall(&request);
}

int SendToDevice(int mode, const void *data, void *reply, DWORD length)
{
    sendingWrite = mode == SEND_WRITE;
    if (mode == SEND_WRITE) {
        sendData = (const BYTE *)data;
        sendLength = length;
        sendAccepted = 0;
        return IssueRest();
    }
    if (mode == SEND_VENDOR_COMMAND)
        return StartVendorCommand((const BYTE *)data, reply, length);
    return 0;
}

// A write ends only when every byte was accepted, offering the rest again after a partial
// one: the transfer header has told the printer how many bytes follow, so none may go missing.
int AwaitDevice()
{
    for (;;) {
        DWORD written = 0;
        int woke = AwaitDeviceCall(1, &written);
        if (woke != DEVICE_DONE || !sendingWrite)
            return woke;
        // More than was offered is no count a driver can mean: nothing says where the stream
        // stands after it.
        if (written == 0 || written > sendLength - sendAccepted)
            return DEVICE_FAILED;
        sendAccepted += written;
        AdvanceStreamPosition(written);
        if (sendAccepted == sendLength)
            return DEVICE_DONE;
        if (!IssueRest())
            return DEVICE_FAILED;
    }
}
