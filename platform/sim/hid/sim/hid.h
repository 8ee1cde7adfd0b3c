// Scripting interface of the simulated HID devices.
//
// A device is present (enumerated by SetupDiGetClassDevsW for the HID
// interface class, openable by its path) from addHidDevice until it is
// unplugged. What the device answers comes from its back-end: a test fake
// or the printer emulator's HID endpoint.
#pragma once

#include "sim/world.h"

#include <memory>
#include <string>

#include <windows.h>

namespace sim {

// The device side of a HID device. Report buffers include the report id in
// byte 0 and have the device's report length. Returning false makes the
// host call fail with ERROR_GEN_FAILURE.
class HidBackend {
 public:
  virtual ~HidBackend() = default;
  // An output report written by the host (WriteFile).
  virtual bool outputReport(const BYTE* report, size_t size) = 0;
  // Fills a feature report the host asked for (HidD_GetFeature); `report`
  // arrives as the host passed it (its byte 0 names the report id).
  virtual bool featureReport(BYTE* report, size_t size) = 0;
  // A feature report sent by the host (HidD_SetFeature).
  virtual bool setFeatureReport(const BYTE*, size_t) { return true; }
  // Fills an input report for ReadFile; false when none is waiting.
  virtual bool inputReport(BYTE*, size_t) { return false; }
};

struct HidDeviceSetup {
  USHORT vendorId = 0;
  USHORT productId = 0;
  USHORT versionNumber = 0x0100;
  std::u16string product;  // HidD_GetProductString
  // Device interface path, starting "\\\\?\\" like every device path
  // CreateFileW opens as a device; a unique one is made up when empty.
  std::u16string path;
  USHORT inputReportLength = 65;
  USHORT outputReportLength = 65;
  USHORT featureReportLength = 65;
  std::shared_ptr<HidBackend> backend;
};

using HidDeviceId = int;

// Adds a present device and broadcasts its arrival. Returns its id.
HidDeviceId addHidDevice(const HidDeviceSetup& setup);
// The device leaves: handles opened on it fail from now on with
// ERROR_DEVICE_NOT_CONNECTED, it is no longer enumerated, and windows
// registered for HID interfaces get DBT_DEVICEREMOVECOMPLETE.
void unplugHid(HidDeviceId id);
// The device comes back under the same path (new handles are needed) and
// DBT_DEVICEARRIVAL is broadcast.
void replugHid(HidDeviceId id);
bool hidPresent(HidDeviceId id);
std::u16string hidPath(HidDeviceId id);
// Handles currently open on the device (closed ones do not count).
int openHidHandles(HidDeviceId id);

// The HID interface class GUID HidD_GetHidGuid reports.
GUID hidInterfaceGuid();

// sim::reset() removes every device (without broadcasts).

// Scripted faults: "HidD_GetFeature", "HidD_SetFeature", "HidD_GetAttributes",
// "HidD_GetProductString", "SetupDiGetClassDevsW",
// "SetupDiGetDeviceInterfaceDetailW", and "CreateFileW"/"WriteFile"/
// "ReadFile" (for every file, not only HID devices).


// The call fails with the scripted error.
namespace api {
inline constexpr Api HidD_GetAttributes{"HidD_GetAttributes"};
inline constexpr Api HidD_GetFeature{"HidD_GetFeature"};
inline constexpr Api HidD_SetFeature{"HidD_SetFeature"};
inline constexpr Api HidD_GetProductString{"HidD_GetProductString"};
inline constexpr Api SetupDiGetClassDevsW{"SetupDiGetClassDevsW"};
inline constexpr Api SetupDiGetDeviceInterfaceDetailW{"SetupDiGetDeviceInterfaceDetailW"};
}  // namespace api

}  // namespace sim
