// Windows, window classes, synchronous message dispatch and device-change
// notifications of the simulated host.
#include <dbt.h>

#include <map>
#include <mutex>
#include <vector>

#include "device_internal.h"
#include "internal.h"
#include "sim/user.h"

namespace sim {
namespace {

struct WindowClass {
  WNDPROC proc = nullptr;
  HINSTANCE instance = nullptr;
};

struct Window {
  std::u16string className;
  WNDPROC proc = nullptr;
  bool destroying = false;
};

struct Notification {
  HWND window;
  GUID interfaceClass;
};

struct User {
  std::map<std::pair<std::u16string, HINSTANCE>, WindowClass> classes;
  std::map<HWND, Window> windows;
  std::map<HDEVNOTIFY, Notification> notifications;
  uintptr_t nextWindow = 0x20000;
  uintptr_t nextNotification = 0x30000;
};

Service<User>& user() { return service<User>(); }

std::u16string fold(const WCHAR* s) {
  std::u16string out = s ? s : u"";
  for (auto& c : out)
    if (c >= u'A' && c <= u'Z') c = char16_t(c + 32);
  return out;
}

WNDPROC procOf(HWND window) {
  std::lock_guard<std::recursive_mutex> g(user().lock);
  auto it = user().windows.find(window);
  return it == user().windows.end() ? nullptr : it->second.proc;
}

}  // namespace

void broadcastDeviceInterface(WPARAM event, const GUID& interfaceClass, const std::u16string& path) {
  std::vector<HWND> targets;
  {
    std::lock_guard<std::recursive_mutex> g(user().lock);
    for (auto& [h, n] : user().notifications)
      if (std::memcmp(&n.interfaceClass, &interfaceClass, sizeof(GUID)) == 0) targets.push_back(n.window);
  }
  std::vector<BYTE> buffer(offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name) + (path.size() + 1) * sizeof(WCHAR));
  auto* b = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(buffer.data());
  b->dbcc_size = DWORD(buffer.size());
  b->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  b->dbcc_classguid = interfaceClass;
  std::memcpy(b->dbcc_name, path.c_str(), (path.size() + 1) * sizeof(WCHAR));
  for (HWND w : targets) SendMessageW(w, WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(b));
}

}  // namespace sim

extern "C" {

ATOM WINAPI RegisterClassW(const WNDCLASSW* wndClass) {
  if (sim::faulted(sim::api::RegisterClassW)) return 0;
  if (!wndClass || !wndClass->lpfnWndProc || !wndClass->lpszClassName || !*wndClass->lpszClassName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::lock_guard<std::recursive_mutex> g(sim::user().lock);
  auto key = std::make_pair(sim::fold(wndClass->lpszClassName), wndClass->hInstance);
  if (sim::user().classes.count(key)) {
    SetLastError(ERROR_CLASS_ALREADY_EXISTS);
    return 0;
  }
  sim::user().classes[key] = sim::WindowClass{wndClass->lpfnWndProc, wndClass->hInstance};
  return ATOM(0xC000 + sim::user().classes.size());
}

BOOL WINAPI UnregisterClassW(LPCWSTR className, HINSTANCE instance) {
  std::lock_guard<std::recursive_mutex> g(sim::user().lock);
  auto key = std::make_pair(sim::fold(className), instance);
  if (!sim::user().classes.count(key)) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
  }
  for (auto& [h, w] : sim::user().windows)
    if (w.className == key.first) {
      SetLastError(ERROR_CLASS_HAS_WINDOWS);
      return FALSE;
    }
  sim::user().classes.erase(key);
  return TRUE;
}

HWND WINAPI CreateWindowExW(DWORD, LPCWSTR className, LPCWSTR, DWORD, int, int, int, int, HWND, HMENU, HINSTANCE instance,
                            LPVOID) {
  if (sim::faulted(sim::api::CreateWindowExW)) return nullptr;
  HWND window;
  {
    std::lock_guard<std::recursive_mutex> g(sim::user().lock);
    auto it = sim::user().classes.find(std::make_pair(sim::fold(className), instance));
    if (it == sim::user().classes.end()) {
      SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
      return nullptr;
    }
    window = reinterpret_cast<HWND>(sim::user().nextWindow);
    sim::user().nextWindow += 4;
    sim::user().windows[window] = sim::Window{sim::fold(className), it->second.proc};
  }
  if (SendMessageW(window, WM_CREATE, 0, 0) == -1) {
    std::lock_guard<std::recursive_mutex> g(sim::user().lock);
    sim::user().windows.erase(window);
    SetLastError(ERROR_GEN_FAILURE);
    return nullptr;
  }
  return window;
}

BOOL WINAPI DestroyWindow(HWND window) {
  {
    std::lock_guard<std::recursive_mutex> g(sim::user().lock);
    auto it = sim::user().windows.find(window);
    if (it == sim::user().windows.end() || it->second.destroying) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return FALSE;
    }
    it->second.destroying = true;
  }
  SendMessageW(window, WM_DESTROY, 0, 0);
  std::lock_guard<std::recursive_mutex> g(sim::user().lock);
  for (auto it = sim::user().notifications.begin(); it != sim::user().notifications.end();)
    it = it->second.window == window ? sim::user().notifications.erase(it) : std::next(it);
  sim::user().windows.erase(window);
  return TRUE;
}

BOOL WINAPI IsWindow(HWND window) {
  std::lock_guard<std::recursive_mutex> g(sim::user().lock);
  return sim::user().windows.count(window) ? TRUE : FALSE;
}

LRESULT WINAPI DefWindowProcW(HWND, UINT, WPARAM, LPARAM) { return 0; }

LRESULT WINAPI SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  WNDPROC proc = sim::procOf(window);
  if (!proc) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  return proc(window, message, wParam, lParam);
}

HDEVNOTIFY WINAPI RegisterDeviceNotificationW(HANDLE recipient, LPVOID notificationFilter, DWORD flags) {
  if (sim::faulted(sim::api::RegisterDeviceNotificationW)) return nullptr;
  auto* filter = static_cast<const DEV_BROADCAST_DEVICEINTERFACE_W*>(notificationFilter);
  HWND window = static_cast<HWND>(recipient);
  if (flags != DEVICE_NOTIFY_WINDOW_HANDLE || !filter || filter->dbcc_devicetype != DBT_DEVTYP_DEVICEINTERFACE ||
      filter->dbcc_size < offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::lock_guard<std::recursive_mutex> g(sim::user().lock);
  if (!sim::user().windows.count(window)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  HDEVNOTIFY h = reinterpret_cast<HDEVNOTIFY>(sim::user().nextNotification);
  sim::user().nextNotification += 4;
  sim::user().notifications[h] = sim::Notification{window, filter->dbcc_classguid};
  return h;
}

BOOL WINAPI UnregisterDeviceNotification(HDEVNOTIFY handle) {
  std::lock_guard<std::recursive_mutex> g(sim::user().lock);
  if (!sim::user().notifications.erase(handle)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

}  // extern "C"
