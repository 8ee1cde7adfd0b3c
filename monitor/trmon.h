// The language monitor TRMON: its exports and the 13-slot port function
// table it exchanges with the spooler and the port monitor.
//
// The monitor works in single-byte (ANSI) strings. The table has 13
// pointer-sized slots in this order, with no AddPortEx slot; the same
// layout describes the monitor's own table (filled by InitializeMonitorEx)
// and the port monitor's table handed to OpenPortEx.
#pragma once

#include <windows.h>
#include <winspool.h>

extern "C" {

struct PortFunctionTable;
typedef PortFunctionTable* LPPORTFUNCTIONTABLE;

struct PortFunctionTable {
  BOOL(WINAPI* pfnEnumPorts)(LPSTR pName, DWORD Level, LPBYTE pPorts, DWORD cbBuf, LPDWORD pcbNeeded,
                             LPDWORD pcReturned);                                                   // 0
  BOOL(WINAPI* pfnOpenPort)(LPSTR pName, PHANDLE pHandle);                                          // 1
  BOOL(WINAPI* pfnOpenPortEx)(LPSTR pPortName, LPSTR pPrinterName, PHANDLE pHandle,
                              LPPORTFUNCTIONTABLE pMonitor);                                        // 2
  BOOL(WINAPI* pfnStartDocPort)(HANDLE hPort, LPSTR pPrinterName, DWORD JobId, DWORD Level, LPBYTE pDocInfo);  // 3
  BOOL(WINAPI* pfnWritePort)(HANDLE hPort, LPBYTE pBuffer, DWORD cbBuf, LPDWORD pcbWritten);        // 4
  BOOL(WINAPI* pfnReadPort)(HANDLE hPort, LPBYTE pBuffer, DWORD cbBuffer, LPDWORD pcbRead);         // 5
  BOOL(WINAPI* pfnEndDocPort)(HANDLE hPort);                                                        // 6
  BOOL(WINAPI* pfnClosePort)(HANDLE hPort);                                                         // 7
  BOOL(WINAPI* pfnAddPort)(LPSTR pName, HWND hWnd, LPSTR pMonitorName);                             // 8
  BOOL(WINAPI* pfnConfigurePort)(LPSTR pName, HWND hWnd, LPSTR pPortName);                          // 9
  BOOL(WINAPI* pfnDeletePort)(LPSTR pName, HWND hWnd, LPSTR pPortName);                             // 10
  BOOL(WINAPI* pfnGetPrinterDataFromPort)(HANDLE hPort, DWORD ControlID, LPSTR pValueName, LPSTR lpInBuffer,
                                          DWORD cbInBuffer, LPSTR lpOutBuffer, DWORD cbOutBuffer,
                                          LPDWORD lpcbReturned);                                    // 11
  BOOL(WINAPI* pfnSetPortTimeOuts)(HANDLE hPort, LPCOMMTIMEOUTS lpCTO, DWORD reserved);             // 12
};
static_assert(sizeof(PortFunctionTable) == 13 * sizeof(void*), "the port function table has 13 slots");

// Library entry point. On process attach (reason 1) keeps the instance,
// creates the monitor lock and turns off thread notifications. TRUE for
// every reason.
BOOL WINAPI DllEntryPoint(HINSTANCE hInstance, DWORD dwReason, LPVOID lpReserved);

// Copies the registry root (kept, not otherwise used) and fills the
// caller's 13 slots with the monitor's port functions; slots 0, 1, 8, 9, 10
// and 12 are null. FALSE with ERROR_INVALID_PARAMETER when either argument
// is null; FALSE with ERROR_NOT_ENOUGH_MEMORY when the copy fails.
BOOL WINAPI InitializeMonitorEx(LPSTR pRegistryRoot, LPPORTFUNCTIONTABLE pMonitor);

}  // extern "C"
