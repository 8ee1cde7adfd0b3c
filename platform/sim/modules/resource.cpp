// The running program's resources and path on the simulated host:
// FindResourceA, LoadResource, LockResource, SizeofResource, LoadStringW and
// GetModuleFileNameA.
#include <unistd.h>

#include <map>
#include <mutex>

#include "internal.h"
#include "sim/resource.h"
#include "sim/world.h"

namespace sim {
namespace {

struct Resource {
  std::vector<BYTE> bytes;
};

struct Resources {
  std::mutex lock;
  std::map<UINT, std::u16string> strings;  // the program's own, kept by reset
  // Keyed by folded "type/name"; std::map keeps each entry's address
  // stable, and that address is its HRSRC and HGLOBAL.
  std::map<std::string, Resource> scripted;
  std::string path;
};

Resources& resources() {
  static Resources* r = new Resources;
  return *r;
}

std::string selfPath() {
  char buffer[4096];
  ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  return n > 0 ? std::string(buffer, size_t(n)) : std::string("kvtool.exe");
}

void resetResources() {
  Resources& r = resources();
  std::lock_guard<std::mutex> g(r.lock);
  r.scripted.clear();
  r.path = selfPath();
}

const bool g_registered = [] {
  resetResources();
  onReset(resetResources);
  return true;
}();

std::string fold(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = char(c - 32);
  return s;
}

std::string idText(LPCSTR nameOrId) {
  if (IS_INTRESOURCE(nameOrId)) return "#" + std::to_string(unsigned(reinterpret_cast<ULONG_PTR>(nameOrId)));
  return fold(nameOrId);
}

bool isProgram(HMODULE module) { return !module || module == GetModuleHandleA(nullptr); }

}  // namespace

void addProgramString(UINT id, std::u16string text) {
  Resources& r = resources();
  std::lock_guard<std::mutex> g(r.lock);
  r.strings[id] = std::move(text);
}

void setProgramResource(const std::string& type, const std::string& name, std::vector<BYTE> bytes) {
  Resources& r = resources();
  std::lock_guard<std::mutex> g(r.lock);
  r.scripted[fold(type) + "/" + fold(name)] = Resource{std::move(bytes)};
}

void removeProgramResource(const std::string& type, const std::string& name) {
  Resources& r = resources();
  std::lock_guard<std::mutex> g(r.lock);
  r.scripted.erase(fold(type) + "/" + fold(name));
}

void setProgramPath(const std::string& path) {
  Resources& r = resources();
  std::lock_guard<std::mutex> g(r.lock);
  r.path = path;
}

}  // namespace sim

extern "C" {

DWORD WINAPI GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size) {
  if (!sim::isProgram(module)) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return 0;
  }
  sim::Resources& r = sim::resources();
  std::lock_guard<std::mutex> g(r.lock);
  if (!fileName || size == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  size_t n = r.path.size();
  if (n >= size) {
    n = size - 1;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
  } else {
    SetLastError(0);
  }
  r.path.copy(fileName, n);
  fileName[n] = 0;
  return DWORD(n);
}

HRSRC WINAPI FindResourceA(HMODULE module, LPCSTR name, LPCSTR type) {
  if (sim::faulted(sim::api::FindResourceA)) return nullptr;
  if (!name || !type) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (!sim::isProgram(module)) {
    SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
    return nullptr;
  }
  sim::Resources& r = sim::resources();
  std::lock_guard<std::mutex> g(r.lock);
  std::string typeKey = sim::idText(type) + "/";
  auto it = r.scripted.find(typeKey + sim::idText(name));
  if (it == r.scripted.end()) {
    auto any = r.scripted.lower_bound(typeKey);
    bool typeKnown = any != r.scripted.end() && any->first.compare(0, typeKey.size(), typeKey) == 0;
    SetLastError(typeKnown ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND);
    return nullptr;
  }
  return reinterpret_cast<HRSRC>(&it->second);
}

HGLOBAL WINAPI LoadResource(HMODULE module, HRSRC resource) {
  if (sim::faulted(sim::api::LoadResource)) return nullptr;
  if (!resource || !sim::isProgram(module)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return reinterpret_cast<HGLOBAL>(resource);
}

LPVOID WINAPI LockResource(HGLOBAL data) {
  if (!data) return nullptr;
  return reinterpret_cast<sim::Resource*>(data)->bytes.data();
}

DWORD WINAPI SizeofResource(HMODULE module, HRSRC resource) {
  if (!resource || !sim::isProgram(module)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  return DWORD(reinterpret_cast<sim::Resource*>(resource)->bytes.size());
}

int WINAPI LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int size) {
  if (!buffer || !sim::isProgram(reinterpret_cast<HMODULE>(instance))) {
    SetLastError(!buffer ? ERROR_INVALID_PARAMETER : ERROR_RESOURCE_DATA_NOT_FOUND);
    return 0;
  }
  sim::Resources& r = sim::resources();
  std::lock_guard<std::mutex> g(r.lock);
  auto it = r.strings.find(id);
  if (it == r.strings.end() || it->second.empty()) {
    if (size > 0) buffer[0] = 0;
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return 0;
  }
  const std::u16string& text = it->second;
  if (size == 0) {
    *reinterpret_cast<const WCHAR**>(buffer) = text.data();
    return int(text.size());
  }
  if (size < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  size_t n = std::min(text.size(), size_t(size - 1));
  text.copy(buffer, n);
  buffer[n] = 0;
  return int(n);
}

}  // extern "C"
