// Named printer queries answered through GetPrinterDataFromPort.
#pragma once

#include <string_view>

#include "monitor_port.h"

namespace trmon {

inline constexpr char kDriverId[] = "VarodynDriver";
// Name of the short document opened on an idle port for a query.
inline constexpr char kQueryDocumentName[] = "GetLbxInfo";
// Longest value name compared, terminator not counted; longer names are
// unknown without being read further.
inline constexpr size_t kMaxQueryNameChars = 64;

struct Query;

// What a query handler works on: the port and the caller's output.
struct QueryCall {
  MonitorPort& port;
  const Query& query;
  LPSTR out;
  DWORD outSize;
  LPDWORD returned;  // never null here
};
using QueryHandler = bool (*)(QueryCall& call);

// One row of the query table: the name (compared exactly), its handler,
// the command it sends, the wait before reading and whether it reads a
// reply into the caller's buffer.
struct Query {
  const char* name;
  QueryHandler handler;
  std::string_view command;
  DWORD waitMs;
  bool readsReply;
  bool usesPort;  // false only for the name the monitor answers itself
};

// The table, in the order names are checked.
const Query* queryTable(size_t* count);
// The row for a value name, or null. Never reads past kMaxQueryNameChars + 1
// characters of the name.
const Query* findQuery(LPCSTR valueName);

// The port timeouts set for every query that uses the port.
COMMTIMEOUTS queryTimeouts();

// GetPrinterDataFromPort on a validated port: a control id other than 0
// goes to the port monitor unchanged; otherwise the named query runs, in a
// temporary document when no print job has the port open.
bool getPrinterDataFromPort(MonitorPort& port, DWORD controlId, LPSTR valueName, LPSTR inBuffer, DWORD inSize,
                            LPSTR outBuffer, DWORD outSize, LPDWORD returned);

}  // namespace trmon
