// Process-wide state of the HID link library and the operations behind its
// exports.
#pragma once

#include <windows.h>

#include <hidsdi.h>

namespace hidlink {

constexpr USHORT kPrinterVendorId = 0x0471;
constexpr USHORT kPrinterProductId = 0x0710;
constexpr char kMutexName[] = "Varodyn_USBHID_MUTEX";
constexpr char kSectionName[] = "Varodyn_USBHID_MEMMAP";
constexpr DWORD kSectionSize = 4096;
// Settling pauses: after a claim, and after the device is opened.
constexpr DWORD kClaimSettleMs = 100;
constexpr DWORD kDeviceSettleMs = 200;
constexpr size_t kGeneralBufferSize = 0x100000;

// The first 8 bytes of the shared section.
struct OwnerRecord {
  DWORD processId;
  DWORD reserved;  // always 0
};
static_assert(sizeof(OwnerRecord) == 8, "owner record layout");

// Library load and unload (DLL_PROCESS_ATTACH / DLL_PROCESS_DETACH).
// attach opens or creates the mutex and the section; detach gives up a
// claim this process still holds and releases everything. attach returns
// false only when the library's own memory cannot be had.
bool attach(HINSTANCE instance);
void detach();

// The operations of the exports (see VRDUSBHid.h for their contracts).
int open();
int close(int token);
bool isOpened(int token);
int read(int token, BYTE* buffer, int length);
int write(int token, const BYTE* data, int length);
void* generalHandle(int which);

}  // namespace hidlink
