// Printer discovery among the still-image USB ports.
#include "device/device_link.h"

int ParseHexField(const char *text)
{
    (void)text;
    return -1;
}

int FindScannerPort(int vendorId, int productId, int scanPipeMode)
{
    (void)vendorId;
    (void)productId;
    (void)scanPipeMode;
    return 0;
}
