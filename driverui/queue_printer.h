// A printer handle for a queue: the caller's, or one opened by name for as
// long as the object lives (the spooler may call the interface DLL with a
// name and no handle).
#pragma once

#include <windows.h>
#include <winspool.h>

namespace driver {

class QueuePrinter {
 public:
  QueuePrinter(HANDLE given, LPCWSTR name) : handle_(given) {
    if (!handle_ && name && OpenPrinterW(const_cast<LPWSTR>(name), &handle_, nullptr)) owned_ = true;
  }
  ~QueuePrinter() {
    if (owned_) ClosePrinter(handle_);
  }
  QueuePrinter(const QueuePrinter&) = delete;
  QueuePrinter& operator=(const QueuePrinter&) = delete;
  // Null when neither given nor openable.
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_ = nullptr;
  bool owned_ = false;
};

}  // namespace driver
