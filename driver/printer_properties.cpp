// Queue properties read from the spooler: the two-call size-then-fetch of
// GetPrinterW / GetJobW, with the result cut to the caller's buffer; and
// the driver's printer data value.
#include "printer_properties.h"

#include <windows.h>
#include <winspool.h>

#include <cstddef>

#include <wtext.h>

#include "heap_block.h"

namespace driver {

int QueryPrinterProperty(HANDLE printer, PrinterProperty selector, void* buffer, DWORD size, DWORD jobId) {
  if (!buffer) return 0;
  ZeroMemory(buffer, size);
  DWORD level = selector == PrinterProperty::Attributes ? 5 : 2;
  DWORD needed = 0;
  if (selector == PrinterProperty::JobDocument) {
    if (GetJobW(printer, jobId, 1, nullptr, 0, &needed) || needed == 0) return 0;
  } else {
    if (GetPrinterW(printer, level, nullptr, 0, &needed) || GetLastError() != ERROR_INSUFFICIENT_BUFFER ||
        needed == 0)
      return 0;
  }
  support::HeapBlock<BYTE> info(needed);
  if (!info) return 0;
  BOOL ok = selector == PrinterProperty::JobDocument ? GetJobW(printer, jobId, 1, info.get(), needed, &needed)
                                                      : GetPrinterW(printer, level, info.get(), needed, &needed);
  if (!ok) return 0;
  const BYTE* begin = info.get();
  const BYTE* end = begin + info.size();
  auto copyString = [&](LPCWSTR s) -> int {
    if (!s || size < sizeof(WCHAR)) return 0;
    lstrcpynW(static_cast<WCHAR*>(buffer), s, int(size / sizeof(WCHAR)));
    return 1;
  };
  switch (selector) {
    case PrinterProperty::PrinterName:
      return copyString(reinterpret_cast<PRINTER_INFO_2W*>(info.get())->pPrinterName);
    case PrinterProperty::PrintProcessor:
      return copyString(reinterpret_cast<PRINTER_INFO_2W*>(info.get())->pPrintProcessor);
    case PrinterProperty::JobDocument:
      return copyString(reinterpret_cast<JOB_INFO_1W*>(info.get())->pDocument);
    case PrinterProperty::Attributes:
      if (size < sizeof(DWORD)) return 0;
      *static_cast<DWORD*>(buffer) = reinterpret_cast<PRINTER_INFO_5W*>(info.get())->Attributes;
      return 1;
    case PrinterProperty::DefaultDevMode: {
      const BYTE* dm = reinterpret_cast<const BYTE*>(reinterpret_cast<PRINTER_INFO_2W*>(info.get())->pDevMode);
      // The device mode must lie inside what the spooler returned; its
      // claimed size is cut to that and to the caller's buffer.
      if (!dm || dm < begin || dm + offsetof(DEVMODEW, dmFields) > end) return 0;
      const DEVMODEW* d = reinterpret_cast<const DEVMODEW*>(dm);
      DWORD bytes = DWORD(d->dmSize) + DWORD(d->dmDriverExtra);
      if (bytes > DWORD(end - dm)) bytes = DWORD(end - dm);
      if (bytes > size) bytes = size;
      CopyMemory(buffer, dm, bytes);
      return 1;
    }
  }
  return 0;
}

namespace {
// The printer data calls take the value name as a writable string.
LPWSTR printerDataName() {
  static WCHAR name[] = WTEXT("Private DevMode");
  return name;
}
}  // namespace

bool readPrinterDataBlock(HANDLE printer, PrinterDataBlock* block) {
  DWORD type = 0, needed = 0;
  const DWORD rc =
      GetPrinterDataW(printer, printerDataName(), &type, reinterpret_cast<LPBYTE>(block), sizeof *block, &needed);
  return rc == ERROR_SUCCESS && needed == sizeof *block;
}

DWORD storePrinterDataBlock(HANDLE printer, const PrinterDataBlock& block) {
  PrinterDataBlock copy = block;
  return SetPrinterDataW(printer, printerDataName(), REG_BINARY, reinterpret_cast<LPBYTE>(&copy), sizeof copy);
}

}  // namespace driver
