// winsplp.h subset for the simulated host: the print monitor interface of
// InitializePrintMonitor2 (MONITORINIT in, MONITOR2 out).
#pragma once

#include <windows.h>

extern "C" {

typedef DWORD ACCESS_MASK;
typedef HANDLE HKEYMONITOR;
// The registry functions the spooler hands a monitor; nothing here calls
// them, so the table stays opaque.
typedef struct _MONITORREG MONITORREG, *PMONITORREG;
typedef struct _BIDI_REQUEST_CONTAINER BIDI_REQUEST_CONTAINER, *PBIDI_REQUEST_CONTAINER;
typedef struct _BIDI_RESPONSE_CONTAINER BIDI_RESPONSE_CONTAINER, *PBIDI_RESPONSE_CONTAINER;

typedef struct _MONITORINIT {
  DWORD cbSize;
  HANDLE hSpooler;
  HKEYMONITOR hckRegistryRoot;
  PMONITORREG pMonitorReg;
  BOOL bLocal;
  LPCWSTR pszServerName;
} MONITORINIT, *PMONITORINIT;

// Member for member as Windows declares it; cbSize says how much of it a
// monitor fills (MONITOR2_SIZE_WIN2K: up to pfnShutdown).
typedef struct _MONITOR2 {
  DWORD cbSize;
  BOOL(WINAPI* pfnEnumPorts)(HANDLE hMonitor, LPWSTR pName, DWORD Level, LPBYTE pPorts, DWORD cbBuf,
                             LPDWORD pcbNeeded, LPDWORD pcReturned);
  BOOL(WINAPI* pfnOpenPort)(HANDLE hMonitor, LPWSTR pName, PHANDLE pHandle);
  BOOL(WINAPI* pfnOpenPortEx)(HANDLE hMonitor, HANDLE hMonitorPort, LPWSTR pPortName, LPWSTR pPrinterName,
                              PHANDLE pHandle, struct _MONITOR2* pMonitor2);
  BOOL(WINAPI* pfnStartDocPort)(HANDLE hPort, LPWSTR pPrinterName, DWORD JobId, DWORD Level, LPBYTE pDocInfo);
  BOOL(WINAPI* pfnWritePort)(HANDLE hPort, LPBYTE pBuffer, DWORD cbBuf, LPDWORD pcbWritten);
  BOOL(WINAPI* pfnReadPort)(HANDLE hPort, LPBYTE pBuffer, DWORD cbBuffer, LPDWORD pcbRead);
  BOOL(WINAPI* pfnEndDocPort)(HANDLE hPort);
  BOOL(WINAPI* pfnClosePort)(HANDLE hPort);
  BOOL(WINAPI* pfnAddPort)(HANDLE hMonitor, LPWSTR pName, HWND hWnd, LPWSTR pMonitorName);
  BOOL(WINAPI* pfnAddPortEx)(HANDLE hMonitor, LPWSTR pName, DWORD Level, LPBYTE lpBuffer, LPWSTR lpMonitorName);
  BOOL(WINAPI* pfnConfigurePort)(HANDLE hMonitor, LPWSTR pName, HWND hWnd, LPWSTR pPortName);
  BOOL(WINAPI* pfnDeletePort)(HANDLE hMonitor, LPWSTR pName, HWND hWnd, LPWSTR pPortName);
  BOOL(WINAPI* pfnGetPrinterDataFromPort)(HANDLE hPort, DWORD ControlID, LPWSTR pValueName, LPWSTR lpInBuffer,
                                          DWORD cbInBuffer, LPWSTR lpOutBuffer, DWORD cbOutBuffer,
                                          LPDWORD lpcbReturned);
  BOOL(WINAPI* pfnSetPortTimeOuts)(HANDLE hPort, LPCOMMTIMEOUTS lpCTO, DWORD reserved);
  BOOL(WINAPI* pfnXcvOpenPort)(HANDLE hMonitor, LPCWSTR pszObject, ACCESS_MASK GrantedAccess, PHANDLE phXcv);
  DWORD(WINAPI* pfnXcvDataPort)(HANDLE hXcv, LPCWSTR pszDataName, PBYTE pInputData, DWORD cbInputData,
                                PBYTE pOutputData, DWORD cbOutputData, PDWORD pcbOutputNeeded);
  BOOL(WINAPI* pfnXcvClosePort)(HANDLE hXcv);
  VOID(WINAPI* pfnShutdown)(HANDLE hMonitor);
  DWORD(WINAPI* pfnSendRecvBidiDataFromPort)(HANDLE hPort, DWORD dwAccessBit, LPCWSTR pAction,
                                             PBIDI_REQUEST_CONTAINER pReqData,
                                             PBIDI_RESPONSE_CONTAINER* ppResData);
  DWORD(WINAPI* pfnNotifyUsedPorts)(HANDLE hMonitor, DWORD cPorts, PCWSTR* ppszPorts);
  DWORD(WINAPI* pfnNotifyUnusedPorts)(HANDLE hMonitor, DWORD cPorts, PCWSTR* ppszPorts);
} MONITOR2, *LPMONITOR2, *PMONITOR2;

#define MONITOR2_SIZE_WIN2K (sizeof(DWORD) + (sizeof(PVOID) * 18))

LPMONITOR2 WINAPI InitializePrintMonitor2(PMONITORINIT pMonitorInit, PHANDLE phMonitor);

}  // extern "C"
