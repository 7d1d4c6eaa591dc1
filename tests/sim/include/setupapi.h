// Device-setup declarations for the host build.
#ifndef UPDATE_TOOL_SIM_SETUPAPI_H
#define UPDATE_TOOL_SIM_SETUPAPI_H

#include <windows.h>

#include <stdint.h>

typedef PVOID HDEVINFO;

#define DIGCF_DEFAULT 0x00000001
#define DIGCF_PRESENT 0x00000002
#define DIGCF_ALLCLASSES 0x00000004
#define DIGCF_PROFILE 0x00000008
#define DIGCF_DEVICEINTERFACE 0x00000010
#define SPDRP_HARDWAREID 0x00000001

typedef struct _SP_DEVINFO_DATA {
    DWORD cbSize;
    GUID ClassGuid;
    DWORD DevInst;
    ULONG_PTR Reserved;
} SP_DEVINFO_DATA, *PSP_DEVINFO_DATA;

typedef struct _SP_DEVICE_INTERFACE_DATA {
    DWORD cbSize;
    GUID InterfaceClassGuid;
    DWORD Flags;
    ULONG_PTR Reserved;
} SP_DEVICE_INTERFACE_DATA, *PSP_DEVICE_INTERFACE_DATA;

// Laid out as the platform lays it out for the word size: packed on 32-bit Windows (5 bytes),
// aligned on 64-bit (8 bytes). SetupAPI takes cbSize only when it is the caller's own size.
#if UINTPTR_MAX == 0xFFFFFFFFu
#pragma pack(push, 1)
#endif
typedef struct _SP_DEVICE_INTERFACE_DETAIL_DATA_A {
    DWORD cbSize;
    CHAR DevicePath[1];
} SP_DEVICE_INTERFACE_DETAIL_DATA_A, *PSP_DEVICE_INTERFACE_DETAIL_DATA_A;
#if UINTPTR_MAX == 0xFFFFFFFFu
#pragma pack(pop)
#endif
static_assert(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) == (sizeof(void *) == 4 ? 5 : 8),
              "the platform's layout");

HDEVINFO WINAPI SetupDiGetClassDevsA(const GUID *classGuid, PCSTR enumerator, HWND parent,
                                     DWORD flags);
BOOL WINAPI SetupDiEnumDeviceInfo(HDEVINFO set, DWORD index, PSP_DEVINFO_DATA device);
BOOL WINAPI SetupDiGetDeviceRegistryPropertyA(HDEVINFO set, PSP_DEVINFO_DATA device, DWORD property,
                                              PDWORD dataType, PBYTE buffer, DWORD bufferSize,
                                              PDWORD requiredSize);
BOOL WINAPI SetupDiEnumDeviceInterfaces(HDEVINFO set, PSP_DEVINFO_DATA device,
                                        const GUID *interfaceClass, DWORD index,
                                        PSP_DEVICE_INTERFACE_DATA interfaceData);
BOOL WINAPI SetupDiGetDeviceInterfaceDetailA(HDEVINFO set, PSP_DEVICE_INTERFACE_DATA interfaceData,
                                             PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail,
                                             DWORD detailSize, PDWORD requiredSize,
                                             PSP_DEVINFO_DATA device);
BOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO set);

#endif
