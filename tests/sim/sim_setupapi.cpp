// The simulated device-setup library of the host tests: one set of present devices of one
// interface class, their hardware-ID properties and interface paths, all scripted.
#include "sim_kernel.h"

#include "sim_kernel_internal.h"

#include <set>
#include <stddef.h>

#ifndef REG_MULTI_SZ
#define REG_MULTI_SZ 7
#endif

namespace
{

const GUID usbPrintClass = {
    0x28d78fad, 0x5a12, 0x11d1, {0xae, 0x5b, 0x00, 0x00, 0xf8, 0x03, 0xa8, 0xc2}};

std::deque<SimPnpDevice> pnpDevices;
std::vector<int> interfaceOrder;
bool interfaceOrderSet = false;
// The class SetupDiGetClassDevsA answers for; other classes have no devices.
const GUID knownClass = usbPrintClass;
bool failClassDevs = false;
bool failInterfaceEnum = false;
bool failInterfaceDetail = false;
// The device position whose listing is refused with enumError, and the error the detail
// block's sizing call answers with; 0 is the platform's own answer.
DWORD enumErrorAt = 0;
DWORD enumError = 0;
DWORD sizingError = 0;
SimSetupStats setupStats = {};

// A set remembers whether it was made for the known class: other classes list no devices.
std::set<ULONG_PTR> liveSets;
std::set<ULONG_PTR> emptySets;
ULONG_PTR nextSet = 0x5e700;

const DWORD detailPathOffset = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);

bool KnownSet(HDEVINFO set) { return liveSets.count(reinterpret_cast<ULONG_PTR>(set)) != 0; }

bool SetHasDevices(HDEVINFO set) { return !emptySets.count(reinterpret_cast<ULONG_PTR>(set)); }

// The device a record from SetupDiEnumDeviceInfo stands for; NULL when it is not one.
SimPnpDevice *DeviceOfRecord(PSP_DEVINFO_DATA record)
{
    if (record == NULL || record->cbSize != sizeof(SP_DEVINFO_DATA) || record->DevInst == 0 ||
        record->DevInst > pnpDevices.size())
        return NULL;
    return &pnpDevices[record->DevInst - 1];
}

SimPnpDevice *DeviceOfInterface(PSP_DEVICE_INTERFACE_DATA data)
{
    if (data == NULL || data->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA) || data->Reserved == 0 ||
        data->Reserved > pnpDevices.size())
        return NULL;
    return &pnpDevices[data->Reserved - 1];
}

std::vector<int> InterfaceOrder()
{
    if (interfaceOrderSet)
        return interfaceOrder;
    std::vector<int> order;
    for (size_t i = 0; i < pnpDevices.size(); i++)
        if (!pnpDevices[i].interfacePath.empty())
            order.push_back(static_cast<int>(i));
    return order;
}

BOOL Refuse(DWORD error)
{
    SetLastError(error);
    return FALSE;
}

BOOL Misused()
{
    setupStats.badCalls++;
    return Refuse(ERROR_INVALID_PARAMETER);
}

} // namespace

void SimResetSetup()
{
    pnpDevices.clear();
    interfaceOrder.clear();
    interfaceOrderSet = false;
    failClassDevs = false;
    failInterfaceEnum = false;
    failInterfaceDetail = false;
    enumError = 0;
    sizingError = 0;
    setupStats = {};
    liveSets.clear();
    emptySets.clear();
}

SimPnpDevice &SimAddPnpDevice()
{
    pnpDevices.emplace_back();
    return pnpDevices.back();
}

std::deque<SimPnpDevice> &SimPnpDevices() { return pnpDevices; }

std::vector<char> SimMultiSz(const std::vector<std::string> &texts)
{
    std::vector<char> bytes;
    for (const std::string &text : texts) {
        bytes.insert(bytes.end(), text.begin(), text.end());
        bytes.push_back('\0');
    }
    bytes.push_back('\0');
    return bytes;
}

SimPnpDevice &SimAddPrinter(const std::string &path, const std::vector<std::string> &ids)
{
    SimAddDevice(path);
    SimPnpDevice &device = SimAddPnpDevice();
    device.hardwareIds = SimMultiSz(ids);
    device.interfacePath = path;
    return device;
}

void SimSetInterfaceOrder(const std::vector<int> &devicePositions)
{
    interfaceOrder = devicePositions;
    interfaceOrderSet = true;
}

void SimFailClassDevs(bool fail) { failClassDevs = fail; }
void SimFailInterfaceEnum(bool fail) { failInterfaceEnum = fail; }
void SimFailInterfaceDetail(bool fail) { failInterfaceDetail = fail; }
void SimFailDeviceEnumAt(DWORD index, DWORD error)
{
    enumErrorAt = index;
    enumError = error;
}
void SimDetailSizingAnswers(DWORD error) { sizingError = error; }

SimSetupStats SimSetup()
{
    SimSetupStats stats = setupStats;
    stats.setsLive = static_cast<int>(liveSets.size());
    return stats;
}

HDEVINFO WINAPI SetupDiGetClassDevsA(const GUID *classGuid, PCSTR enumerator, HWND parent,
                                     DWORD flags)
{
    setupStats.lastFlags = flags;
    setupStats.lastHadEnumerator = enumerator != NULL;
    setupStats.lastHadParent = parent != NULL;
    setupStats.handlesLiveAtLastCreate = SimHandles().live;
    if (failClassDevs) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    if (classGuid == NULL) {
        Misused();
        return INVALID_HANDLE_VALUE;
    }
    ULONG_PTR set = nextSet++;
    liveSets.insert(set);
    if (!(*classGuid == knownClass))
        emptySets.insert(set);
    setupStats.setsCreated++;
    return reinterpret_cast<HDEVINFO>(set);
}

BOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO set)
{
    if (!KnownSet(set))
        return Misused();
    liveSets.erase(reinterpret_cast<ULONG_PTR>(set));
    setupStats.setsDestroyed++;
    return TRUE;
}

BOOL WINAPI SetupDiEnumDeviceInfo(HDEVINFO set, DWORD index, PSP_DEVINFO_DATA device)
{
    if (!KnownSet(set) || device == NULL || device->cbSize != sizeof(SP_DEVINFO_DATA))
        return Misused();
    if (enumError != 0 && index == enumErrorAt)
        return Refuse(enumError);
    if (!SetHasDevices(set) || index >= pnpDevices.size())
        return Refuse(ERROR_NO_MORE_ITEMS);
    device->ClassGuid = knownClass;
    device->DevInst = index + 1;
    device->Reserved = index + 1;
    return TRUE;
}

BOOL WINAPI SetupDiGetDeviceRegistryPropertyA(HDEVINFO set, PSP_DEVINFO_DATA record, DWORD property,
                                              PDWORD dataType, PBYTE buffer, DWORD bufferSize,
                                              PDWORD requiredSize)
{
    SimPnpDevice *device = DeviceOfRecord(record);
    if (!KnownSet(set) || device == NULL || property != SPDRP_HARDWAREID ||
        (buffer == NULL && bufferSize != 0))
        return Misused();
    device->propertyQueries++;
    if (device->propertyError != 0)
        return Refuse(device->propertyError);

    long size = device->reportedSize;
    size_t query = static_cast<size_t>(device->propertyQueries) - 1;
    if (query < device->reportedSizeByQuery.size())
        size = device->reportedSizeByQuery[query];
    DWORD reported =
        size >= 0 ? static_cast<DWORD>(size) : static_cast<DWORD>(device->hardwareIds.size());
    if (dataType)
        *dataType = REG_MULTI_SZ;
    if (requiredSize)
        *requiredSize = reported;

    bool legacy = device->legacySuccesses >= 0;
    if (!legacy && bufferSize < reported)
        return Refuse(ERROR_INSUFFICIENT_BUFFER);
    // What the platform has is copied as far as the caller's buffer goes; the block beyond is
    // left as the caller filled it.
    size_t count = device->hardwareIds.size();
    if (count > bufferSize)
        count = bufferSize;
    if (count)
        memcpy(buffer, device->hardwareIds.data(), count);
    if (legacy && device->propertyQueries > device->legacySuccesses)
        return Refuse(device->legacyError);
    return TRUE;
}

BOOL WINAPI SetupDiEnumDeviceInterfaces(HDEVINFO set, PSP_DEVINFO_DATA device,
                                        const GUID *interfaceClass, DWORD index,
                                        PSP_DEVICE_INTERFACE_DATA interfaceData)
{
    if (!KnownSet(set) || interfaceClass == NULL || interfaceData == NULL ||
        interfaceData->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA))
        return Misused();
    setupStats.interfaceEnums++;
    if (device == NULL)
        setupStats.interfaceEnumsWithoutDevice++;
    if (failInterfaceEnum)
        return Refuse(ERROR_GEN_FAILURE);
    if (!SetHasDevices(set) || !(*interfaceClass == knownClass))
        return Refuse(ERROR_NO_MORE_ITEMS);

    int position = -1;
    if (device != NULL) {
        SimPnpDevice *owner = DeviceOfRecord(device);
        if (owner == NULL)
            return Misused();
        if (index == 0 && !owner->interfacePath.empty())
            position = static_cast<int>(device->DevInst - 1);
    } else {
        std::vector<int> order = InterfaceOrder();
        if (index < order.size())
            position = order[index];
    }
    if (position < 0 || static_cast<size_t>(position) >= pnpDevices.size())
        return Refuse(ERROR_NO_MORE_ITEMS);
    interfaceData->InterfaceClassGuid = knownClass;
    interfaceData->Flags = 1; // SPINT_ACTIVE
    interfaceData->Reserved = static_cast<ULONG_PTR>(position) + 1;
    return TRUE;
}

BOOL WINAPI SetupDiGetDeviceInterfaceDetailA(HDEVINFO set, PSP_DEVICE_INTERFACE_DATA interfaceData,
                                             PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail,
                                             DWORD detailSize, PDWORD requiredSize,
                                             PSP_DEVINFO_DATA device)
{
    SimPnpDevice *owner = DeviceOfInterface(interfaceData);
    if (!KnownSet(set) || owner == NULL || (detail == NULL && detailSize != 0))
        return Misused();
    if (device != NULL && device->cbSize != sizeof(SP_DEVINFO_DATA))
        return Misused();
    DWORD needed = detailPathOffset + static_cast<DWORD>(owner->interfacePath.size()) + 1;
    if (requiredSize)
        *requiredSize = needed;
    if (detail == NULL)
        return sizingError != 0 ? Refuse(sizingError) : Refuse(ERROR_INSUFFICIENT_BUFFER);
    setupStats.detailFetches++;
    if (detail->cbSize != sizeof *detail || detailSize < detailPathOffset + 1)
        return Misused();
    if (failInterfaceDetail)
        return Refuse(ERROR_GEN_FAILURE);
    if (detailSize < needed)
        return Refuse(ERROR_INSUFFICIENT_BUFFER);
    memcpy(reinterpret_cast<char *>(detail) + detailPathOffset, owner->interfacePath.c_str(),
           owner->interfacePath.size() + 1);
    return TRUE;
}
