// Scripting interface of the simulated print spooler: queues, their stored
// settings and printer data, and what was written to them.
#pragma once

#include "sim/world.h"

#include <functional>
#include <string>
#include <vector>

#include <winspool.h>

namespace sim {

struct QueueSetup {
  std::u16string name;
  std::u16string port = u"USB001";
  std::u16string driver = u"Varodyn TR7208";
  std::u16string printProcessor = u"WinPrint";
  std::u16string datatype = u"RAW";
  DWORD attributes = PRINTER_ATTRIBUTE_LOCAL;
  // The queue's stored default device mode (PRINTER_INFO_2 pDevMode), as
  // raw bytes: public DEVMODEW plus driver extra. Empty means none.
  std::vector<BYTE> devMode{};
};

// Adds (or replaces) a queue. Names compare case-insensitively.
void addQueue(const QueueSetup& setup);
void removeQueue(const std::u16string& name);
bool hasQueue(const std::u16string& name);
QueueSetup queueSetup(const std::u16string& name);
void setQueueDevMode(const std::u16string& name, std::vector<BYTE> devMode);

// Printer data values (GetPrinterDataW/SetPrinterDataW); value names compare
// case-insensitively, as registry value names do.
void setPrinterData(const std::u16string& queue, const std::u16string& value, DWORD type,
                    std::vector<BYTE> data);
bool hasPrinterData(const std::u16string& queue, const std::u16string& value);
std::vector<BYTE> printerData(const std::u16string& queue, const std::u16string& value, DWORD* type = nullptr);

// Everything WritePrinter accepted for the queue, concatenated, and the
// individual calls' buffers in order.
std::vector<BYTE> written(const std::u16string& queue);
std::vector<std::vector<BYTE>> writeCalls(const std::u16string& queue);
void clearWritten(const std::u16string& queue);

// Replaces where WritePrinter's bytes go for a queue (for instance into a
// language monitor's WritePort). The sink returns the WritePrinter result
// and sets the written count; bytes are recorded only when it succeeds.
using WriteSink = std::function<BOOL(const BYTE* data, DWORD size, DWORD* written)>;
void setWriteSink(const std::u16string& queue, WriteSink sink);


// Number of printer handles currently open.
size_t openPrinterHandles();


// Spooler calls: the call fails with the scripted error, except
// WritePrinterZero: WritePrinter returns TRUE but writes 0 bytes.
namespace api {
inline constexpr Api OpenPrinter{"OpenPrinter"};
inline constexpr Api ClosePrinter{"ClosePrinter"};
inline constexpr Api GetPrinterW{"GetPrinterW"};
inline constexpr Api GetPrinterDataW{"GetPrinterDataW"};
inline constexpr Api SetPrinterDataW{"SetPrinterDataW"};
inline constexpr Api WritePrinter{"WritePrinter"};
inline constexpr Api WritePrinterZero{"WritePrinter.zero"};
inline constexpr Api StartDocPrinter{"StartDocPrinter"};
inline constexpr Api StartPagePrinter{"StartPagePrinter"};
inline constexpr Api EndPagePrinter{"EndPagePrinter"};
inline constexpr Api EndDocPrinter{"EndDocPrinter"};
inline constexpr Api SetJobA{"SetJobA"};
inline constexpr Api EnumJobsA{"EnumJobsA"};
inline constexpr Api EnumPrintersA{"EnumPrintersA"};
inline constexpr Api GetJobW{"GetJobW"};
inline constexpr Api GetJobA{"GetJobA"};
inline constexpr Api GetPrinterDriverW{"GetPrinterDriverW"};
inline constexpr Api GetPrinterDriverA{"GetPrinterDriverA"};
inline constexpr Api SetPrinterW{"SetPrinterW"};
}  // namespace api

}  // namespace sim
