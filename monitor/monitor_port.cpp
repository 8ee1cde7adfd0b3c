// Port records, the port list and the pass-through port functions.
#include "monitor_port.h"

#include "heap_block.h"
#include "lock.h"

namespace trmon {
namespace {

MonitorPort* g_ports = nullptr;  // in the order the ports were opened
LPSTR g_registryRoot = nullptr;

// Guards the port list. Made once and never destroyed: a port may still
// be closed while the library unloads.
support::CriticalSection& monitorLock() {
  static auto* lock = new support::CriticalSection;
  return *lock;
}

class ListLock : public support::ScopedLock {
 public:
  ListLock() : support::ScopedLock(monitorLock()) {}
};

// Length of s when a terminator comes within `max` characters, else max + 1.
size_t boundedLength(LPCSTR s, size_t max) {
  size_t n = 0;
  while (n <= max && s[n]) ++n;
  return n;
}

// Call with the list lock held.
MonitorPort* findByName(LPCSTR name) {
  for (MonitorPort* p = g_ports; p; p = p->next)
    if (lstrcmpiA(p->portName, name) == 0) return p;
  return nullptr;
}

void unlink(MonitorPort* port) {
  ListLock lock;
  for (MonitorPort** link = &g_ports; *link; link = &(*link)->next) {
    if (*link == port) {
      *link = port->next;
      return;
    }
  }
}

void freeRecord(MonitorPort* port) {
  LastErrorKeeper keep;
  port->signature = 0;
  support::heapFree(port);
}

// Closes the job's printer handle, if the record holds one, keeping the
// last error as it was.
void releasePrinter(MonitorPort& port) {
  if (!port.printer) return;
  LastErrorKeeper keep;
  ClosePrinter(port.printer);
  port.printer = nullptr;
}

// The port monitor functions every port needs; the others are optional.
bool hasRequiredEntries(const PortFunctionTable& t, const WidePortMonitor* wide) {
  bool opens = wide ? wide->pfnOpenPort && wide->pfnStartDocPort : t.pfnOpenPort && t.pfnStartDocPort;
  return opens && t.pfnWritePort && t.pfnReadPort && t.pfnEndDocPort && t.pfnClosePort;
}

// A wide copy of `text` (at most outChars - 1 characters and a terminator);
// false when it does not convert.
bool toWide(LPCSTR text, LPWSTR out, int outChars) {
  out[0] = 0;
  if (!text[0]) return true;
  int n = MultiByteToWideChar(CP_ACP, 0, text, -1, out, outChars);
  out[outChars - 1] = 0;
  return n > 0;
}

// Clears the document block and fills it from the caller's values (the
// names already in the monitor's ANSI form), opening a spooler handle for
// a job.
void beginDocument(MonitorPort& port, LPCSTR printerName, LPCSTR documentName, DWORD jobId) {
  releasePrinter(port);
  ZeroMemory(port.printerName, sizeof port.printerName);
  ZeroMemory(port.documentName, sizeof port.documentName);
  port.jobId = 0;
  if (printerName) lstrcpynA(port.printerName, printerName, int(kPrinterNameChars));
  if (documentName) lstrcpynA(port.documentName, documentName, int(kDocumentNameChars));
  port.jobId = jobId;
  if (jobId != 0) {
    HANDLE printer = nullptr;
    if (OpenPrinterA(port.printerName, &printer, nullptr)) port.printer = printer;
  }
}

void closeRecord(MonitorPort& port) {
  {
    LastErrorKeeper keep;  // the port monitor's ClosePort result is ignored
    port.portMonitor.pfnClosePort(port.portMonitorHandle);
  }
  releasePrinter(port);
  unlink(&port);
  freeRecord(&port);
}

}  // namespace

void createMonitorLock() { monitorLock(); }

bool keepRegistryRoot(LPCSTR root) {
  size_t n = boundedLength(root, kMaxRegistryRootChars);
  if (n > kMaxRegistryRootChars) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  ListLock lock;
  support::HeapBlock<CHAR> copy(SIZE_T(n) + 1);
  if (!copy) return false;
  CopyMemory(copy.get(), root, n);
  support::heapFree(g_registryRoot);
  g_registryRoot = copy.release();
  return true;
}

MonitorPort* validPort(HANDLE handle) {
  if (!handle) return nullptr;
  ListLock lock;
  for (MonitorPort* p = g_ports; p; p = p->next)
    if (p == handle) return p->signature == kPortSignature ? p : nullptr;
  return nullptr;
}

size_t listedPorts() {
  ListLock lock;
  size_t n = 0;
  for (MonitorPort* p = g_ports; p; p = p->next) ++n;
  return n;
}

bool toAnsi(LPCWSTR text, size_t maxChars, LPSTR out, int outSize) {
  out[0] = 0;
  if (!text) return true;
  size_t n = 0;
  while (n <= maxChars && text[n]) ++n;
  bool whole = n <= maxChars;
  if (!whole) n = maxChars;
  if (n == 0) return whole;
  int written = WideCharToMultiByte(CP_ACP, 0, text, int(n), out, outSize - 1, nullptr, nullptr);
  if (written <= 0) return false;
  out[written] = 0;
  return whole;
}

bool openPortEx(LPSTR portName, LPSTR printerName, PHANDLE outHandle, const PortFunctionTable* portMonitor,
                const WidePortMonitor* wide, LPWSTR widePortName, const void* owner) {
  if (!portName || !outHandle) return fail(ERROR_INVALID_PARAMETER);
  *outHandle = nullptr;
  size_t nameLength = boundedLength(portName, kMaxPortNameChars);
  if (nameLength > kMaxPortNameChars) return fail(ERROR_INVALID_PARAMETER);
  {
    ListLock lock;
    if (findByName(portName)) return fail(ERROR_ALREADY_EXISTS);  // a port is open at most once
  }
  SetLastError(ERROR_UNKNOWN_PORT);  // the search found nothing; a successful open leaves this
  if (!portMonitor || !hasRequiredEntries(*portMonitor, wide)) return fail(ERROR_INVALID_PARAMETER);
  if (nameLength == 0) return fail(ERROR_INVALID_PARAMETER);

  DWORD size = DWORD(sizeof(MonitorPort) + nameLength + 1);
  support::HeapBlock<MonitorPort> record(size);
  if (!record) return false;
  MonitorPort* port = record.get();
  port->signature = kPortSignature;
  port->allocationSize = size;
  port->portMonitor = *portMonitor;
  if (wide) port->widePortMonitor = *wide;
  port->owner = owner;
  port->portName = reinterpret_cast<LPSTR>(port + 1);
  CopyMemory(port->portName, portName, nameLength);
  port->portName[nameLength] = 0;
  {
    // Search again together with the append, so two threads opening the
    // same name cannot both get a record.
    ListLock lock;
    if (findByName(port->portName)) {
      record.reset();  // before the last error is set
      return fail(ERROR_ALREADY_EXISTS);
    }
    MonitorPort** link = &g_ports;
    while (*link) link = &(*link)->next;
    *link = record.release();  // the list owns it from here; closeRecord frees it
  }
  BOOL opened = wide ? wide->pfnOpenPort(wide->instance, widePortName, &port->portMonitorHandle)
                     : port->portMonitor.pfnOpenPort(port->portName, &port->portMonitorHandle);
  if (!opened) {
    unlink(port);
    freeRecord(port);
    return false;
  }
  if (printerName) lstrcpynA(port->printerName, printerName, int(kPrinterNameChars));
  *outHandle = port;
  return true;
}

bool startDocPort(MonitorPort& port, LPSTR printerName, DWORD jobId, DWORD level, LPBYTE docInfo) {
  if (isWidePort(port)) return fail(ERROR_INVALID_PARAMETER);
  // Checked before the document block is touched, so a second StartDocPort
  // cannot disturb the running job's name, id or printer handle.
  if (port.flags & kDocumentOpen) return fail(ERROR_INVALID_PARAMETER);
  LPSTR documentName = nullptr;
  // DOC_INFO_1A and DOC_INFO_2A both begin with the document name.
  if (docInfo && (level == 1 || level == 2)) documentName = reinterpret_cast<DOC_INFO_1A*>(docInfo)->pDocName;
  beginDocument(port, printerName, documentName, jobId);
  BOOL ok = port.portMonitor.pfnStartDocPort(port.portMonitorHandle, printerName, jobId, level, docInfo);
  if (ok) port.flags |= kDocumentOpen;
  return ok;
}

bool startDocPortW(MonitorPort& port, LPWSTR printerName, DWORD jobId, DWORD level, LPBYTE docInfo) {
  if (!isWidePort(port)) return fail(ERROR_INVALID_PARAMETER);
  if (port.flags & kDocumentOpen) return fail(ERROR_INVALID_PARAMETER);
  // Names longer than the record keeps are cut there, as on the ANSI side.
  CHAR printer[kPrinterNameChars * 2] = {};
  CHAR document[kDocumentNameChars * 2] = {};
  LPWSTR wideDocument = nullptr;
  // DOC_INFO_1W and DOC_INFO_2W both begin with the document name.
  if (docInfo && (level == 1 || level == 2)) wideDocument = reinterpret_cast<DOC_INFO_1W*>(docInfo)->pDocName;
  toAnsi(printerName, kPrinterNameChars - 1, printer, int(sizeof printer));
  toAnsi(wideDocument, kDocumentNameChars - 1, document, int(sizeof document));
  beginDocument(port, printerName ? printer : nullptr, wideDocument ? document : nullptr, jobId);
  BOOL ok = port.widePortMonitor.pfnStartDocPort(port.portMonitorHandle, printerName, jobId, level, docInfo);
  if (ok) port.flags |= kDocumentOpen;
  return ok;
}

bool portMonitorStartDoc(MonitorPort& port, LPSTR documentName) {
  if (!isWidePort(port)) {
    CHAR datatype[] = "RAW";
    DOC_INFO_1A doc{documentName, nullptr, datatype};
    return port.portMonitor.pfnStartDocPort(port.portMonitorHandle, port.printerName, 0, 1,
                                            reinterpret_cast<LPBYTE>(&doc));
  }
  WCHAR printer[kPrinterNameChars];
  WCHAR document[kDocumentNameChars];
  WCHAR datatype[] = {'R', 'A', 'W', 0};
  if (!toWide(port.printerName, printer, int(kPrinterNameChars)) ||
      !toWide(documentName, document, int(kDocumentNameChars)))
    return fail(ERROR_INVALID_PARAMETER);
  DOC_INFO_1W doc{document, nullptr, datatype};
  return port.widePortMonitor.pfnStartDocPort(port.portMonitorHandle, printer, 0, 1, reinterpret_cast<LPBYTE>(&doc));
}

bool writePort(MonitorPort& port, LPBYTE buffer, DWORD count, LPDWORD done) {
  if (!buffer || count == 0 || !done) return fail(ERROR_INVALID_PARAMETER);
  if (!(port.flags & kDocumentOpen)) return fail(ERROR_INVALID_PARAMETER);
  return port.portMonitor.pfnWritePort(port.portMonitorHandle, buffer, count, done);
}

bool readPort(MonitorPort& port, LPBYTE buffer, DWORD count, LPDWORD done) {
  if (!buffer || count == 0 || !done) return fail(ERROR_INVALID_PARAMETER);
  if (!(port.flags & kDocumentOpen)) return fail(ERROR_INVALID_PARAMETER);
  return port.portMonitor.pfnReadPort(port.portMonitorHandle, buffer, count, done);
}

bool endDocPort(MonitorPort& port) {
  bool result;
  if (!(port.flags & kDocumentOpen)) {
    result = fail(ERROR_INVALID_PARAMETER);
  } else {
    port.portMonitor.pfnEndDocPort(port.portMonitorHandle);
    port.flags &= ~kDocumentOpen;
    result = true;
  }
  releasePrinter(port);
  return result;
}

bool closePort(MonitorPort& port) {
  closeRecord(port);
  return true;
}

void closePortsOf(const void* owner) {
  for (;;) {
    MonitorPort* port = nullptr;
    {
      ListLock lock;
      for (MonitorPort* p = g_ports; p && !port; p = p->next)
        if (p->owner == owner) port = p;
    }
    if (!port) return;
    closeRecord(*port);  // not under the lock: it calls the port monitor
  }
}

}  // namespace trmon
