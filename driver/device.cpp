// Validation of the device record behind a driver handle.
#include "device.h"

namespace driver {

bool isValidDevice(const PrinterDevice* device) {
  return device && device->signature == kModel.signature && device->size == sizeof(PrinterDevice) &&
         device->signatureEnd == kModel.signature;
}

PrinterDevice* validDevice(DHPDEV handle) {
  PrinterDevice* device = reinterpret_cast<PrinterDevice*>(handle);
  if (!isValidDevice(device)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return device;
}

}  // namespace driver
