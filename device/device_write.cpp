// Putting bytes on the wire to the printer found by the last lookup.
#include "device/device_link.h"

int SendToDevice(int mode, const void *data, void *reply, DWORD length)
{
    (void)mode;
    (void)data;
    (void)reply;
    (void)length;
    return 0;
}
