// <windows.h> of the job-language core on a host without the Windows API
// (the printer application): the basic types, and the few kernel services
// the core calls, over the C runtime. The core's sources include
// <windows.h> and build unchanged against the SDK's on Windows.
#pragma once

#include <win_basic_types.h>

#include <cstdlib>

#define DMORIENT_PORTRAIT 1
#define DMORIENT_LANDSCAPE 2

// Last error: per thread, as on Windows.
inline DWORD& coreLastError() {
  thread_local DWORD code = ERROR_SUCCESS;
  return code;
}
inline DWORD GetLastError(void) { return coreLastError(); }
inline void SetLastError(DWORD code) { coreLastError() = code; }

// The process heap: the C runtime's, zero-filled on request.
#define HEAP_ZERO_MEMORY 0x00000008
inline HANDLE GetProcessHeap(void) {
  static int heap;
  return &heap;
}
inline LPVOID HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes) {
  if (!heap) return nullptr;
  return (flags & HEAP_ZERO_MEMORY) ? std::calloc(1, bytes ? bytes : 1) : std::malloc(bytes ? bytes : 1);
}
inline BOOL HeapFree(HANDLE heap, DWORD, LPVOID mem) {
  if (!heap) return FALSE;
  std::free(mem);
  return TRUE;
}
