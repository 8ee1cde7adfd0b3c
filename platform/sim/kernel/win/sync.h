// Named kernel objects: mutexes, events, file mappings, waits.
//
// Named mutexes and file mappings are shared between processes of the
// simulated host (two test processes exclude each other through them). Their
// names live in an object namespace of the running process tree; see
// sim/sync.h.
#pragma once

#include "win/base.h"

extern "C" {

typedef struct _SECURITY_ATTRIBUTES {
  DWORD nLength;
  LPVOID lpSecurityDescriptor;
  BOOL bInheritHandle;
} SECURITY_ATTRIBUTES, *PSECURITY_ATTRIBUTES, *LPSECURITY_ATTRIBUTES;

#define SYNCHRONIZE 0x00100000L
#define STANDARD_RIGHTS_REQUIRED 0x000F0000L
#define MUTANT_QUERY_STATE 0x0001
#define MUTEX_MODIFY_STATE MUTANT_QUERY_STATE
#define MUTEX_ALL_ACCESS (STANDARD_RIGHTS_REQUIRED | SYNCHRONIZE | MUTANT_QUERY_STATE)
#define EVENT_MODIFY_STATE 0x0002
#define EVENT_ALL_ACCESS (STANDARD_RIGHTS_REQUIRED | SYNCHRONIZE | 0x3)

#define WAIT_OBJECT_0 0x00000000L
#define WAIT_ABANDONED 0x00000080L
#define WAIT_FAILED 0xFFFFFFFFu
#define ERROR_NOT_OWNER 288L
#define ERROR_INVALID_ADDRESS 487L

// Mutexes. WaitForSingleObject on a mutex owned by another process with a
// finite non-zero timeout advances the virtual clock by the timeout.
HANDLE WINAPI CreateMutexA(LPSECURITY_ATTRIBUTES attributes, BOOL initialOwner, LPCSTR name);
HANDLE WINAPI OpenMutexA(DWORD access, BOOL inherit, LPCSTR name);
BOOL WINAPI ReleaseMutex(HANDLE mutex);

// Events (process-local; names are not supported).
HANDLE WINAPI CreateEventA(LPSECURITY_ATTRIBUTES attributes, BOOL manualReset, BOOL initialState, LPCSTR name);
HANDLE WINAPI CreateEventW(LPSECURITY_ATTRIBUTES attributes, BOOL manualReset, BOOL initialState, LPCWSTR name);
BOOL WINAPI SetEvent(HANDLE event);
BOOL WINAPI ResetEvent(HANDLE event);

DWORD WINAPI WaitForSingleObject(HANDLE handle, DWORD milliseconds);

// File mappings backed by the page file (hFile == INVALID_HANDLE_VALUE).
#define PAGE_READONLY 0x02
#define PAGE_READWRITE 0x04
#define SEC_COMMIT 0x08000000
#define FILE_MAP_WRITE 0x0002
#define FILE_MAP_READ 0x0004
#define FILE_MAP_ALL_ACCESS 0x000F001F
HANDLE WINAPI CreateFileMappingA(HANDLE file, LPSECURITY_ATTRIBUTES attributes, DWORD protect, DWORD maximumSizeHigh,
                                 DWORD maximumSizeLow, LPCSTR name);
HANDLE WINAPI OpenFileMappingA(DWORD access, BOOL inherit, LPCSTR name);
LPVOID WINAPI MapViewOfFile(HANDLE mapping, DWORD access, DWORD offsetHigh, DWORD offsetLow, SIZE_T bytes);
BOOL WINAPI UnmapViewOfFile(LPCVOID address);

}  // extern "C"
