// TRMON's exports and the port function table it hands the spooler. Each
// entry validates the port handle and calls one port function; no
// exception crosses an entry.
#include "guard.h"
#include "monitor_port.h"
#include "port_queries.h"
#include "trmon.h"

// The version marker of the library's data; nothing reads it.
extern "C" char TrmonVersionMarker[];
char TrmonVersionMarker[] = "Ver3.10";

namespace trmon {
namespace {

HINSTANCE g_instance = nullptr;


BOOL WINAPI OpenPortEx(LPSTR pPortName, LPSTR pPrinterName, PHANDLE pHandle, LPPORTFUNCTIONTABLE pMonitor) {
  return guardedCall(FALSE, [&] { return openPortEx(pPortName, pPrinterName, pHandle, pMonitor); });
}

BOOL WINAPI StartDocPort(HANDLE hPort, LPSTR pPrinterName, DWORD JobId, DWORD Level, LPBYTE pDocInfo) {
  return guardedCall(FALSE, [&] {
    MonitorPort* port = validPort(hPort);
    return port ? startDocPort(*port, pPrinterName, JobId, Level, pDocInfo) : fail(ERROR_INVALID_PARAMETER);
  });
}

BOOL WINAPI WritePort(HANDLE hPort, LPBYTE pBuffer, DWORD cbBuf, LPDWORD pcbWritten) {
  return guardedCall(FALSE, [&] {
    MonitorPort* port = validPort(hPort);
    return port ? writePort(*port, pBuffer, cbBuf, pcbWritten) : fail(ERROR_INVALID_PARAMETER);
  });
}

BOOL WINAPI ReadPort(HANDLE hPort, LPBYTE pBuffer, DWORD cbBuffer, LPDWORD pcbRead) {
  return guardedCall(FALSE, [&] {
    MonitorPort* port = validPort(hPort);
    return port ? readPort(*port, pBuffer, cbBuffer, pcbRead) : fail(ERROR_INVALID_PARAMETER);
  });
}

BOOL WINAPI EndDocPort(HANDLE hPort) {
  return guardedCall(FALSE, [&] {
    MonitorPort* port = validPort(hPort);
    return port ? endDocPort(*port) : fail(ERROR_INVALID_PARAMETER);
  });
}

BOOL WINAPI ClosePort(HANDLE hPort) {
  return guardedCall(FALSE, [&] {
    MonitorPort* port = validPort(hPort);
    return port ? closePort(*port) : fail(ERROR_INVALID_PARAMETER);
  });
}

BOOL WINAPI GetPrinterDataFromPort(HANDLE hPort, DWORD ControlID, LPSTR pValueName, LPSTR lpInBuffer,
                                   DWORD cbInBuffer, LPSTR lpOutBuffer, DWORD cbOutBuffer, LPDWORD lpcbReturned) {
  return guardedCall(FALSE, [&] {
    MonitorPort* port = validPort(hPort);
    if (!port) return fail(ERROR_INVALID_PARAMETER);
    return getPrinterDataFromPort(*port, ControlID, pValueName, lpInBuffer, cbInBuffer, lpOutBuffer, cbOutBuffer,
                                  lpcbReturned);
  });
}

const PortFunctionTable kMonitorTable = {
    nullptr,                 // 0 EnumPorts: the port monitor lists its ports
    nullptr,                 // 1 OpenPort: a language monitor is opened through OpenPortEx
    OpenPortEx,              // 2
    StartDocPort,            // 3
    WritePort,               // 4
    ReadPort,                // 5
    EndDocPort,              // 6
    ClosePort,               // 7
    nullptr,                 // 8 AddPort: ports belong to the port monitor
    nullptr,                 // 9 ConfigurePort: likewise
    nullptr,                 // 10 DeletePort: likewise
    GetPrinterDataFromPort,  // 11
    nullptr,                 // 12 SetPortTimeOuts: the port monitor's own timeouts apply
};

}  // namespace

const PortFunctionTable& monitorTable() { return kMonitorTable; }

}  // namespace trmon

extern "C" {

BOOL WINAPI DllEntryPoint(HINSTANCE hInstance, DWORD dwReason, LPVOID lpReserved) {
  // TRUE for every reason; only an exception the shared entry catches
  // makes it FALSE.
  return dllEntry(
      dwReason, lpReserved,
      [&] {
        trmon::g_instance = hInstance;
        trmon::createMonitorLock();
        DisableThreadLibraryCalls(hInstance);
        return true;
      },
      [] {});
}

BOOL WINAPI InitializeMonitorEx(LPSTR pRegistryRoot, LPPORTFUNCTIONTABLE pMonitor) {
  return guardedCall(FALSE, [&] {
    if (!pMonitor || !pRegistryRoot) return trmon::fail(ERROR_INVALID_PARAMETER);
    if (!trmon::keepRegistryRoot(pRegistryRoot)) return FALSE;
    // The port list starts empty when the library loads; ports that are
    // still open stay valid across a repeated initialisation.
    *pMonitor = trmon::kMonitorTable;
    return TRUE;
  });
}

}  // extern "C"
