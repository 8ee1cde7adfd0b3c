// Files and device paths: CreateFile, ReadFile, WriteFile.
//
// Device paths ("\\?\..." and "\\.\...", for instance the HID device
// paths of sim/hid.h) open simulated devices. Any other path is a real file
// of the host, with backslashes read as slashes (as the profile functions
// do); share modes are not enforced.
#pragma once

#include "win/base.h"
#include "win/sync.h"

extern "C" {

#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define FILE_SHARE_READ 0x00000001
#define FILE_SHARE_WRITE 0x00000002
#define FILE_SHARE_DELETE 0x00000004
#define CREATE_NEW 1
#define CREATE_ALWAYS 2
#define OPEN_EXISTING 3
#define OPEN_ALWAYS 4
#define TRUNCATE_EXISTING 5
#define FILE_ATTRIBUTE_NORMAL 0x00000080
#define FILE_FLAG_OVERLAPPED 0x40000000
#define ERROR_SHARING_VIOLATION 32L
#define ERROR_FILE_EXISTS 80L
#define INVALID_FILE_SIZE 0xFFFFFFFFu

typedef struct _OVERLAPPED {
  ULONG_PTR Internal;
  ULONG_PTR InternalHigh;
  union {
    struct {
      DWORD Offset;
      DWORD OffsetHigh;
    };
    PVOID Pointer;
  };
  HANDLE hEvent;
} OVERLAPPED, *LPOVERLAPPED;

// Overlapped I/O is not supported: an OVERLAPPED argument must be null.
HANDLE WINAPI CreateFileW(LPCWSTR fileName, DWORD desiredAccess, DWORD shareMode,
                          LPSECURITY_ATTRIBUTES securityAttributes, DWORD creationDisposition,
                          DWORD flagsAndAttributes, HANDLE templateFile);
HANDLE WINAPI CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD shareMode, LPSECURITY_ATTRIBUTES securityAttributes,
                          DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE templateFile);
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010
#define INVALID_FILE_ATTRIBUTES ((DWORD)-1)
// Host files only: FILE_ATTRIBUTE_DIRECTORY or FILE_ATTRIBUTE_NORMAL, or
// INVALID_FILE_ATTRIBUTES with ERROR_FILE_NOT_FOUND / ERROR_PATH_NOT_FOUND.
DWORD WINAPI GetFileAttributesA(LPCSTR fileName);
// Host files only.
BOOL WINAPI DeleteFileA(LPCSTR fileName);
// Files only (not devices); the high half is stored when `high` is given.
DWORD WINAPI GetFileSize(HANDLE file, LPDWORD high);
BOOL WINAPI ReadFile(HANDLE file, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead, LPOVERLAPPED overlapped);
BOOL WINAPI WriteFile(HANDLE file, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten,
                      LPOVERLAPPED overlapped);

}  // extern "C"
