// setupapi.h subset for the simulated host: enumeration of device
// interfaces (the simulated HID devices of sim/hid.h are the only ones).
#pragma once

#include <cstddef>

#include <windows.h>

extern "C" {

typedef PVOID HDEVINFO;

#define DIGCF_DEFAULT 0x00000001
#define DIGCF_PRESENT 0x00000002
#define DIGCF_ALLCLASSES 0x00000004
#define DIGCF_PROFILE 0x00000008
#define DIGCF_DEVICEINTERFACE 0x00000010

#define SPINT_ACTIVE 0x00000001
#define SPINT_DEFAULT 0x00000002
#define SPINT_REMOVED 0x00000004

#define ERROR_INVALID_USER_BUFFER 1784L
#define ANYSIZE_ARRAY 1

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

// cbSize must be sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W): 8 on 64-bit
// hosts, 6 on 32-bit ones (where the SDK packs this structure).
typedef struct _SP_DEVICE_INTERFACE_DETAIL_DATA_W {
  DWORD cbSize;
  WCHAR DevicePath[ANYSIZE_ARRAY];
} SP_DEVICE_INTERFACE_DETAIL_DATA_W, *PSP_DEVICE_INTERFACE_DETAIL_DATA_W;
static_assert(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath) == 4, "DevicePath follows cbSize");

// Returns INVALID_HANDLE_VALUE on failure. Only DIGCF_DEVICEINTERFACE sets
// of one interface class are supported.
HDEVINFO WINAPI SetupDiGetClassDevsW(const GUID* classGuid, PCWSTR enumerator, HWND parent, DWORD flags);
BOOL WINAPI SetupDiEnumDeviceInterfaces(HDEVINFO set, PSP_DEVINFO_DATA deviceInfo, const GUID* interfaceClassGuid,
                                        DWORD memberIndex, PSP_DEVICE_INTERFACE_DATA interfaceData);
BOOL WINAPI SetupDiGetDeviceInterfaceDetailW(HDEVINFO set, PSP_DEVICE_INTERFACE_DATA interfaceData,
                                             PSP_DEVICE_INTERFACE_DETAIL_DATA_W detail, DWORD detailSize,
                                             PDWORD requiredSize, PSP_DEVINFO_DATA deviceInfo);
BOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO set);

}  // extern "C"
