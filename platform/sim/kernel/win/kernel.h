// Kernel services of the simulated host: last error, heaps, the virtual
// clock, Win32 string functions and critical sections.
#pragma once

#include "win/base.h"

extern "C" {

DWORD WINAPI GetLastError(void);
void WINAPI SetLastError(DWORD code);

// Heaps. Every allocation can be made to fail through sim::failNth
// ("HeapAlloc", "GlobalAlloc", "LocalAlloc").
#define HEAP_ZERO_MEMORY 0x00000008
HANDLE WINAPI GetProcessHeap(void);
LPVOID WINAPI HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes);
LPVOID WINAPI HeapReAlloc(HANDLE heap, DWORD flags, LPVOID mem, SIZE_T bytes);
BOOL WINAPI HeapFree(HANDLE heap, DWORD flags, LPVOID mem);
SIZE_T WINAPI HeapSize(HANDLE heap, DWORD flags, LPCVOID mem);

#define GMEM_FIXED 0x0000
#define GMEM_MOVEABLE 0x0002
#define GMEM_ZEROINIT 0x0040
#define GPTR (GMEM_FIXED | GMEM_ZEROINIT)
#define GHND (GMEM_MOVEABLE | GMEM_ZEROINIT)
#define LMEM_FIXED 0x0000
#define LMEM_ZEROINIT 0x0040
#define LPTR (LMEM_FIXED | LMEM_ZEROINIT)
HGLOBAL WINAPI GlobalAlloc(UINT flags, SIZE_T bytes);
HGLOBAL WINAPI GlobalFree(HGLOBAL mem);
LPVOID WINAPI GlobalLock(HGLOBAL mem);
BOOL WINAPI GlobalUnlock(HGLOBAL mem);
SIZE_T WINAPI GlobalSize(HGLOBAL mem);
HLOCAL WINAPI LocalAlloc(UINT flags, SIZE_T bytes);
HLOCAL WINAPI LocalFree(HLOCAL mem);

// Virtual clock: Sleep advances it instantly, GetTickCount reads it.
void WINAPI Sleep(DWORD milliseconds);
DWORD WINAPI GetTickCount(void);
ULONGLONG WINAPI GetTickCount64(void);
void WINAPI GetLocalTime(LPSYSTEMTIME time);

DWORD WINAPI GetCurrentProcessId(void);
DWORD WINAPI GetCurrentThreadId(void);

// Win32 string functions. The W forms work on UTF-16 code units; the
// case-insensitive comparisons fold ASCII letters as Windows does for the
// invariant range.
int WINAPI lstrlenA(LPCSTR s);
int WINAPI lstrlenW(LPCWSTR s);
LPSTR WINAPI lstrcpyA(LPSTR d, LPCSTR s);
LPWSTR WINAPI lstrcpyW(LPWSTR d, LPCWSTR s);
LPSTR WINAPI lstrcpynA(LPSTR d, LPCSTR s, int max);
LPWSTR WINAPI lstrcpynW(LPWSTR d, LPCWSTR s, int max);
LPSTR WINAPI lstrcatA(LPSTR d, LPCSTR s);
LPWSTR WINAPI lstrcatW(LPWSTR d, LPCWSTR s);
int WINAPI lstrcmpA(LPCSTR a, LPCSTR b);
int WINAPI lstrcmpW(LPCWSTR a, LPCWSTR b);
int WINAPI lstrcmpiA(LPCSTR a, LPCSTR b);
int WINAPI lstrcmpiW(LPCWSTR a, LPCWSTR b);

// Code pages: CP_ACP is GBK (936) on the simulated host, as on the
// Chinese systems these printers ship for; 936 and 54936 are accepted as
// its names too. CP_UTF8 is UTF-8.
#define CP_ACP 0
#define CP_OEMCP 1
#define CP_UTF8 65001
#define MB_ERR_INVALID_CHARS 0x00000008
int WINAPI MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR src, int srcLen, LPWSTR dst, int dstLen);
int WINAPI WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR src, int srcLen, LPSTR dst, int dstLen,
                               LPCSTR defaultChar, LPBOOL usedDefault);

typedef struct _CRITICAL_SECTION {
  void* impl;
} CRITICAL_SECTION, *LPCRITICAL_SECTION, *PCRITICAL_SECTION;
void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION cs);
void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION cs);
void WINAPI EnterCriticalSection(LPCRITICAL_SECTION cs);
void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION cs);

BOOL WINAPI CloseHandle(HANDLE h);

// A library's entry point asks not to be told of thread starts and ends.
// The simulated host records the call (sim::threadLibraryCallsDisabled in
// sim/portmon.h) and otherwise ignores it.
BOOL WINAPI DisableThreadLibraryCalls(HMODULE module);

// Serial-port timeouts, as port monitors take them (winbase.h layout).
typedef struct _COMMTIMEOUTS {
  DWORD ReadIntervalTimeout;
  DWORD ReadTotalTimeoutMultiplier;
  DWORD ReadTotalTimeoutConstant;
  DWORD WriteTotalTimeoutMultiplier;
  DWORD WriteTotalTimeoutConstant;
} COMMTIMEOUTS, *LPCOMMTIMEOUTS;
static_assert(sizeof(COMMTIMEOUTS) == 20, "COMMTIMEOUTS is five DWORDs");

}  // extern "C"
