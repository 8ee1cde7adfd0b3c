// CreateFileW, ReadFile and WriteFile of the simulated host: device paths
// are resolved by the services that registered an opener.
#include <mutex>
#include <vector>

#include "device_internal.h"
#include "internal.h"

namespace sim {
namespace {

std::mutex g_lock;
std::vector<DeviceOpener>& openers() {
  static auto* v = new std::vector<DeviceOpener>;
  return *v;
}

}  // namespace

void addDeviceOpener(DeviceOpener opener) {
  std::lock_guard<std::mutex> g(g_lock);
  openers().push_back(std::move(opener));
}

}  // namespace sim

extern "C" {

HANDLE WINAPI CreateFileW(LPCWSTR fileName, DWORD desiredAccess, DWORD, LPSECURITY_ATTRIBUTES, DWORD creationDisposition,
                          DWORD flagsAndAttributes, HANDLE) {
  if (sim::faulted("CreateFileW")) return INVALID_HANDLE_VALUE;
  if (!fileName || !*fileName || (flagsAndAttributes & FILE_FLAG_OVERLAPPED)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  if (creationDisposition != OPEN_EXISTING) {
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  std::vector<sim::DeviceOpener> list;
  {
    std::lock_guard<std::mutex> g(sim::g_lock);
    list = sim::openers();
  }
  std::u16string path(fileName);
  DWORD error = ERROR_FILE_NOT_FOUND;
  for (auto& open : list) {
    error = ERROR_FILE_NOT_FOUND;
    if (auto object = open(path, desiredAccess, &error)) {
      SetLastError(0);
      return sim::newHandle(object);
    }
    if (error != ERROR_FILE_NOT_FOUND) break;
  }
  SetLastError(error);
  return INVALID_HANDLE_VALUE;
}

BOOL WINAPI ReadFile(HANDLE file, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead, LPOVERLAPPED overlapped) {
  if (bytesRead) *bytesRead = 0;
  auto f = sim::handleAs<sim::FileObject>(file);
  if (!f) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (overlapped || (!buffer && bytesToRead) || (!bytesRead && !overlapped)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (sim::faulted("ReadFile")) return FALSE;
  return f->read(buffer, bytesToRead, bytesRead);
}

BOOL WINAPI WriteFile(HANDLE file, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten, LPOVERLAPPED overlapped) {
  if (bytesWritten) *bytesWritten = 0;
  auto f = sim::handleAs<sim::FileObject>(file);
  if (!f) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (overlapped || (!buffer && bytesToWrite) || !bytesWritten) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (sim::faulted("WriteFile")) return FALSE;
  return f->write(buffer, bytesToWrite, bytesWritten);
}

}  // extern "C"
