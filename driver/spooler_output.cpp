// The output stage's bytes go to the spooler through the device's printer
// handle.
#include "spooler_output.h"

#include <winspool.h>

namespace driver {

bool writeToPrinter(void* context, const BYTE* data, DWORD size, DWORD* written) {
  return WritePrinter(static_cast<HANDLE>(context), const_cast<BYTE*>(data), size, written) != FALSE;
}

}  // namespace driver
