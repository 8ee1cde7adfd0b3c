// The simulated host's world: reset hooks, clock, faults and handles.
#include "sim/world.h"

#include <atomic>
#include <map>
#include <mutex>
#include <vector>

#include <windows.h>

namespace sim {
namespace {

struct Fault {
  int nth;        // 1-based call number, counted from when it was scripted
  bool onwards;   // fail this call and every later one
  DWORD error;
  int seen = 0;
};

struct World {
  std::mutex lock;
  std::vector<std::function<void()>> resetHooks;
  std::vector<std::function<void()>> serviceResets;
  std::map<std::string, std::vector<Fault>> faults;
  std::map<std::string, int> calls;
  std::map<HANDLE, std::shared_ptr<KernelObject>> handles;
  uintptr_t nextHandle = 0x1000;
  std::atomic<ULONGLONG> clock{0};
  std::atomic<ULONGLONG> slept{0};
};

World& world() {
  static World* w = new World;  // never destroyed: services may outlive main
  return *w;
}

}  // namespace

void onReset(std::function<void()> hook) {
  std::lock_guard<std::mutex> g(world().lock);
  world().resetHooks.push_back(std::move(hook));
}

void detail::onServiceReset(std::function<void()> clear) {
  std::lock_guard<std::mutex> g(world().lock);
  world().serviceResets.push_back(std::move(clear));
}

void reset() {
  std::vector<std::function<void()>> hooks;
  {
    std::lock_guard<std::mutex> g(world().lock);
    hooks = world().resetHooks;
  }
  for (auto& h : hooks) h();
  std::map<HANDLE, std::shared_ptr<KernelObject>> dropped;
  {
    std::lock_guard<std::mutex> g(world().lock);
    dropped.swap(world().handles);
  }
  dropped.clear();  // destroy objects outside the lock
  {
    std::lock_guard<std::mutex> g(world().lock);
    hooks = world().serviceResets;
  }
  for (auto& clear : hooks) clear();
  {
    std::lock_guard<std::mutex> g(world().lock);
    world().faults.clear();
    world().calls.clear();
  }
  world().clock = 0;
  world().slept = 0;
  SetLastError(0);
}

ULONGLONG nowMs() { return world().clock.load(); }
void advanceMs(ULONGLONG ms) { world().clock += ms; }
ULONGLONG sleptMs() { return world().slept.load(); }
void noteSleep(ULONGLONG ms) {
  world().slept += ms;
  world().clock += ms;
}

void failNth(Api api, int nth, DWORD error) {
  std::lock_guard<std::mutex> g(world().lock);
  world().faults[api.name].push_back(Fault{nth, false, error});
}

void failFrom(Api api, int nth, DWORD error) {
  std::lock_guard<std::mutex> g(world().lock);
  world().faults[api.name].push_back(Fault{nth, true, error});
}

void clearFaults() {
  std::lock_guard<std::mutex> g(world().lock);
  world().faults.clear();
}

bool takeFault(Api api, DWORD* error) {
  std::lock_guard<std::mutex> g(world().lock);
  world().calls[api.name]++;
  auto it = world().faults.find(api.name);
  if (it == world().faults.end()) return false;
  bool fail = false;
  for (Fault& f : it->second) {
    ++f.seen;
    if (f.seen == f.nth || (f.onwards && f.seen >= f.nth)) {
      fail = true;
      if (error) *error = f.error;
    }
  }
  return fail;
}

int callCount(Api api) {
  std::lock_guard<std::mutex> g(world().lock);
  auto it = world().calls.find(api.name);
  return it == world().calls.end() ? 0 : it->second;
}

HANDLE newHandle(std::shared_ptr<KernelObject> object) {
  std::lock_guard<std::mutex> g(world().lock);
  HANDLE h = reinterpret_cast<HANDLE>(world().nextHandle);
  world().nextHandle += 4;
  world().handles[h] = std::move(object);
  return h;
}

std::shared_ptr<KernelObject> lookupHandle(HANDLE h) {
  std::lock_guard<std::mutex> g(world().lock);
  auto it = world().handles.find(h);
  return it == world().handles.end() ? nullptr : it->second;
}

bool closeHandle(HANDLE h) {
  std::shared_ptr<KernelObject> doomed;
  {
    std::lock_guard<std::mutex> g(world().lock);
    auto it = world().handles.find(h);
    if (it == world().handles.end()) return false;
    doomed = std::move(it->second);
    world().handles.erase(it);
  }
  return true;  // doomed is destroyed here, outside the lock
}

size_t openHandleCount() {
  std::lock_guard<std::mutex> g(world().lock);
  return world().handles.size();
}

}  // namespace sim
