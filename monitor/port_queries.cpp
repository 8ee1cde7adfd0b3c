// Named printer queries: the query table and GetPrinterDataFromPort.
#include "port_queries.h"

#include "printer_commands.h"

namespace trmon {
namespace {

// Writes a command on the port; a write that takes fewer bytes than the
// command holds fails with ERROR_WRITE_FAULT, as the printer would see a
// broken line.
bool sendCommand(MonitorPort& port, std::string_view command) {
  DWORD written = 0;
  auto* bytes = reinterpret_cast<LPBYTE>(const_cast<char*>(command.data()));
  if (!port.portMonitor.pfnWritePort(port.portMonitorHandle, bytes, DWORD(command.size()), &written)) return false;
  if (written != command.size()) return fail(ERROR_WRITE_FAULT);
  return true;
}

bool readReply(QueryCall& call) {
  return call.port.portMonitor.pfnReadPort(call.port.portMonitorHandle, reinterpret_cast<LPBYTE>(call.out),
                                           call.outSize, call.returned);
}

// The monitor's own answer; the text and its terminator must fit.
bool answerDriverId(QueryCall& call) {
  const DWORD size = sizeof kDriverId;
  if (!call.out || call.outSize < size) {
    *call.returned = size;
    return fail(ERROR_INSUFFICIENT_BUFFER);
  }
  CopyMemory(call.out, kDriverId, size);
  *call.returned = size - 1;
  return true;
}

bool sendAndRead(QueryCall& call) {
  if (!sendCommand(call.port, call.query.command)) return false;
  Sleep(call.query.waitMs);
  return readReply(call);
}

bool sendOnly(QueryCall& call) { return sendCommand(call.port, call.query.command); }

bool readOnly(QueryCall& call) { return readReply(call); }

// Names the printer has no command for: they fail without an error code.
bool notAvailable(QueryCall&) { return false; }

// Reaching the handler means a document is open on the port.
bool documentOpened(QueryCall&) { return true; }

const Query kQueries[] = {
    {"GetDriverID", answerDriverId, {}, 0, false, false},
    {"GetVersion", sendAndRead, printercmd::kVersion, 120, true, true},
    {"GetDefInfo", sendAndRead, printercmd::kDefInfo, 480, true, true},
    {"GetDeviceStatus", sendAndRead, printercmd::kMaintenance, 600, true, true},
    {"GetResolution", sendAndRead, printercmd::kResolution, 120, true, true},
    {"GetTime", sendAndRead, printercmd::kTime, 120, true, true},
    {"GetPrinterStatus", sendAndRead, printercmd::kStatus, 120, true, true},
    {"GetSelfDiagReport", sendAndRead, printercmd::kSelfCheck, 16080, true, true},
    {"ReadMsg", readOnly, {}, 0, true, true},
    {"TestMsg", sendOnly, printercmd::kEmptyLine, 0, false, true},
    {"GetDeviceID", notAvailable, {}, 0, false, true},
    {"GetParaInfo", notAvailable, {}, 0, false, true},
    {"GetSerialInfo", notAvailable, {}, 0, false, true},
    {"GetPageCounter", sendAndRead, printercmd::kPageCounter, 120, true, true},
    {"OpenTest", documentOpened, {}, 0, false, true},
};

}  // namespace

const Query* queryTable(size_t* count) {
  *count = sizeof kQueries / sizeof kQueries[0];
  return kQueries;
}

const Query* findQuery(LPCSTR valueName) {
  if (!valueName) return nullptr;
  size_t length = 0;
  while (length <= kMaxQueryNameChars && valueName[length]) ++length;
  if (length > kMaxQueryNameChars) return nullptr;
  std::string_view name(valueName, length);
  for (const Query& q : kQueries)
    if (name == q.name) return &q;
  return nullptr;
}

COMMTIMEOUTS queryTimeouts() {
  COMMTIMEOUTS t{};
  t.ReadIntervalTimeout = 0;
  t.ReadTotalTimeoutMultiplier = 0;
  t.ReadTotalTimeoutConstant = 100;
  t.WriteTotalTimeoutMultiplier = 0;
  t.WriteTotalTimeoutConstant = 100;
  return t;
}

bool getPrinterDataFromPort(MonitorPort& port, DWORD controlId, LPSTR valueName, LPSTR inBuffer, DWORD inSize,
                            LPSTR outBuffer, DWORD outSize, LPDWORD returned) {
  const PortFunctionTable& pm = port.portMonitor;
  if (controlId != 0) {
    if (!pm.pfnGetPrinterDataFromPort) return fail(ERROR_INVALID_PARAMETER);
    return pm.pfnGetPrinterDataFromPort(port.portMonitorHandle, controlId, valueName, inBuffer, inSize, outBuffer,
                                        outSize, returned);
  }
  if (!returned) return fail(ERROR_INVALID_PARAMETER);
  *returned = 0;
  const Query* query = findQuery(valueName);
  if (!query) return fail(ERROR_INVALID_PARAMETER);
  QueryCall call{port, *query, outBuffer, outSize, returned};
  if (!query->usesPort) return query->handler(call);
  // Checked before any port traffic: the port monitor would write through
  // a null buffer.
  if (query->readsReply && (!outBuffer || outSize == 0)) return fail(ERROR_INVALID_PARAMETER);

  bool openedDocument = false;
  if (!(port.flags & kDocumentOpen)) {
    CHAR documentName[sizeof kQueryDocumentName];
    lstrcpynA(documentName, kQueryDocumentName, int(sizeof documentName));
    if (!portMonitorStartDoc(port, documentName)) return false;
    openedDocument = true;
  }
  // Timeouts matter only to a query that writes or reads; the names without
  // port traffic leave the port monitor with just the document calls.
  if (pm.pfnSetPortTimeOuts && (query->readsReply || !query->command.empty())) {
    COMMTIMEOUTS timeouts = queryTimeouts();
    pm.pfnSetPortTimeOuts(port.portMonitorHandle, &timeouts, 0);  // the query goes on either way
  }
  const bool result = query->handler(call);
  if (openedDocument) {
    LastErrorKeeper keep;  // the query's own error stands
    pm.pfnEndDocPort(port.portMonitorHandle);
  }
  return result;
}

}  // namespace trmon
