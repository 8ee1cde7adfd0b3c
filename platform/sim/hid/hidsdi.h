// hidsdi.h subset for the simulated host: the HID class services of HID.DLL.
//
// The simulated HID devices behind these calls are scripted through
// sim/hid.h. A HANDLE here is one from CreateFileW on a HID device path.
#pragma once

#include <windows.h>

#ifndef NTAPI
#define NTAPI
#endif

extern "C" {

typedef struct _HIDD_ATTRIBUTES {
  ULONG Size;
  USHORT VendorID;
  USHORT ProductID;
  USHORT VersionNumber;
} HIDD_ATTRIBUTES, *PHIDD_ATTRIBUTES;
static_assert(sizeof(HIDD_ATTRIBUTES) == 12, "HIDD_ATTRIBUTES layout");

void NTAPI HidD_GetHidGuid(LPGUID hidGuid);
BOOLEAN NTAPI HidD_GetAttributes(HANDLE device, PHIDD_ATTRIBUTES attributes);
// Feature reports: byte 0 of the buffer names the report id; the length
// must be at least the device's feature report length.
BOOLEAN NTAPI HidD_GetFeature(HANDLE device, PVOID reportBuffer, ULONG reportBufferLength);
BOOLEAN NTAPI HidD_SetFeature(HANDLE device, PVOID reportBuffer, ULONG reportBufferLength);
// The product string, UTF-16 and zero-terminated when it fits.
BOOLEAN NTAPI HidD_GetProductString(HANDLE device, PVOID buffer, ULONG bufferLength);

}  // extern "C"
