// Shared pieces of the simulated host's device files and device-change
// broadcasts (not for tests).
#pragma once

#include <functional>
#include <memory>
#include <string>

#include <windows.h>

#include "sim/world.h"

namespace sim {

// An open file handle's object. Both calls set the last error on failure.
struct FileObject : KernelObject {
  virtual BOOL read(void* buffer, DWORD size, DWORD* done) = 0;
  virtual BOOL write(const void* data, DWORD size, DWORD* done) = 0;
};

// A service that owns device paths: returns the opened object, or null with
// *error set (ERROR_FILE_NOT_FOUND when the path is not one of its own).
using DeviceOpener = std::function<std::shared_ptr<FileObject>(const std::u16string& path, DWORD access, DWORD* error)>;
void addDeviceOpener(DeviceOpener opener);

// Sends WM_DEVICECHANGE (event = DBT_DEVICEARRIVAL or
// DBT_DEVICEREMOVECOMPLETE) with a device-interface broadcast to every
// window registered for the interface class.
void broadcastDeviceInterface(WPARAM event, const GUID& interfaceClass, const std::u16string& path);

}  // namespace sim
