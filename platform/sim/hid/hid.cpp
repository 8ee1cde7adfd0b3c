// Simulated HID devices: enumeration (SetupDi*), device files and the HidD_*
// services of HID.DLL.
#include <hidsdi.h>
#include <setupapi.h>

#include <dbt.h>

#include <map>
#include <mutex>
#include <vector>

#include "device_internal.h"
#include "internal.h"
#include "sim/hid.h"

namespace sim {
namespace {

// {4D1E55B2-F16F-11CF-88CB-001111000030}, the HID interface class.
constexpr GUID kHidGuid = {0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};

bool sameGuid(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

struct Device {
  HidDeviceSetup setup;
  bool present = true;
  int generation = 0;  // bumped on unplug: handles of older generations are dead
  int openHandles = 0;
};

struct Devices {
  std::map<HidDeviceId, std::shared_ptr<Device>> byId;
  HidDeviceId next = 1;
};

Service<Devices>& devices() { return service<Devices>(); }

std::u16string fold(std::u16string s) {
  for (auto& c : s)
    if (c >= u'A' && c <= u'Z') c = char16_t(c + 32);
  return s;
}

struct HidFile : FileObject {
  std::shared_ptr<Device> device;
  int generation = 0;
  DWORD access = 0;

  HidFile(std::shared_ptr<Device> d, DWORD a) : device(std::move(d)), generation(device->generation), access(a) {
    std::lock_guard<std::recursive_mutex> g(devices().lock);
    ++device->openHandles;
  }
  ~HidFile() override {
    std::lock_guard<std::recursive_mutex> g(devices().lock);
    --device->openHandles;
  }
  bool connected() const {
    std::lock_guard<std::recursive_mutex> g(devices().lock);
    if (device->present && device->generation == generation) return true;
    SetLastError(ERROR_DEVICE_NOT_CONNECTED);
    return false;
  }

  BOOL read(void* buffer, DWORD size, DWORD* done) override {
    if (!connected()) return FALSE;
    if (!(access & GENERIC_READ)) {
      SetLastError(ERROR_ACCESS_DENIED);
      return FALSE;
    }
    DWORD len = device->setup.inputReportLength;
    if (size < len) {
      SetLastError(ERROR_INVALID_USER_BUFFER);
      return FALSE;
    }
    std::memset(buffer, 0, len);
    if (!device->setup.backend || !device->setup.backend->inputReport(static_cast<BYTE*>(buffer), len)) {
      SetLastError(ERROR_GEN_FAILURE);
      return FALSE;
    }
    *done = len;
    return TRUE;
  }

  // A HID device takes exactly one output report per write.
  BOOL write(const void* data, DWORD size, DWORD* done) override {
    if (!connected()) return FALSE;
    if (!(access & GENERIC_WRITE)) {
      SetLastError(ERROR_ACCESS_DENIED);
      return FALSE;
    }
    if (size != device->setup.outputReportLength) {
      SetLastError(ERROR_INVALID_USER_BUFFER);
      return FALSE;
    }
    if (!device->setup.backend || !device->setup.backend->outputReport(static_cast<const BYTE*>(data), size)) {
      SetLastError(ERROR_GEN_FAILURE);
      return FALSE;
    }
    *done = size;
    return TRUE;
  }
};

std::shared_ptr<FileObject> openHid(const std::u16string& path, DWORD access, DWORD* error) {
  std::lock_guard<std::recursive_mutex> g(devices().lock);
  for (auto& [id, d] : devices().byId) {
    if (fold(d->setup.path) != fold(path)) continue;
    if (!d->present) {
      *error = ERROR_FILE_NOT_FOUND;
      return nullptr;
    }
    return std::make_shared<HidFile>(d, access);
  }
  return nullptr;
}

const bool g_registered = [] {
  addDeviceOpener(openHid);
  return true;
}();

std::shared_ptr<Device> find(HidDeviceId id) {
  std::lock_guard<std::recursive_mutex> g(devices().lock);
  auto it = devices().byId.find(id);
  return it == devices().byId.end() ? nullptr : it->second;
}

// The live device behind a HID handle; null (last error set) otherwise.
std::shared_ptr<HidFile> hidFile(HANDLE h) {
  auto f = handleAs<HidFile>(h);
  if (!f) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return f->connected() ? f : nullptr;
}

// A device information set: the interface paths present when it was made.
struct DeviceInfoSet : KernelObject {
  GUID interfaceClass{};
  std::vector<std::u16string> paths;
};

}  // namespace

HidDeviceId addHidDevice(const HidDeviceSetup& setup) {
  HidDeviceId id;
  std::u16string path;
  {
    std::lock_guard<std::recursive_mutex> g(devices().lock);
    id = devices().next++;
    auto d = std::make_shared<Device>();
    d->setup = setup;
    if (d->setup.path.empty()) {
      char text[96];
      std::snprintf(text, sizeof text, "\\\\?\\hid#vid_%04x&pid_%04x#sim&%d#{4d1e55b2-f16f-11cf-88cb-001111000030}",
                    setup.vendorId, setup.productId, id);
      d->setup.path = fromUtf8(text);
    }
    path = d->setup.path;
    devices().byId[id] = d;
  }
  broadcastDeviceInterface(DBT_DEVICEARRIVAL, kHidGuid, path);
  return id;
}

void unplugHid(HidDeviceId id) {
  auto d = find(id);
  if (!d) return;
  {
    std::lock_guard<std::recursive_mutex> g(devices().lock);
    if (!d->present) return;
    d->present = false;
    ++d->generation;
  }
  broadcastDeviceInterface(DBT_DEVICEREMOVECOMPLETE, kHidGuid, d->setup.path);
}

void replugHid(HidDeviceId id) {
  auto d = find(id);
  if (!d) return;
  {
    std::lock_guard<std::recursive_mutex> g(devices().lock);
    if (d->present) return;
    d->present = true;
  }
  broadcastDeviceInterface(DBT_DEVICEARRIVAL, kHidGuid, d->setup.path);
}

bool hidPresent(HidDeviceId id) {
  auto d = find(id);
  return d && d->present;
}

std::u16string hidPath(HidDeviceId id) {
  auto d = find(id);
  return d ? d->setup.path : std::u16string();
}

int openHidHandles(HidDeviceId id) {
  auto d = find(id);
  std::lock_guard<std::recursive_mutex> g(devices().lock);
  return d ? d->openHandles : 0;
}

GUID hidInterfaceGuid() { return kHidGuid; }

}  // namespace sim

extern "C" {

void NTAPI HidD_GetHidGuid(LPGUID hidGuid) {
  if (hidGuid) *hidGuid = sim::kHidGuid;
}

BOOLEAN NTAPI HidD_GetAttributes(HANDLE device, PHIDD_ATTRIBUTES attributes) {
  if (sim::faulted(sim::api::HidD_GetAttributes)) return FALSE;
  auto f = sim::hidFile(device);
  if (!f) return FALSE;
  if (!attributes) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  attributes->Size = sizeof(HIDD_ATTRIBUTES);
  attributes->VendorID = f->device->setup.vendorId;
  attributes->ProductID = f->device->setup.productId;
  attributes->VersionNumber = f->device->setup.versionNumber;
  return TRUE;
}

BOOLEAN NTAPI HidD_GetFeature(HANDLE device, PVOID reportBuffer, ULONG reportBufferLength) {
  if (sim::faulted(sim::api::HidD_GetFeature)) return FALSE;
  auto f = sim::hidFile(device);
  if (!f) return FALSE;
  ULONG len = f->device->setup.featureReportLength;
  if (!reportBuffer || reportBufferLength < len) {
    SetLastError(ERROR_INVALID_USER_BUFFER);
    return FALSE;
  }
  auto* report = static_cast<BYTE*>(reportBuffer);
  if (!f->device->setup.backend || !f->device->setup.backend->featureReport(report, len)) {
    SetLastError(ERROR_GEN_FAILURE);
    return FALSE;
  }
  return TRUE;
}

BOOLEAN NTAPI HidD_SetFeature(HANDLE device, PVOID reportBuffer, ULONG reportBufferLength) {
  if (sim::faulted(sim::api::HidD_SetFeature)) return FALSE;
  auto f = sim::hidFile(device);
  if (!f) return FALSE;
  if (!reportBuffer || reportBufferLength != f->device->setup.featureReportLength) {
    SetLastError(ERROR_INVALID_USER_BUFFER);
    return FALSE;
  }
  if (!f->device->setup.backend ||
      !f->device->setup.backend->setFeatureReport(static_cast<const BYTE*>(reportBuffer), reportBufferLength)) {
    SetLastError(ERROR_GEN_FAILURE);
    return FALSE;
  }
  return TRUE;
}

BOOLEAN NTAPI HidD_GetProductString(HANDLE device, PVOID buffer, ULONG bufferLength) {
  if (sim::faulted(sim::api::HidD_GetProductString)) return FALSE;
  auto f = sim::hidFile(device);
  if (!f) return FALSE;
  const std::u16string& s = f->device->setup.product;
  ULONG bytes = ULONG((s.size() + 1) * sizeof(WCHAR));
  if (!buffer || bufferLength < sizeof(WCHAR)) {
    SetLastError(ERROR_INVALID_USER_BUFFER);
    return FALSE;
  }
  // As on Windows, a short buffer receives what fits, unterminated.
  ULONG copy = bytes < bufferLength ? bytes : bufferLength;
  std::memcpy(buffer, s.c_str(), copy);
  return TRUE;
}

HDEVINFO WINAPI SetupDiGetClassDevsW(const GUID* classGuid, PCWSTR, HWND, DWORD flags) {
  if (sim::faulted(sim::api::SetupDiGetClassDevsW)) return INVALID_HANDLE_VALUE;
  if (!classGuid || !(flags & DIGCF_DEVICEINTERFACE) || (flags & DIGCF_ALLCLASSES)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  auto set = std::make_shared<sim::DeviceInfoSet>();
  set->interfaceClass = *classGuid;
  if (sim::sameGuid(*classGuid, sim::kHidGuid)) {
    std::lock_guard<std::recursive_mutex> g(sim::devices().lock);
    for (auto& [id, d] : sim::devices().byId)
      if (d->present || !(flags & DIGCF_PRESENT)) set->paths.push_back(d->setup.path);
  }
  return sim::newHandle(set);
}

BOOL WINAPI SetupDiEnumDeviceInterfaces(HDEVINFO set, PSP_DEVINFO_DATA, const GUID* interfaceClassGuid, DWORD memberIndex,
                                        PSP_DEVICE_INTERFACE_DATA interfaceData) {
  auto s = sim::handleAs<sim::DeviceInfoSet>(set);
  if (!s) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!interfaceClassGuid || !interfaceData || interfaceData->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA)) {
    SetLastError(!interfaceData || !interfaceClassGuid ? ERROR_INVALID_PARAMETER : ERROR_INVALID_USER_BUFFER);
    return FALSE;
  }
  if (!sim::sameGuid(*interfaceClassGuid, s->interfaceClass) || memberIndex >= s->paths.size()) {
    SetLastError(ERROR_NO_MORE_ITEMS);
    return FALSE;
  }
  interfaceData->InterfaceClassGuid = s->interfaceClass;
  interfaceData->Flags = SPINT_ACTIVE;
  interfaceData->Reserved = memberIndex + 1;
  return TRUE;
}

BOOL WINAPI SetupDiGetDeviceInterfaceDetailW(HDEVINFO set, PSP_DEVICE_INTERFACE_DATA interfaceData,
                                             PSP_DEVICE_INTERFACE_DETAIL_DATA_W detail, DWORD detailSize,
                                             PDWORD requiredSize, PSP_DEVINFO_DATA) {
  if (sim::faulted(sim::api::SetupDiGetDeviceInterfaceDetailW)) return FALSE;
  auto s = sim::handleAs<sim::DeviceInfoSet>(set);
  if (!s) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!interfaceData || interfaceData->Reserved == 0 || interfaceData->Reserved > s->paths.size()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const std::u16string& path = s->paths[interfaceData->Reserved - 1];
  DWORD needed = DWORD(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath) + (path.size() + 1) * sizeof(WCHAR));
  if (requiredSize) *requiredSize = needed;
  if (!detail) {
    SetLastError(detailSize ? ERROR_INVALID_USER_BUFFER : ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  if (detail->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)) {
    SetLastError(ERROR_INVALID_USER_BUFFER);
    return FALSE;
  }
  if (detailSize < needed) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  std::memcpy(detail->DevicePath, path.c_str(), (path.size() + 1) * sizeof(WCHAR));
  return TRUE;
}

BOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO set) {
  if (!sim::handleAs<sim::DeviceInfoSet>(set)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  sim::closeHandle(set);
  return TRUE;
}

}  // extern "C"
