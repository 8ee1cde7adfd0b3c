// One critical section and the scoped hold of it.
#pragma once

#include <windows.h>

namespace support {

// A critical section that lives as long as its owner.
class CriticalSection {
 public:
  CriticalSection() { InitializeCriticalSection(&section_); }
  ~CriticalSection() { DeleteCriticalSection(&section_); }
  CriticalSection(const CriticalSection&) = delete;
  CriticalSection& operator=(const CriticalSection&) = delete;

  void enter() { EnterCriticalSection(&section_); }
  void leave() { LeaveCriticalSection(&section_); }

 private:
  CRITICAL_SECTION section_;
};

// Holds a critical section from construction to the end of the scope.
class ScopedLock {
 public:
  explicit ScopedLock(CriticalSection& section) : section_(section) { section_.enter(); }
  ~ScopedLock() { section_.leave(); }
  ScopedLock(const ScopedLock&) = delete;
  ScopedLock& operator=(const ScopedLock&) = delete;

 private:
  CriticalSection& section_;
};

}  // namespace support
