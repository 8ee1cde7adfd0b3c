// Scripting interface of the simulated Windows host, for tests and tools.
//
// The simulated host keeps its state in one process-wide "world": the
// virtual clock, scripted faults, kernel handles, and whatever each
// simulated service (spooler, engine, devices) registers. Tests call
// sim::reset() between cases to start from an empty world.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "win/base.h"

namespace sim {

// ---- world lifetime -------------------------------------------------------
// Runs every registered reset hook (in registration order), clears faults,
// kernel handles and the last error, and sets the clock back to zero.
void reset();
// Simulated services register how to clear their own state. Registration is
// normally done from a static initialiser in the service's source file.
void onReset(std::function<void()> hook);

// ---- virtual clock --------------------------------------------------------
ULONGLONG nowMs();
void advanceMs(ULONGLONG ms);
// Total milliseconds passed to Sleep since the last reset.
ULONGLONG sleptMs();

// ---- scripted faults ------------------------------------------------------
// Calls are counted per API name from the moment a fault is scripted.
// failNth: only the nth call from now (1-based) fails.
// failFrom: the nth call from now and every later one fail.
void failNth(const std::string& api, int nth, DWORD error);
void failFrom(const std::string& api, int nth, DWORD error);
void clearFaults();
// For simulated APIs: counts a call of `api` and returns true when it must
// fail, with the scripted error in *error.
bool takeFault(const char* api, DWORD* error);
// Calls of `api` seen since the last reset (counted by takeFault).
int callCount(const std::string& api);

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

// ---- heap accounting ------------------------------------------------------
// Blocks currently allocated through HeapAlloc/GlobalAlloc/LocalAlloc.
size_t liveAllocations();

}  // namespace sim
