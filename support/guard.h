// Catch-all guard for exported and hook-table entry points: no exception
// ever crosses into GDI or the spooler.
#pragma once

#include <new>

#include <windows.h>

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
