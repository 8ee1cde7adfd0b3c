// Queue properties the driver reads from the spooler.
#pragma once

#include <windows.h>

namespace driver {

enum class PrinterProperty { PrinterName, DefaultDevMode, PrintProcessor, Attributes, JobDocument };
// Copies the property into buffer (size bytes; strings are cut to the buffer
// and always terminated). jobId is used by JobDocument only. 1 on success;
// 0 with the buffer zeroed when any spooler call or allocation fails.
int QueryPrinterProperty(HANDLE printer, PrinterProperty selector, void* buffer, DWORD size, DWORD jobId = 0);

}  // namespace driver
