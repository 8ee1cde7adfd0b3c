// Loadable modules of the simulated host: a registry of named export tables.
#include <hidsdi.h>

#include <algorithm>
#include <mutex>
#include <vector>

#include "internal.h"
#include "sim/module.h"
#include "sim/world.h"

namespace sim {
namespace {

struct Module {
  ModuleSetup setup;
  int refs = 0;
};


// "C:\dir\Name.DLL" and "name" both become "name.dll".
std::string keyOf(std::string name) {
  size_t slash = name.find_last_of("\\/");
  if (slash != std::string::npos) name = name.substr(slash + 1);
  for (char& c : name)
    if (c >= 'A' && c <= 'Z') c = char(c + 32);
  if (name.find('.') == std::string::npos) name += ".dll";
  return name;
}

ModuleSetup hidDll() {
  ModuleSetup m;
  m.name = "HID.DLL";
  m.exports = {
      {"HidD_GetHidGuid", asProc(&HidD_GetHidGuid)},
      {"HidD_GetAttributes", asProc(&HidD_GetAttributes)},
      {"HidD_GetFeature", asProc(&HidD_GetFeature)},
      {"HidD_SetFeature", asProc(&HidD_SetFeature)},
      {"HidD_GetProductString", asProc(&HidD_GetProductString)},
  };
  return m;
}

// Every world starts with the system's HID.DLL loadable.
struct Registry {
  std::map<std::string, Module> modules{{keyOf("HID.DLL"), Module{hidDll(), 0}}};  // by folded base name
};

Service<Registry>& registry() { return service<Registry>(); }

// A module handle is the address of its registry entry, which std::map
// keeps stable until the entry is erased.
Module* fromHandle(HMODULE h) {
  auto& r = registry();
  for (auto& [key, m] : r.modules)
    if (reinterpret_cast<HMODULE>(&m) == h && m.refs > 0) return &m;
  return nullptr;
}

HMODULE load(const std::string& name) {
  auto& r = registry();
  std::unique_lock<std::recursive_mutex> g(r.lock);
  auto it = r.modules.find(keyOf(name));
  if (it == r.modules.end()) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  Module& m = it->second;
  HMODULE h = reinterpret_cast<HMODULE>(&m);
  if (++m.refs == 1 && m.setup.entry && !m.setup.entry(reinterpret_cast<HINSTANCE>(h), DLL_PROCESS_ATTACH, nullptr)) {
    m.refs = 0;
    SetLastError(ERROR_DLL_INIT_FAILED);
    return nullptr;
  }
  return h;
}

}  // namespace

bool registerModule(const ModuleSetup& setup) {
  auto& r = registry();
  std::lock_guard<std::recursive_mutex> g(r.lock);
  Module& m = r.modules[keyOf(setup.name)];
  if (m.refs > 0) return false;
  m.setup = setup;
  return true;
}

bool unregisterModule(const std::string& name) {
  auto& r = registry();
  std::lock_guard<std::recursive_mutex> g(r.lock);
  auto it = r.modules.find(keyOf(name));
  if (it == r.modules.end() || it->second.refs > 0) return false;
  r.modules.erase(it);
  return true;
}

int moduleLoadCount(const std::string& name) {
  auto& r = registry();
  std::lock_guard<std::recursive_mutex> g(r.lock);
  auto it = r.modules.find(keyOf(name));
  return it == r.modules.end() ? 0 : it->second.refs;
}

}  // namespace sim

extern "C" {

HMODULE WINAPI LoadLibraryA(LPCSTR fileName) {
  if (sim::faulted(sim::api::LoadLibraryA)) return nullptr;
  if (!fileName || !*fileName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return sim::load(fileName);
}

HMODULE WINAPI LoadLibraryW(LPCWSTR fileName) {
  if (sim::faulted(sim::api::LoadLibraryW)) return nullptr;
  if (!fileName || !*fileName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return sim::load(sim::toUtf8(fileName));
}

FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR procName) {
  if (sim::faulted(sim::api::GetProcAddress)) return nullptr;
  auto& r = sim::registry();
  std::lock_guard<std::recursive_mutex> g(r.lock);
  sim::Module* m = sim::fromHandle(module);
  if (!m) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  // Lookups by ordinal (a name pointer below 64K) are not supported.
  if (reinterpret_cast<uintptr_t>(procName) < 0x10000) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  auto it = m->setup.exports.find(procName);
  if (it == m->setup.exports.end()) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  return it->second;
}

BOOL WINAPI FreeLibrary(HMODULE module) {
  auto& r = sim::registry();
  std::unique_lock<std::recursive_mutex> g(r.lock);
  sim::Module* m = sim::fromHandle(module);
  if (!m) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (--m->refs == 0 && m->setup.entry) m->setup.entry(reinterpret_cast<HINSTANCE>(module), DLL_PROCESS_DETACH, nullptr);
  return TRUE;
}

HMODULE WINAPI GetModuleHandleA(LPCSTR moduleName) {
  auto& r = sim::registry();
  std::lock_guard<std::recursive_mutex> g(r.lock);
  if (!moduleName) return reinterpret_cast<HMODULE>(&r);  // the executable
  auto it = r.modules.find(sim::keyOf(moduleName));
  if (it == r.modules.end() || it->second.refs == 0) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  return reinterpret_cast<HMODULE>(&it->second);
}

}  // extern "C"
