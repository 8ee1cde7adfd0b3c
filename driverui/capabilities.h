// DrvDeviceCapabilities: what the queue's printer offers, as the spooler
// and applications ask for it (DeviceCapabilitiesW).
#pragma once

#include <windows.h>

namespace driver {

// Fixed widths of the name entries the API defines.
inline constexpr int kPaperNameChars = 64;
inline constexpr int kBinNameChars = 24;
inline constexpr int kMediaTypeNameChars = 64;

// Answers capability `cap` for the queue (`printer` may be null; the name
// opens it) with the settings of `dm` (may be null) over the queue's
// defaults. List capabilities return the number of entries and fill
// `output` when it is not null (the caller sizes it from a first call
// without a buffer); value capabilities return the value. The label lists
// (DC_PAPERS, DC_PAPERNAMES, DC_PAPERSIZE) are filled from the list the
// last sizing call counted, never with more entries than that call
// announced for the same capability. Unknown
// capabilities return GDI_ERROR.
DWORD DeviceCapability(HANDLE printer, LPCWSTR deviceName, WORD cap, void* output, const DEVMODEW* dm);

}  // namespace driver
