// The simulated spooler's list of installed queues: EnumPrintersA.
#include <winspool.h>

#include "internal.h"
#include "spooler_internal.h"

using namespace sim;

extern "C" {

BOOL WINAPI EnumPrintersA(DWORD Flags, LPSTR, DWORD Level, LPBYTE pPrinterEnum, DWORD cbBuf, LPDWORD pcbNeeded,
                          LPDWORD pcReturned) {
  std::lock_guard<std::recursive_mutex> g(spooler().lock);
  if (!pcbNeeded || !pcReturned) return failWith(ERROR_INVALID_PARAMETER);
  *pcbNeeded = 0;
  *pcReturned = 0;
  if (Level != 2) return failWith(ERROR_INVALID_LEVEL);
  if (faulted(api::EnumPrintersA)) return FALSE;
  std::vector<const QueueState*> listed;
  if (Flags & (PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS))
    for (const auto& [key, q] : spooler().queues) listed.push_back(&q);
  DWORD fixed = DWORD(listed.size() * sizeof(PRINTER_INFO_2A));
  InfoPacker p(pPrinterEnum, cbBuf, fixed);
  std::vector<PRINTER_INFO_2A> infos(listed.size());
  for (size_t i = 0; i < listed.size(); ++i) {
    const QueueSetup& q = listed[i]->setup;
    PRINTER_INFO_2A& info = infos[i];
    info.pPrinterName = p.str(toAnsi(q.name));
    info.pPortName = q.port.empty() ? nullptr : p.str(toAnsi(q.port));
    info.pDriverName = p.str(toAnsi(q.driver));
    info.pPrintProcessor = p.str(toAnsi(q.printProcessor));
    info.pDatatype = p.str(toAnsi(q.datatype));
    info.Attributes = q.attributes;
  }
  if (!p.finish(infos.data(), fixed, pcbNeeded)) return FALSE;
  *pcReturned = DWORD(infos.size());
  return TRUE;
}

}  // extern "C"
