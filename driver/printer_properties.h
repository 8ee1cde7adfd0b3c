// Queue properties the driver reads from the spooler, and the printer data
// value it keeps there.
#pragma once

#include <windows.h>

#include "settings_records.h"

namespace driver {

enum class PrinterProperty { PrinterName, DefaultDevMode, PrintProcessor, Attributes, JobDocument };
// Copies the property into buffer (size bytes; strings are cut to the buffer
// and always terminated). jobId is used by JobDocument only. 1 on success;
// 0 with the buffer zeroed when any spooler call or allocation fails.
int QueryPrinterProperty(HANDLE printer, PrinterProperty selector, void* buffer, DWORD size, DWORD jobId = 0);

// The queue's "Private DevMode" printer data value (REG_BINARY) holds its
// PrinterDataBlock. Reading is true only when the value holds exactly one
// block; storing returns the spooler's error code (ERROR_SUCCESS when stored).
bool readPrinterDataBlock(HANDLE printer, PrinterDataBlock* block);
DWORD storePrinterDataBlock(HANDLE printer, const PrinterDataBlock& block);

}  // namespace driver
