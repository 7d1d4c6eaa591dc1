// libFuzzer target: arbitrary hardware-ID lists, reported sizes and query behaviours fed through
// the simulated device-setup library to the printer-class lookup, under AddressSanitizer.
//
// Input: [os family] [code page], then up to four devices, each
// [flags] [reported size lo] [reported size hi] [legacy successes] [length] [length bytes].
#include "build_config.h"
#include "device/link_internal.h"
#include "sim_kernel.h"

#include <usbprint.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace
{

const char configuredId[] = UPDATE_TOOL_HARDWARE_ID;

enum DeviceFlags {
    OVERRIDE_SIZE = 0x01,     // report the size from the input, not the list's own
    ERROR_MASK = 0x06,        // every query fails: none, no hardware ID, too small, other
    NO_INTERFACE = 0x08,      // the device has no printer interface
    SECOND_OPEN_FAILS = 0x10, // its path opens once only
    GROWS_AFTER_FIRST = 0x20, // the second query reports more than the first
};

struct Device {
    int flags;
    long reportedSize;
    int legacySuccesses;
    std::string bytes;
};

std::string PathOf(size_t device) { return "\\\\?\\usb#printer" + std::to_string(device); }

void Check(bool holds, const char *what)
{
    if (!holds) {
        fprintf(stderr, "invariant broken: %s\n", what);
        abort();
    }
}

std::string UpperAscii(std::string text)
{
    for (char &c : text)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - ('a' - 'A'));
    return text;
}

// What the lookup must find when every device answers as Windows 2000 and later do: the first
// device whose list, as much of it as the reported size covers, holds the ID as a whole entry.
int ExpectedDevice(const std::vector<Device> &devices, int *matches)
{
    int first = -1;
    *matches = 0;
    for (size_t i = 0; i < devices.size() && *matches < 2; i++) {
        const Device &device = devices[i];
        if ((device.flags & ERROR_MASK) != 0)
            continue;
        size_t reported = device.reportedSize >= 0 ? static_cast<size_t>(device.reportedSize)
                                                   : device.bytes.size();
        std::string block = device.bytes.substr(0, reported);
        block.resize(reported, '\0');
        size_t position = 0;
        while (position < block.size() && block[position] != '\0') {
            size_t end = block.find('\0', position);
            if (end == std::string::npos)
                break;
            if (UpperAscii(block.substr(position, end - position)) == UpperAscii(configuredId)) {
                first = first < 0 ? static_cast<int>(i) : first;
                ++*matches;
                break;
            }
            position = end + 1;
        }
    }
    return *matches == 1 ? first : -1;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    CloseDeviceHandles();
    SimKernelReset();

    int osFamily = data[0] % 5 - 1;
    SimUseDoubleByteCodePage(data[1] & 1);
    std::vector<Device> devices;
    size_t at = 2;
    while (devices.size() < 4 && size - at >= 5) {
        Device device;
        device.flags = data[at];
        device.reportedSize =
            (device.flags & OVERRIDE_SIZE) ? data[at + 1] | (data[at + 2] << 8) : -1;
        device.legacySuccesses = data[at + 3] % 12 - 1;
        size_t length = data[at + 4];
        at += 5;
        if (length > size - at)
            length = size - at;
        device.bytes.assign(reinterpret_cast<const char *>(data + at), length);
        at += length;
        devices.push_back(device);
    }

    static const DWORD errors[4] = {0, ERROR_INVALID_DATA, ERROR_INSUFFICIENT_BUFFER,
                                    ERROR_GEN_FAILURE};
    bool plain = osFamily == 2 || osFamily == 3;
    for (size_t i = 0; i < devices.size(); i++) {
        const Device &device = devices[i];
        SimDevice &node = SimAddDevice(PathOf(i));
        SimPnpDevice &pnp = SimAddPnpDevice();
        pnp.hardwareIds.assign(device.bytes.begin(), device.bytes.end());
        pnp.reportedSize = device.reportedSize;
        pnp.legacySuccesses = device.legacySuccesses;
        pnp.propertyError = errors[(device.flags & ERROR_MASK) >> 1];
        if (device.flags & GROWS_AFTER_FIRST) {
            long first = device.reportedSize >= 0 ? device.reportedSize
                                                  : static_cast<long>(device.bytes.size());
            pnp.reportedSizeByQuery = {first, first + 1 + (first & 0xFF)};
        }
        if (!(device.flags & NO_INTERFACE))
            pnp.interfacePath = PathOf(i);
        if (device.flags & SECOND_OPEN_FAILS)
            node.opensAllowed = 1;
        plain = plain && device.legacySuccesses < 0 && !(device.flags & GROWS_AFTER_FIRST) &&
                !(device.flags & (NO_INTERFACE | SECOND_OPEN_FAILS)) &&
                (pnp.propertyError == 0 || pnp.propertyError == ERROR_INVALID_DATA);
    }

    char id[128] = {};
    strcpy(id, configuredId);
    int present = -1;
    int result = FindPrinterByInterface(&GUID_DEVINTERFACE_USBPRINT, id, osFamily, 1, &present);

    Check(strcmp(id, configuredId) == 0, "the caller's hardware ID changed");
    SimMemoryStats memory = SimMemory();
    Check(memory.localLive == 0 && memory.heapLive == 0, "a block outlived the lookup");
    Check(memory.badFrees == 0, "a block was freed that was not held");
    Check(SimSetup().setsLive == 0, "the device-information set outlived the lookup");
    Check(SimSetup().badCalls == 0 && SimHandles().badCalls == 0, "a platform call was misused");
    for (const SimPnpDevice &pnp : SimPnpDevices())
        Check(pnp.propertyQueries <= 8, "a device's list was asked for without bound");
    Check(SimHandles().live == (result ? 2 : 0), "open handles disagree with the result");
    Check(PrinterRevision() <= 0xFFFF && (result || PrinterRevision() == -1),
          "a revision out of range, or without a printer");
    if (result)
        Check(SimHandleName(PrimaryHandle()) == SimHandleName(SimOtherOpenHandle(PrimaryHandle())),
              "the two handles name different devices");
    if (plain) {
        int matches = 0;
        int expected = ExpectedDevice(devices, &matches);
        Check(result == (expected >= 0), "found or not found against the lists");
        Check(present == matches, "printers counted against the lists");
        if (expected >= 0)
            Check(SimHandleName(PrimaryHandle()) == PathOf(static_cast<size_t>(expected)),
                  "another device than the lone match was opened");
    }

    CloseDeviceHandles();
    Check(SimHandles().live == 0 && SimHandles().badCloses == 0 && PrinterRevision() == -1,
          "handles not closed cleanly");
    return 0;
}
