// The 13-slot port function table the monitor exchanges with the spooler
// and the port monitor through InitializeMonitorEx and OpenPortEx, and
// the port monitor entries of the MONITOR2 interface that differ from it.
//
// The table has 13 pointer-sized slots in this order, with no AddPortEx
// slot; the same layout describes the monitor's own table (filled by
// InitializeMonitorEx) and the port monitor's table handed to OpenPortEx.
#pragma once

#include <windows.h>

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

}  // extern "C"

namespace trmon {

// The port monitor's entries in its MONITOR2 table that take wide strings
// or its instance handle. The others (WritePort, ReadPort, EndDocPort,
// ClosePort, SetPortTimeOuts) have the 13-slot table's signatures and go
// in a PortFunctionTable beside this.
struct WidePortMonitor {
  // hMonitorPort of OpenPortEx: "A language monitor must use this handle
  // when it calls functions in the port monitor's MONITOR2 structure."
  HANDLE instance;
  BOOL(WINAPI* pfnOpenPort)(HANDLE hMonitor, LPWSTR pName, PHANDLE pHandle);
  BOOL(WINAPI* pfnStartDocPort)(HANDLE hPort, LPWSTR pPrinterName, DWORD JobId, DWORD Level, LPBYTE pDocInfo);
  BOOL(WINAPI* pfnGetPrinterDataFromPort)(HANDLE hPort, DWORD ControlID, LPWSTR pValueName, LPWSTR lpInBuffer,
                                          DWORD cbInBuffer, LPWSTR lpOutBuffer, DWORD cbOutBuffer,
                                          LPDWORD lpcbReturned);
  DWORD(WINAPI* pfnSendRecvBidiDataFromPort)(HANDLE hPort, DWORD dwAccessBit, LPCWSTR pAction,
                                             struct _BIDI_REQUEST_CONTAINER* pReqData,
                                             struct _BIDI_RESPONSE_CONTAINER** ppResData);
};

// The monitor's own 13-slot table, as InitializeMonitorEx hands it out.
const PortFunctionTable& monitorTable();

}  // namespace trmon
