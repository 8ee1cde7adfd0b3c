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
// The executable's path (sim::setProgramPath) for a null module or the
// executable's handle; other modules fail with ERROR_MOD_NOT_FOUND. Copies at most size - 1 characters
// and a terminator; a longer path is cut and ERROR_INSUFFICIENT_BUFFER set.
// Returns the characters copied.
DWORD WINAPI GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size);

// Resources. Only the executable (a null module or GetModuleHandleA(null))
// carries any: those scripted with sim::setProgramResource and its string
// table (sim/resource.h). Names and types are texts (case-insensitive) or
// MAKEINTRESOURCE numbers.
DECLARE_HANDLE(HRSRC);
#define MAKEINTRESOURCEA(i) ((LPSTR)((ULONG_PTR)((WORD)(i))))
#define MAKEINTRESOURCEW(i) ((LPWSTR)((ULONG_PTR)((WORD)(i))))
#define IS_INTRESOURCE(r) ((((ULONG_PTR)(r)) >> 16) == 0)
#define ERROR_RESOURCE_DATA_NOT_FOUND 1812L
#define ERROR_RESOURCE_TYPE_NOT_FOUND 1813L
#define ERROR_RESOURCE_NAME_NOT_FOUND 1814L
HRSRC WINAPI FindResourceA(HMODULE module, LPCSTR name, LPCSTR type);
HGLOBAL WINAPI LoadResource(HMODULE module, HRSRC resource);
LPVOID WINAPI LockResource(HGLOBAL data);
DWORD WINAPI SizeofResource(HMODULE module, HRSRC resource);
// String-table entry `id`: with size 0, stores a read-only pointer to the
// text (not terminated) in *buffer and returns its length; otherwise copies
// at most size - 1 characters and a terminator. 0 when there is none.
int WINAPI LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int size);

}  // extern "C"
