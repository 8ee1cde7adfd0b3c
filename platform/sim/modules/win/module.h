// Dynamic loading: LoadLibrary, GetProcAddress, FreeLibrary.
//
// The simulated host has no DLL files: a module is a named table of entry
// points registered in-process (see sim/module.h). "HID.DLL" is always
// registered and resolves to the simulated HidD_* services.
#pragma once

#include "win/base.h"

extern "C" {

#define DLL_PROCESS_DETACH 0
#define DLL_PROCESS_ATTACH 1
#define DLL_THREAD_ATTACH 2
#define DLL_THREAD_DETACH 3

// Names compare case-insensitively and may omit ".dll"; a directory part is
// ignored. The module's entry point sees DLL_PROCESS_ATTACH on the first
// load and DLL_PROCESS_DETACH when the last reference is freed; an entry
// point returning FALSE makes the load fail with ERROR_DLL_INIT_FAILED.
#define ERROR_DLL_INIT_FAILED 1114L
HMODULE WINAPI LoadLibraryA(LPCSTR fileName);
HMODULE WINAPI LoadLibraryW(LPCWSTR fileName);
FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR procName);
BOOL WINAPI FreeLibrary(HMODULE module);
HMODULE WINAPI GetModuleHandleA(LPCSTR moduleName);

}  // extern "C"
