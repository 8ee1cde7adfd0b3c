// Profile (INI) files and the Windows directory.
#pragma once

#include "win/base.h"

extern "C" {

// Windows semantics over real files: section and key names compare
// case-insensitively; a null key lists the section's keys (a null section
// lists the sections), each terminated, with a final extra terminator.
DWORD WINAPI GetPrivateProfileStringW(LPCWSTR lpAppName, LPCWSTR lpKeyName, LPCWSTR lpDefault,
                                      LPWSTR lpReturnedString, DWORD nSize, LPCWSTR lpFileName);
// Leading blanks, an optional sign and the leading decimal digits of the
// value; 0 when the value has no digits, nDefault when the key is missing
// or empty.
UINT WINAPI GetPrivateProfileIntW(LPCWSTR lpAppName, LPCWSTR lpKeyName, INT nDefault, LPCWSTR lpFileName);
// Creates the file, section and key as needed; an existing key keeps its
// place, a new key is appended at the end of its section. A null key
// deletes the section, a null string deletes the key.
BOOL WINAPI WritePrivateProfileStringW(LPCWSTR lpAppName, LPCWSTR lpKeyName, LPCWSTR lpString,
                                       LPCWSTR lpFileName);

// The system profile: "win.ini" in the Windows directory (sim/profile.h),
// read like GetPrivateProfileStringW, in the ANSI code page. With no Windows
// directory every key is missing.
DWORD WINAPI GetProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault, LPSTR lpReturnedString,
                               DWORD nSize);

UINT WINAPI GetWindowsDirectoryW(LPWSTR lpBuffer, UINT uSize);

}  // extern "C"
