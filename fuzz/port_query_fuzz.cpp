// The language monitor's GetPrinterDataFromPort with any value name,
// control id, input and output buffer, on an idle port or inside a print
// job, with any reply from the port, any answer of the port monitor's own
// GetPrinterDataFromPort and one port-monitor call failing. The output
// buffer is exactly the size given, so any write past it is caught; the
// count returned must fit it, and the port and its memory must be given
// back when the port closes.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "monitor_port.h"
#include "port_queries.h"
#include "trmon.h"
#include "sim/portmon.h"
#include "sim/spooler.h"
#include "sim/world.h"

namespace {

void fail(const char* what) {
  std::fprintf(stderr, "port query: %s\n", what);
  std::abort();
}

const sim::Api kPortCalls[] = {
    sim::api::PortMonitorOpenPort,        sim::api::PortMonitorStartDocPort, sim::api::PortMonitorWritePort,
    sim::api::PortMonitorReadPort,        sim::api::PortMonitorEndDocPort,   sim::api::PortMonitorClosePort,
    sim::api::PortMonitorSetPortTimeOuts, sim::api::PortMonitorGetPrinterDataFromPort,
    sim::api::PortMonitorWritePortShort};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  sim::reset();
  static int instance;
  DllEntryPoint(reinterpret_cast<HINSTANCE>(&instance), DLL_PROCESS_ATTACH, nullptr);
  CHAR root[] = "System\\CurrentControlSet\\Control\\Print\\Monitors\\TRMON";
  PortFunctionTable mon{}, pm{};
  if (!InitializeMonitorEx(root, &mon)) fail("monitor did not initialise");
  sim::fillPortMonitorTable(pm, {in.ConsumeBool(), in.ConsumeBool()});
  sim::QueueSetup queue;
  queue.name = u"KV830 Queue";
  queue.driver = u"Varodyn KV830";
  sim::addQueue(queue);
  const size_t baseline = sim::liveAllocations();

  // The value name: a row of the table, or any text, or none.
  size_t rows = 0;
  const trmon::Query* table = trmon::queryTable(&rows);
  const size_t pick = in.ConsumeIntegralInRange<size_t>(0, rows + 1);
  std::string name;
  bool nullName = false;
  if (pick < rows)
    name = table[pick].name;
  else if (pick == rows)
    name = in.ConsumeRandomLengthString(96);
  else
    nullName = true;
  const DWORD controlId = in.ConsumeBool() ? 0 : in.ConsumeIntegral<DWORD>();
  const bool inJob = in.ConsumeBool();
  const bool nullOut = in.ConsumeIntegralInRange(0, 7) == 0;
  const DWORD outSize = in.ConsumeIntegralInRange<DWORD>(0, 300);
  const std::string input = in.ConsumeRandomLengthString(64);
  const BOOL portMonitorResult = in.ConsumeBool();
  sim::setPortMonitorData(in.ConsumeRandomLengthString(300), portMonitorResult);
  const size_t faultPick = in.ConsumeIntegralInRange<size_t>(0, std::size(kPortCalls));
  const int faultNth = in.ConsumeIntegralInRange(1, 4);
  sim::queuePortReply("USB001", in.ConsumeRemainingBytesAsString());

  CHAR portName[] = "USB001";
  CHAR printer[] = "KV830 Queue";
  HANDLE port = nullptr;
  if (!mon.pfnOpenPortEx(portName, printer, &port, &pm)) return 0;
  if (inJob) {
    CHAR document[] = "label.prn", datatype[] = "RAW";
    DOC_INFO_1A info{document, nullptr, datatype};
    mon.pfnStartDocPort(port, printer, 7, 1, reinterpret_cast<LPBYTE>(&info));
  }
  if (faultPick < std::size(kPortCalls)) sim::failNth(kPortCalls[faultPick], faultNth, ERROR_GEN_FAILURE);

  std::vector<CHAR> out(outSize);
  std::vector<CHAR> inBuffer(input.begin(), input.end());
  DWORD returned = 0xdeadbeef;
  const BOOL ok = mon.pfnGetPrinterDataFromPort(port, controlId, nullName ? nullptr : name.data(),
                                                inBuffer.empty() ? nullptr : inBuffer.data(), DWORD(inBuffer.size()),
                                                nullOut || out.empty() ? nullptr : out.data(), outSize, &returned);
  if (ok && returned != 0xdeadbeef && returned > outSize) fail("more bytes returned than the buffer holds");

  sim::clearFaults();
  if (inJob) mon.pfnEndDocPort(port);
  mon.pfnClosePort(port);
  if (sim::liveAllocations() != baseline) fail("memory left behind after the port closed");
  if (sim::openPrinterHandles() != 0) fail("printer handle left open");
  return 0;
}
