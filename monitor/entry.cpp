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

BOOL WINAPI OpenPortEx(LPSTR pPortName, LPSTR pPrinterName, PHANDLE pHandle, LPPORTFUNCTIONTABLE pMonitor) {
  return support::guardedCall(FALSE, [&] { return openPortEx(pPortName, pPrinterName, pHandle, pMonitor); });
}

BOOL WINAPI StartDocPort(HANDLE hPort, LPSTR pPrinterName, DWORD JobId, DWORD Level, LPBYTE pDocInfo) {
  return withPort(hPort, FALSE, [&](MonitorPort& port) {
    return startDocPort(port, pPrinterName, JobId, Level, pDocInfo);
  });
}

BOOL WINAPI WritePort(HANDLE hPort, LPBYTE pBuffer, DWORD cbBuf, LPDWORD pcbWritten) {
  return withPort(hPort, FALSE, [&](MonitorPort& port) { return writePort(port, pBuffer, cbBuf, pcbWritten); });
}

BOOL WINAPI ReadPort(HANDLE hPort, LPBYTE pBuffer, DWORD cbBuffer, LPDWORD pcbRead) {
  return withPort(hPort, FALSE, [&](MonitorPort& port) { return readPort(port, pBuffer, cbBuffer, pcbRead); });
}

BOOL WINAPI EndDocPort(HANDLE hPort) { return withPort(hPort, FALSE, endDocPort); }

BOOL WINAPI ClosePort(HANDLE hPort) { return withPort(hPort, FALSE, closePort); }

BOOL WINAPI GetPrinterDataFromPort(HANDLE hPort, DWORD ControlID, LPSTR pValueName, LPSTR lpInBuffer,
                                   DWORD cbInBuffer, LPSTR lpOutBuffer, DWORD cbOutBuffer, LPDWORD lpcbReturned) {
  return withPort(hPort, FALSE, [&](MonitorPort& port) {
    return getPrinterDataFromPort(port, ControlID, pValueName, lpInBuffer, cbInBuffer, lpOutBuffer, cbOutBuffer,
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
  return support::dllEntry(
      dwReason, lpReserved,
      [&] {
        // The instance handle is needed only here: the monitor loads no
        // resources of its own.
        trmon::createMonitorLock();
        DisableThreadLibraryCalls(hInstance);
        return true;
      },
      [] {});
}

BOOL WINAPI InitializeMonitorEx(LPSTR pRegistryRoot, LPPORTFUNCTIONTABLE pMonitor) {
  return support::guardedCall(FALSE, [&]() -> BOOL {
    if (!pMonitor || !pRegistryRoot) return trmon::fail(ERROR_INVALID_PARAMETER);
    if (!trmon::keepRegistryRoot(pRegistryRoot)) return FALSE;
    // The port list starts empty when the library loads; ports that are
    // still open stay valid across a repeated initialisation.
    *pMonitor = trmon::kMonitorTable;
    return TRUE;
  });
}

}  // extern "C"
