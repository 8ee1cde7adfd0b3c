// The language monitor TRMON: the exports of its 13-slot interface
// (InitializeMonitorEx); monitor2.h has InitializePrintMonitor2.
//
// The monitor works in single-byte (ANSI) strings.
#pragma once

#include <windows.h>
#include <winspool.h>

#include "port_table.h"

extern "C" {

// Library entry point. On process attach (reason 1) creates the monitor
// lock and turns off thread notifications. TRUE for every reason.
BOOL WINAPI DllEntryPoint(HINSTANCE hInstance, DWORD dwReason, LPVOID lpReserved);

// Copies the registry root (kept, not otherwise used) and fills the
// caller's 13 slots with the monitor's port functions; slots 0, 1, 8, 9, 10
// and 12 are null. FALSE with ERROR_INVALID_PARAMETER when either argument
// is null; FALSE with ERROR_NOT_ENOUGH_MEMORY when the copy fails.
BOOL WINAPI InitializeMonitorEx(LPSTR pRegistryRoot, LPPORTFUNCTIONTABLE pMonitor);

}  // extern "C"
