// The top of the device link: the link configuration, the Windows version class, and the lookup
// that picks a discovery path and hands it what it needs.
#include "device/link_internal.h"

// The build's printer model, checked when the build is configured.
#include "build_config.h"

#include <initguid.h>
#include <usbprint.h>

static const char configuredHardwareId[128] = UPDATE_TOOL_HARDWARE_ID;

// Classified at the first lookup, which every later lookup of the run reuses.
static int osFamily = OS_UNCLASSIFIED;

LinkConfig DefaultLinkConfig()
{
    LinkConfig config;
    config.kind = UPDATE_TOOL_LINK_KIND;
    CopyMemory(config.hardwareId, configuredHardwareId, sizeof config.hardwareId);
    config.scanPipeMode = UPDATE_TOOL_SCAN_PIPE_MODE;
    return config;
}

void GetOsFamily(int *family)
{
    OSVERSIONINFOA info;
    ZeroMemory(&info, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;
    if (!GetVersionExA(&info))
        return;

    // 4.10 is 98 and 4.90 Me; any other 4.x (95 among them) stays unclassified.
    if (info.dwMajorVersion == 4)
        *family = info.dwMinorVersion == 10   ? OS_WINDOWS_98
                  : info.dwMinorVersion == 90 ? OS_WINDOWS_ME
                                              : OS_UNCLASSIFIED;
    else if (info.dwMajorVersion == 5 && info.dwMinorVersion == 0)
        *family = OS_WINDOWS_2000;
    else
        *family = OS_WINDOWS_XP_OR_LATER;
}

// The four characters at offset of the hardware ID, parsed as hexadecimal.
static int ParseIdField(const char *hardwareId, int offset)
{
    char field[5];
    CopyMemory(field, hardwareId + offset, 4);
    field[4] = '\0';
    return ParseHexField(field);
}

int FindPrinter(LinkConfig config, int *present, int mode)
{
    int seen = 0;
    int found = 0;
    if (osFamily == OS_UNCLASSIFIED)
        GetOsFamily(&osFamily);

    if (mode == LOOK_KEEP && PrimaryHandle() != INVALID_HANDLE_VALUE) {
        found = config.kind != LINK_PRINTER_CLASS ||
                !FindPrinterByInterface(&GUID_DEVINTERFACE_USBPRINT, config.hardwareId, osFamily, 0,
                                        &seen) ||
                seen == 1;
        // Gone, or joined by another of the model: its handles go, as a new lookup's would.
        if (found)
            seen = 1;
        else
            CloseDeviceHandles();
    } else {
        CloseDeviceHandles();
        SetLinkKind(config.kind);
        if (config.kind == LINK_PRINTER_CLASS) {
            found = FindPrinterByInterface(&GUID_DEVINTERFACE_USBPRINT, config.hardwareId, osFamily,
                                           1, &seen);
        } else {
            int vendorId = ParseIdField(config.hardwareId, 8);
            int productId = ParseIdField(config.hardwareId, 17);
            found = FindScannerPort(vendorId, productId, config.scanPipeMode, osFamily, &seen);
        }
    }
    if (present != NULL)
        *present = seen;
    return found;
}
