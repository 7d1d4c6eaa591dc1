// Putting bytes on the wire to the printer found by the last lookup.
#include "device/device_link.h"

#include "device/link_state.h"

#include <winioctl.h>

#include <usbprint.h>

// The vendor command the printer-class driver forwards is its first three bytes.
static const DWORD vendorCommandLength = 3;

// Writes all of data to primaryHandle, offering the rest again after a partial write: the
// transfer header has told the printer how many bytes follow, so none may go missing.
static int WriteWhole(const BYTE *data, DWORD length)
{
    DWORD sent = 0;
    do {
        DWORD written = 0;
        DeviceRequest request = {PrimaryHandle(), 0, data + sent, length - sent, NULL, 0,
                                 StreamPosition()};
        if (!DeviceCall(&request, &written))
            return 0;
        // More than was offered is no count a driver can mean: nothing says where the stream
        // stands after it.
        if (written == 0 || written > length - sent)
            return 0;
        sent += written;
        AdvanceStreamPosition(written);
    } while (sent < length);
    return 1;
}

static int SendVendorCommand(const BYTE *data, void *reply, DWORD length)
{
    BYTE command[vendorCommandLength];
    DWORD returned = 0;

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
    return DeviceCall(&request, &returned);
}

int SendToDevice(int mode, const void *data, void *reply, DWORD length)
{
    if (mode == SEND_WRITE)
        return WriteWhole((const BYTE *)data, length);
    if (mode == SEND_VENDOR_COMMAND)
        return SendVendorCommand((const BYTE *)data, reply, length);
    return 0;
}
