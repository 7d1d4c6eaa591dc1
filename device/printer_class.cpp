// Printer discovery through the USB printer device-interface class.
#include "device/device_link.h"

void UppercaseInPlace(char *first, char *second)
{
    (void)first;
    (void)second;
}

int FindPrinterByInterface(const GUID *interfaceClass, const char *hardwareId, int osFamily)
{
    (void)interfaceClass;
    (void)hardwareId;
    (void)osFamily;
    return 0;
}
