// Scripting interface of the simulated Windows host, for tests and tools.
//
// The simulated host keeps its state in one process-wide "world": the
// virtual clock, scripted faults, kernel handles, and whatever each
// simulated service (spooler, engine, devices) registers. Tests call
// sim::reset() between cases to start from an empty world.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "win/base.h"

namespace sim {

// ---- world lifetime -------------------------------------------------------
// Runs every onReset hook (in registration order), closes every kernel
// handle, puts every service's state back to its defaults, clears faults
// and the last error, and sets the clock back to zero.
void reset();
// Code outside the simulated host (test support registering a product
// library as a module, for instance) registers what it must undo while the
// world's handles are still open.
void onReset(std::function<void()> hook);

// The state of one simulated service: its data (default member
// initialisers give the empty world) and the lock that guards it. The one
// instance is made on first use and goes back to a default-constructed
// Data on every reset(), after the kernel handles are closed, so handle
// destructors still see the data they belong to.
template <class Data, class Mutex = std::recursive_mutex>
struct Service : Data {
  Mutex lock;
};
namespace detail {
void onServiceReset(std::function<void()> clear);
}
template <class Data, class Mutex = std::recursive_mutex>
Service<Data, Mutex>& service() {
  static Service<Data, Mutex>* s = [] {
    auto* created = new Service<Data, Mutex>;  // never destroyed: threads may outlive main
    detail::onServiceReset([created] {
      std::lock_guard<Mutex> g(created->lock);
      static_cast<Data&>(*created) = Data{};
    });
    return created;
  }();
  return *s;
}

// ---- virtual clock --------------------------------------------------------
ULONGLONG nowMs();
void advanceMs(ULONGLONG ms);
// Total milliseconds passed to Sleep since the last reset.
ULONGLONG sleptMs();

// ---- scripted faults ------------------------------------------------------
// A simulated API whose calls can be counted and scripted to fail. Each
// family's scripting header names its APIs as constants in sim::api
// (sim::api::WritePrinter, ...), so a misspelt name does not build.
struct Api {
  const char* name;
};
// Calls are counted per API from the moment a fault is scripted.
// failNth: only the nth call from now (1-based) fails.
// failFrom: the nth call from now and every later one fail.
void failNth(Api api, int nth, DWORD error);
void failFrom(Api api, int nth, DWORD error);
void clearFaults();
// For simulated APIs: counts a call of `api` and returns true when it must
// fail, with the scripted error in *error.
bool takeFault(Api api, DWORD* error);
// Calls of `api` seen since the last reset (counted by takeFault).
int callCount(Api api);

// ---- kernel handles -------------------------------------------------------
struct KernelObject {
  virtual ~KernelObject() = default;
};
HANDLE newHandle(std::shared_ptr<KernelObject> object);
std::shared_ptr<KernelObject> lookupHandle(HANDLE h);
template <class T>
std::shared_ptr<T> handleAs(HANDLE h) {
  return std::dynamic_pointer_cast<T>(lookupHandle(h));
}
// Removes the handle; false when it was not open.
bool closeHandle(HANDLE h);
size_t openHandleCount();

// Heap allocations: the call fails with the scripted error.
namespace api {
inline constexpr Api HeapAlloc{"HeapAlloc"};
inline constexpr Api HeapReAlloc{"HeapReAlloc"};
inline constexpr Api GlobalAlloc{"GlobalAlloc"};
inline constexpr Api LocalAlloc{"LocalAlloc"};
}  // namespace api

// ---- heap accounting ------------------------------------------------------
// Blocks currently allocated through HeapAlloc/GlobalAlloc/LocalAlloc.
size_t liveAllocations();

}  // namespace sim
