// The driver's writer of the output stage: the spooler.
#pragma once

#include <windows.h>

namespace driver {

// WritePrinter on the printer handle `context` (a ByteWriter).
bool writeToPrinter(void* context, const BYTE* data, DWORD size, DWORD* written);

}  // namespace driver
