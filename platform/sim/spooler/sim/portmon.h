// Scripting interface of the simulated port monitor: the port monitor
// table a language monitor receives in OpenPortEx. Tests record its calls,
// fail a call, queue canned reply bytes, or connect a port to a device
// (the printer emulator) that takes the written bytes and supplies the
// bytes ReadPort returns.
#pragma once

#include "sim/world.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <windows.h>
#include <winspool.h>

namespace sim {

// One call the port monitor received, in order.
struct PortCall {
  std::string api;         // "OpenPort", "StartDocPort", "WritePort", ...
  std::string port;        // the port's name
  ULONGLONG atMs = 0;      // virtual clock at the call
  std::vector<BYTE> data;  // WritePort: the bytes offered
  DWORD count = 0;         // WritePort/ReadPort: byte count asked for
  std::string printer;     // StartDocPort: printer name
  DWORD jobId = 0;         // StartDocPort
  DWORD level = 0;         // StartDocPort
  std::string document;    // StartDocPort: level 1/2 document name ("<null>" when none)
  std::string outputFile;  // StartDocPort: "<null>" when none
  std::string datatype;    // StartDocPort: "<null>" when none
  COMMTIMEOUTS timeouts{};  // SetPortTimeOuts
  DWORD controlId = 0;     // GetPrinterDataFromPort
  std::string valueName;   // GetPrinterDataFromPort ("<null>" when none)
  BOOL result = FALSE;
};

std::vector<PortCall> portCalls();
// Names of the calls only, in order ("StartDocPort", "WritePort", ...).
std::vector<std::string> portCallNames();
void clearPortCalls();

// Bytes the next ReadPort calls on `port` return before any connected
// device is asked (each ReadPort takes at most its count from them).
void queuePortReply(const std::string& port, const std::string& bytes);

// Connects a port (by name, exact) to a device. `write` receives every
// byte WritePort accepts; `read` fills at most `capacity` bytes and returns
// how many. Replaces any earlier connection; null functions disconnect.
using PortWrite = std::function<void(const uint8_t* data, size_t size)>;
using PortRead = std::function<size_t(uint8_t* out, size_t capacity)>;
void connectPort(const std::string& port, PortWrite write, PortRead read);

// Connects a port to anything with hostWrite/hostRead, such as the
// printer emulator's endpoint. The endpoint must outlive the connection
// (sim::reset drops it).
template <class Endpoint>
void connectPortTo(const std::string& port, Endpoint& endpoint) {
  connectPort(
      port, [&endpoint](const uint8_t* d, size_t n) { endpoint.hostWrite(d, n); },
      [&endpoint](uint8_t* out, size_t cap) { return endpoint.hostRead(out, cap); });
}

// Canned reply of the port monitor's own GetPrinterDataFromPort: the bytes
// it copies (cut to the output size) and its result. Default: TRUE, none.
void setPortMonitorData(const std::string& bytes, BOOL result);

// Ports the port monitor has open now.
size_t openPorts();

// Whether DisableThreadLibraryCalls was called for the module since reset.
bool threadLibraryCallsDisabled(HMODULE module);

// The port monitor's functions, ANSI strings, as its table holds them.
namespace portmon {
BOOL WINAPI OpenPort(LPSTR pName, PHANDLE pHandle);
BOOL WINAPI StartDocPort(HANDLE hPort, LPSTR pPrinterName, DWORD JobId, DWORD Level, LPBYTE pDocInfo);
BOOL WINAPI WritePort(HANDLE hPort, LPBYTE pBuffer, DWORD cbBuf, LPDWORD pcbWritten);
BOOL WINAPI ReadPort(HANDLE hPort, LPBYTE pBuffer, DWORD cbBuffer, LPDWORD pcbRead);
BOOL WINAPI EndDocPort(HANDLE hPort);
BOOL WINAPI ClosePort(HANDLE hPort);
BOOL WINAPI GetPrinterDataFromPort(HANDLE hPort, DWORD ControlID, LPSTR pValueName, LPSTR lpInBuffer,
                                   DWORD cbInBuffer, LPSTR lpOutBuffer, DWORD cbOutBuffer, LPDWORD lpcbReturned);
BOOL WINAPI SetPortTimeOuts(HANDLE hPort, LPCOMMTIMEOUTS lpCTO, DWORD reserved);
}  // namespace portmon

// Which optional entries the table offers.
struct PortMonitorOptions {
  bool setPortTimeOuts = true;
  bool getPrinterDataFromPort = true;
};

// Fills a 13-slot port function table (any struct with the pfn... member
// names of that table) with the simulated port monitor. Slots the port
// monitor does not provide are null.
template <class Table>
void fillPortMonitorTable(Table& t, PortMonitorOptions options = {}) {
  t = Table{};
  t.pfnOpenPort = &portmon::OpenPort;
  t.pfnStartDocPort = &portmon::StartDocPort;
  t.pfnWritePort = &portmon::WritePort;
  t.pfnReadPort = &portmon::ReadPort;
  t.pfnEndDocPort = &portmon::EndDocPort;
  t.pfnClosePort = &portmon::ClosePort;
  if (options.getPrinterDataFromPort) t.pfnGetPrinterDataFromPort = &portmon::GetPrinterDataFromPort;
  if (options.setPortTimeOuts) t.pfnSetPortTimeOuts = &portmon::SetPortTimeOuts;
}


// Port monitor table calls: the call fails with the scripted error, except
// PortMonitorWritePortShort: the write succeeds but takes one byte less
// than asked (nothing for 1 byte).
namespace api {
inline constexpr Api PortMonitorOpenPort{"PortMonitor.OpenPort"};
inline constexpr Api PortMonitorStartDocPort{"PortMonitor.StartDocPort"};
inline constexpr Api PortMonitorWritePort{"PortMonitor.WritePort"};
inline constexpr Api PortMonitorWritePortShort{"PortMonitor.WritePort.short"};
inline constexpr Api PortMonitorReadPort{"PortMonitor.ReadPort"};
inline constexpr Api PortMonitorEndDocPort{"PortMonitor.EndDocPort"};
inline constexpr Api PortMonitorClosePort{"PortMonitor.ClosePort"};
inline constexpr Api PortMonitorSetPortTimeOuts{"PortMonitor.SetPortTimeOuts"};
inline constexpr Api PortMonitorGetPrinterDataFromPort{"PortMonitor.GetPrinterDataFromPort"};
}  // namespace api

}  // namespace sim
