// Scripting interface of the simulated host's loadable modules.
#pragma once

#include "sim/world.h"

#include <map>
#include <string>

#include <windows.h>

namespace sim {

// What LoadLibrary finds under a module name.
struct ModuleSetup {
  std::string name;                       // e.g. "VRDUSBHid.dll"
  std::map<std::string, FARPROC> exports;  // GetProcAddress names, case-sensitive
  // Optional DllMain: called with DLL_PROCESS_ATTACH on first load and
  // DLL_PROCESS_DETACH on the last FreeLibrary (reserved is null).
  BOOL (*entry)(HINSTANCE, DWORD reason, LPVOID reserved) = nullptr;
};

// Casts any function pointer to the FARPROC an export table holds.
template <class F>
FARPROC asProc(F* f) {
  return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(f));
}

// Adds or replaces a module. Replacing a loaded module is refused (false).
bool registerModule(const ModuleSetup& setup);
// Removes a module that is not loaded; false when unknown or loaded.
bool unregisterModule(const std::string& name);
// Number of references LoadLibrary holds on the module (0 when unloaded).
int moduleLoadCount(const std::string& name);

// sim::reset() forgets every module registered by tests and restores the
// built-in ones ("HID.DLL"). Modules still loaded at that point are dropped
// without their DLL_PROCESS_DETACH.

// Scripted faults: "LoadLibraryA"/"LoadLibraryW" (the load fails with the
// scripted error), "GetProcAddress" (the lookup fails).


// The call fails with the scripted error.
namespace api {
inline constexpr Api LoadLibraryA{"LoadLibraryA"};
inline constexpr Api LoadLibraryW{"LoadLibraryW"};
inline constexpr Api GetProcAddress{"GetProcAddress"};
}  // namespace api

}  // namespace sim
