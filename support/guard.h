// Catch-all guard for exported and hook-table entry points: no exception
// ever crosses into GDI or the spooler.
#pragma once

#include <new>

#include <windows.h>

namespace support {

// Runs body(); if it throws, sets the last error (ERROR_NOT_ENOUGH_MEMORY
// for allocation failures, ERROR_INVALID_PARAMETER otherwise) and returns
// `failure`.
template <class Result, class Body>
Result guardedCall(Result failure, Body&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  } catch (...) {
    SetLastError(ERROR_INVALID_PARAMETER);
  }
  return failure;
}

template <class Body>
void guardedVoid(Body&& body) noexcept {
  try {
    body();
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  } catch (...) {
    SetLastError(ERROR_INVALID_PARAMETER);
  }
}

// The body of every library's DllMain: `attach` runs on DLL_PROCESS_ATTACH
// and its result decides whether the load succeeds; `detach` runs when the
// library is freed, but not at process exit, when the libraries it would
// call may be gone already. No exception leaves.
template <class Attach, class Detach>
BOOL dllEntry(DWORD reason, LPVOID reserved, Attach&& attach, Detach&& detach) noexcept {
  return guardedCall(FALSE, [&]() -> BOOL {
    if (reason == DLL_PROCESS_ATTACH) return attach() ? TRUE : FALSE;
    if (reason == DLL_PROCESS_DETACH && !reserved) detach();
    return TRUE;
  });
}

}  // namespace support
