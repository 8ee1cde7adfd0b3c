// InitializePrintMonitor2 and the wide, instance-based entries of its
// MONITOR2 table. Each validates its handles and continues in the port
// code the 13-slot table uses; no exception crosses an entry.
#include <cstddef>

#include "guard.h"
#include "heap_block.h"
#include "lock.h"
#include "monitor2.h"
#include "monitor_port.h"
#include "port_queries.h"

namespace trmon {
namespace {

inline constexpr DWORD kInstanceSignature = 0x8941;

// One instance per InitializePrintMonitor2 call, handed out as hMonitor.
// The monitor stores no registry values, so it keeps nothing of the
// MONITORINIT (spooler handle, registry functions) that Shutdown would
// have to invalidate.
struct MonitorInstance {
  DWORD signature;
  MonitorInstance* next;
};

MonitorInstance* g_instances = nullptr;  // guarded by the lock below

support::CriticalSection& instanceLock() {
  static auto* lock = new support::CriticalSection;
  return *lock;
}

MonitorInstance* validInstance(HANDLE handle) {
  if (!handle) return nullptr;
  support::ScopedLock lock(instanceLock());
  for (MonitorInstance* i = g_instances; i; i = i->next)
    if (i == handle) return i->signature == kInstanceSignature ? i : nullptr;
  return nullptr;
}

// "pHandle: ... to receive a port handle"; pMonitor: "the MONITOR2
// structure returned by a port monitor's InitializePrintMonitor2".
BOOL WINAPI OpenPortExW(HANDLE hMonitor, HANDLE hMonitorPort, LPWSTR pPortName, LPWSTR pPrinterName,
                        PHANDLE pHandle, MONITOR2* pMonitor2) {
  return support::guardedCall(FALSE, [&] {
    if (!pPortName || !pHandle) return fail(ERROR_INVALID_PARAMETER);
    *pHandle = nullptr;
    MonitorInstance* instance = validInstance(hMonitor);
    if (!instance || !pMonitor2) return fail(ERROR_INVALID_PARAMETER);
    CHAR portName[(kMaxPortNameChars + 1) * 2];
    if (!toAnsi(pPortName, kMaxPortNameChars, portName, int(sizeof portName))) return fail(ERROR_INVALID_PARAMETER);
    CHAR printerName[kPrinterNameChars * 2];
    toAnsi(pPrinterName, kPrinterNameChars - 1, printerName, int(sizeof printerName));

    PortFunctionTable same{};
    same.pfnWritePort = pMonitor2->pfnWritePort;
    same.pfnReadPort = pMonitor2->pfnReadPort;
    same.pfnEndDocPort = pMonitor2->pfnEndDocPort;
    same.pfnClosePort = pMonitor2->pfnClosePort;
    same.pfnSetPortTimeOuts = pMonitor2->pfnSetPortTimeOuts;
    WidePortMonitor wide{hMonitorPort, pMonitor2->pfnOpenPort, pMonitor2->pfnStartDocPort,
                         pMonitor2->pfnGetPrinterDataFromPort, nullptr};
    // cbSize says how much of the table the port monitor filled; one of
    // MONITOR2_SIZE_WIN2K ends before the bidi entry.
    if (pMonitor2->cbSize >= offsetof(MONITOR2, pfnSendRecvBidiDataFromPort) + sizeof(void*))
      wide.pfnSendRecvBidiDataFromPort = pMonitor2->pfnSendRecvBidiDataFromPort;
    if (!wide.pfnOpenPort) return fail(ERROR_INVALID_PARAMETER);
    return openPortEx(portName, pPrinterName ? printerName : nullptr, pHandle, &same, &wide, pPortName, instance);
  });
}

BOOL WINAPI StartDocPortW(HANDLE hPort, LPWSTR pPrinterName, DWORD JobId, DWORD Level, LPBYTE pDocInfo) {
  return withPort(hPort, FALSE, [&](MonitorPort& port) {
    return startDocPortW(port, pPrinterName, JobId, Level, pDocInfo);
  });
}

// Control id 0 names a query, answered as through the 13-slot table with
// the name in ANSI; the reply goes to the caller's buffer as the printer's
// bytes, cbOutBuffer counting bytes. Other control ids go to the port
// monitor unchanged.
BOOL WINAPI GetPrinterDataFromPortW(HANDLE hPort, DWORD ControlID, LPWSTR pValueName, LPWSTR lpInBuffer,
                                    DWORD cbInBuffer, LPWSTR lpOutBuffer, DWORD cbOutBuffer, LPDWORD lpcbReturned) {
  return withPort(hPort, FALSE, [&](MonitorPort& port) -> BOOL {
    if (!isWidePort(port)) return fail(ERROR_INVALID_PARAMETER);
    if (ControlID != 0) {
      auto passOn = port.widePortMonitor.pfnGetPrinterDataFromPort;
      if (!passOn) return fail(ERROR_INVALID_PARAMETER);
      return passOn(port.portMonitorHandle, ControlID, pValueName, lpInBuffer, cbInBuffer, lpOutBuffer,
                    cbOutBuffer, lpcbReturned);
    }
    // One character past the longest name, so a longer name stays unknown.
    CHAR name[(kMaxQueryNameChars + 2) * 2];
    toAnsi(pValueName, kMaxQueryNameChars + 1, name, int(sizeof name));
    return getPrinterDataFromPort(port, 0, pValueName ? name : nullptr, nullptr, 0,
                                  reinterpret_cast<LPSTR>(lpOutBuffer), cbOutBuffer, lpcbReturned);
  });
}

// "Language monitors should always implement SendRecvBidiDataFromPort
// ... If the language monitor doesn't support bidi ... the language
// monitor should forward the call to the port monitor's
// SendRecvBidiDataFromPort function." This one speaks no bidi schema.
DWORD WINAPI SendRecvBidiDataFromPort(HANDLE hPort, DWORD dwAccessBit, LPCWSTR pAction,
                                      PBIDI_REQUEST_CONTAINER pReqData, PBIDI_RESPONSE_CONTAINER* ppResData) {
  return withPort(hPort, DWORD(ERROR_INVALID_PARAMETER), [&](MonitorPort& port) -> DWORD {
    if (!isWidePort(port)) return ERROR_INVALID_PARAMETER;
    auto passOn = port.widePortMonitor.pfnSendRecvBidiDataFromPort;
    if (!passOn) return ERROR_NOT_SUPPORTED;
    return passOn(port.portMonitorHandle, dwAccessBit, pAction, pReqData, ppResData);
  });
}

// "The Shutdown function should mark the following information as no
// longer valid: the spooler handle received in the MONITORINIT structure,
// the registry function pointers received in the MONITORREG structure."
// It also closes the ports this instance still holds; it must return
// quickly, and does no more than that.
VOID WINAPI Shutdown(HANDLE hMonitor) {
  support::guardedVoid([&] {
    MonitorInstance* instance = validInstance(hMonitor);
    if (!instance) return;
    {
      support::ScopedLock lock(instanceLock());
      for (MonitorInstance** link = &g_instances; *link; link = &(*link)->next)
        if (*link == instance) {
          *link = instance->next;
          break;
        }
    }
    closePortsOf(instance);
    instance->signature = 0;
    support::heapFree(instance);
  });
}

MONITOR2 makeTable() {
  const PortFunctionTable& same = monitorTable();
  MONITOR2 t{};
  // sizeof(MONITOR2): current Windows; MONITOR2_SIZE_WIN2K is for
  // Windows 2000 only.
  t.cbSize = sizeof(MONITOR2);
  t.pfnOpenPortEx = OpenPortExW;
  t.pfnStartDocPort = StartDocPortW;
  t.pfnWritePort = same.pfnWritePort;
  t.pfnReadPort = same.pfnReadPort;
  t.pfnEndDocPort = same.pfnEndDocPort;
  t.pfnClosePort = same.pfnClosePort;
  t.pfnGetPrinterDataFromPort = GetPrinterDataFromPortW;
  t.pfnShutdown = Shutdown;
  t.pfnSendRecvBidiDataFromPort = SendRecvBidiDataFromPort;
  return t;
}

}  // namespace
}  // namespace trmon

extern "C" LPMONITOR2 WINAPI InitializePrintMonitor2(PMONITORINIT pMonitorInit, PHANDLE phMonitor) {
  return support::guardedCall(static_cast<LPMONITOR2>(nullptr), [&]() -> LPMONITOR2 {
    if (!pMonitorInit || !phMonitor || pMonitorInit->cbSize < sizeof(MONITORINIT)) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
    }
    *phMonitor = nullptr;
    support::HeapBlock<trmon::MonitorInstance> block(sizeof(trmon::MonitorInstance));
    if (!block) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return nullptr;
    }
    trmon::MonitorInstance* instance = block.get();
    instance->signature = trmon::kInstanceSignature;
    {
      support::ScopedLock lock(trmon::instanceLock());
      instance->next = trmon::g_instances;
      trmon::g_instances = block.release();  // the instance list owns it; Shutdown frees it
    }
    // One table serves every instance; the spooler reads it, never writes.
    static MONITOR2 table = trmon::makeTable();
    *phMonitor = instance;
    return &table;
  });
}
