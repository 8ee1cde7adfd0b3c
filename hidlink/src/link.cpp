// Process-wide state of the HID link library: the claim on the printer, the
// open device, the receive ring and the device-change window.
#include "link.h"

#include <dbt.h>
#include <setupapi.h>
#include <wtext.h>

#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "lock.h"
#include "ring.h"
#include "transfer.h"

namespace hidlink {
namespace {

constexpr const WCHAR* kWindowClass = WTEXT("VRDUsbHidDLL_Notify_Window");

// The five services taken from HID.DLL while the device is open.
struct HidServices {
  HMODULE module = nullptr;
  BOOLEAN(NTAPI* getProductString)(HANDLE, PVOID, ULONG) = nullptr;
  void(NTAPI* getHidGuid)(LPGUID) = nullptr;
  BOOLEAN(NTAPI* getAttributes)(HANDLE, PHIDD_ATTRIBUTES) = nullptr;
  BOOLEAN(NTAPI* setFeature)(HANDLE, PVOID, ULONG) = nullptr;
  BOOLEAN(NTAPI* getFeature)(HANDLE, PVOID, ULONG) = nullptr;
};

template <class F>
bool resolve(HMODULE module, const char* name, F& out) {
  FARPROC p = GetProcAddress(module, name);
  out = reinterpret_cast<F>(reinterpret_cast<void (*)()>(p));
  return p != nullptr;
}

struct DeviceInfoList {
  HDEVINFO set;
  ~DeviceInfoList() {
    if (set != INVALID_HANDLE_VALUE) SetupDiDestroyDeviceInfoList(set);
  }
};

LRESULT CALLBACK notifyWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// One instance per loaded library.
class Link : public ReportPort {
 public:
  explicit Link(HINSTANCE instance);
  ~Link() override;

  int open();
  int close(int token);
  bool isOpened(int token) const { return valid(token) && open_; }
  int read(int token, BYTE* buffer, int length);
  int write(int token, const BYTE* data, int length);
  void* generalHandle(int which);
  void onDeviceChange(WPARAM event, LPARAM data);

  bool readFeature(uint8_t (&report)[kReportSize]) override {
    return services_.getFeature(device_, report, kReportSize) != FALSE;
  }
  bool writeOutput(const uint8_t (&report)[kReportSize]) override {
    DWORD written = 0;
    return WriteFile(device_, report, kReportSize, &written, nullptr) && written == kReportSize;
  }

 private:
  static bool valid(int token) { return token != 0 && DWORD(token) == GetCurrentProcessId(); }
  bool openDevice();
  void closeDevice();
  bool loadServices();
  void unloadServices();
  bool findPrinter();
  void watchDeviceChanges();
  void resetRings();
  void setOwner(DWORD processId);

  HINSTANCE instance_;
  HANDLE mutex_ = nullptr;
  HANDLE section_ = nullptr;
  OwnerRecord* owner_ = nullptr;
  bool claimed_ = false;  // this process holds the mutex for an open link

  HANDLE device_ = INVALID_HANDLE_VALUE;
  bool open_ = false;
  HidServices services_;
  GUID hidGuid_{};
  HWND window_ = nullptr;
  HDEVNOTIFY notification_ = nullptr;
  bool classRegistered_ = false;

  support::CriticalSection rxLock_;
  std::unique_ptr<ByteRing> rx_;

  std::unique_ptr<BYTE[]> general_;
};

Link::Link(HINSTANCE instance) : instance_(instance), general_(new BYTE[kGeneralBufferSize]()) {
  mutex_ = OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, kMutexName);
  if (!mutex_) mutex_ = CreateMutexA(nullptr, FALSE, kMutexName);

  bool created = false;
  section_ = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, kSectionName);
  if (!section_) {
    section_ = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE | SEC_COMMIT, 0, kSectionSize,
                                  kSectionName);
    created = section_ && GetLastError() != ERROR_ALREADY_EXISTS;
  }
  if (section_) owner_ = static_cast<OwnerRecord*>(MapViewOfFile(section_, FILE_MAP_WRITE, 0, 0, kSectionSize));
  if (owner_ && created) setOwner(0);
}

Link::~Link() {
  closeDevice();
  if (claimed_) {
    setOwner(0);
    ReleaseMutex(mutex_);
  }
  if (classRegistered_) UnregisterClassW(kWindowClass, instance_);
  if (owner_) UnmapViewOfFile(owner_);
  if (section_) CloseHandle(section_);
  if (mutex_) CloseHandle(mutex_);
}

void Link::setOwner(DWORD processId) {
  if (!owner_) return;
  owner_->processId = processId;
  owner_->reserved = 0;
}

void Link::resetRings() {
  support::ScopedLock hold(rxLock_);
  if (rx_) rx_->reset();
}

int Link::open() {
  if (!mutex_ || !owner_) return 0;
  DWORD wait = WaitForSingleObject(mutex_, 0);
  if (wait != WAIT_OBJECT_0 && wait != WAIT_ABANDONED) return 0;
  DWORD self = GetCurrentProcessId();
  // Only a claim this process made counts as "already ours": a record that
  // names this process id without one is stale (a reused id, or a copy of
  // the library that was unloaded while open).
  if (claimed_) {
    if (!openDevice()) {
      setOwner(0);
      claimed_ = false;
      // The mutex is held twice now: once by the wait above (a thread may
      // wait again on a mutex it owns) and once by the first open's claim.
      // Both go, so the claim is given up.
      ReleaseMutex(mutex_);
      ReleaseMutex(mutex_);
      return 0;
    }
    Sleep(kClaimSettleMs);
    resetRings();
    setOwner(self);
    ReleaseMutex(mutex_);  // keeps the one hold of the first open
    return int(self);
  }
  if (!openDevice()) {
    setOwner(0);
    ReleaseMutex(mutex_);
    return 0;
  }
  Sleep(kClaimSettleMs);
  setOwner(self);
  claimed_ = true;
  return int(self);
}

int Link::close(int token) {
  if (!valid(token)) return 0;
  closeDevice();
  resetRings();
  // The record and the mutex are only ours to clear while this process
  // holds the claim; another process's claim stays untouched.
  if (claimed_) {
    setOwner(0);
    claimed_ = false;
    ReleaseMutex(mutex_);
  }
  return 1;
}

int Link::read(int token, BYTE* buffer, int length) {
  if (!isOpened(token) || !buffer || length <= 0) return 0;
  support::ScopedLock hold(rxLock_);
  poll(*this, *rx_);
  return int(rx_->take(buffer, size_t(length)));
}

int Link::write(int token, const BYTE* data, int length) {
  if (!isOpened(token) || !data || length <= 0) return 0;
  // Each chunk polls the printer into the receive ring, so the whole write
  // runs under the receive lock.
  support::ScopedLock hold(rxLock_);
  return int(writeAll(*this, *rx_, data, size_t(length)));
}

void* Link::generalHandle(int which) {
  if (which == 0) return general_.get();
  // Handle 1 names a buffer this library never allocates.
  return nullptr;
}

bool Link::loadServices() {
  services_.module = LoadLibraryA("HID.DLL");
  if (!services_.module) return false;
  // Every name is looked up, whether or not an earlier one was missing.
  const bool found[] = {
      resolve(services_.module, "HidD_GetProductString", services_.getProductString),
      resolve(services_.module, "HidD_GetHidGuid", services_.getHidGuid),
      resolve(services_.module, "HidD_GetAttributes", services_.getAttributes),
      resolve(services_.module, "HidD_SetFeature", services_.setFeature),
      resolve(services_.module, "HidD_GetFeature", services_.getFeature),
  };
  bool all = true;
  for (bool f : found) all = all && f;
  if (!all) unloadServices();
  return all;
}

void Link::unloadServices() {
  if (services_.module) FreeLibrary(services_.module);
  services_ = HidServices{};
}

bool Link::openDevice() {
  if (open_) return true;
  if (!loadServices()) return false;
  if (!rx_) rx_.reset(new (std::nothrow) ByteRing(kRingCapacity));
  if (!rx_ || !rx_->valid()) {
    rx_.reset();
    unloadServices();
    return false;
  }
  resetRings();
  if (!findPrinter()) {
    unloadServices();
    return false;
  }
  if (!window_) watchDeviceChanges();
  open_ = true;
  Sleep(kDeviceSettleMs);
  return true;
}

void Link::closeDevice() {
  open_ = false;
  if (device_ != INVALID_HANDLE_VALUE) CloseHandle(device_);
  device_ = INVALID_HANDLE_VALUE;
  unloadServices();
  if (notification_) UnregisterDeviceNotification(notification_);
  notification_ = nullptr;
  if (window_) {
    HWND window = window_;
    window_ = nullptr;  // DestroyWindow may run from the window's own procedure
    DestroyWindow(window);
  }
}

bool Link::findPrinter() {
  services_.getHidGuid(&hidGuid_);
  DeviceInfoList list{SetupDiGetClassDevsW(&hidGuid_, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE)};
  if (list.set == INVALID_HANDLE_VALUE) return false;
  SP_DEVICE_INTERFACE_DATA item{};
  item.cbSize = sizeof item;
  for (DWORD index = 0; SetupDiEnumDeviceInterfaces(list.set, nullptr, &hidGuid_, index, &item); ++index) {
    DWORD needed = 0;
    SetupDiGetDeviceInterfaceDetailW(list.set, &item, nullptr, 0, &needed, nullptr);
    if (needed < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W) || needed > 0x10000) continue;
    std::vector<DWORD> storage((needed + sizeof(DWORD) - 1) / sizeof(DWORD));
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(storage.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
    if (!SetupDiGetDeviceInterfaceDetailW(list.set, &item, detail, needed, nullptr, nullptr)) continue;
    HANDLE h = CreateFileW(detail->DevicePath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) continue;
    HIDD_ATTRIBUTES attributes{};
    attributes.Size = sizeof attributes;
    if (services_.getAttributes(h, &attributes) && attributes.VendorID == kPrinterVendorId &&
        attributes.ProductID == kPrinterProductId) {
      device_ = h;
      return true;
    }
    CloseHandle(h);
  }
  return false;
}

void Link::watchDeviceChanges() {
  if (!classRegistered_) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = notifyWindowProc;
    wc.hInstance = instance_;
    wc.lpszClassName = kWindowClass;
    classRegistered_ = RegisterClassW(&wc) != 0;
    if (!classRegistered_) return;
  }
  window_ = CreateWindowExW(0, kWindowClass, WTEXT(""), WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr, instance_,
                            nullptr);
  if (!window_) return;
  DEV_BROADCAST_DEVICEINTERFACE_W filter{};
  filter.dbcc_size = sizeof filter;
  filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  filter.dbcc_classguid = hidGuid_;
  notification_ = RegisterDeviceNotificationW(window_, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
}

void Link::onDeviceChange(WPARAM event, LPARAM data) {
  if (event != DBT_DEVICEARRIVAL && event != DBT_DEVICEREMOVECOMPLETE) return;
  auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(data);
  if (!header || header->dbch_devicetype != DBT_DEVTYP_DEVICEINTERFACE) return;
  auto* iface = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_W*>(header);
  if (std::memcmp(&iface->dbcc_classguid, &hidGuid_, sizeof(GUID)) != 0) return;
  closeDevice();
}

Link* g_link = nullptr;

LRESULT CALLBACK notifyWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DEVICECHANGE) {
    try {
      if (g_link) g_link->onDeviceChange(wParam, lParam);
    } catch (...) {
    }
    return TRUE;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

bool attach(HINSTANCE instance) {
  delete g_link;
  g_link = nullptr;
  try {
    g_link = new Link(instance);
  } catch (...) {
    return false;
  }
  return true;
}

void detach() {
  delete g_link;
  g_link = nullptr;
}

int open() { return g_link ? g_link->open() : 0; }
int close(int token) { return g_link ? g_link->close(token) : 0; }
bool isOpened(int token) { return g_link && g_link->isOpened(token); }
int read(int token, BYTE* buffer, int length) { return g_link ? g_link->read(token, buffer, length) : 0; }
int write(int token, const BYTE* data, int length) { return g_link ? g_link->write(token, data, length) : 0; }
void* generalHandle(int which) { return g_link ? g_link->generalHandle(which) : nullptr; }

}  // namespace hidlink
