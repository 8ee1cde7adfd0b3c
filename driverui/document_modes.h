// The driver's device mode as the printer interface DLL hands it to the
// spooler and applications: the size query, the queue's defaults, an
// application's device mode merged in, conversion and the pre-print check.
#pragma once

#include <windows.h>
#include <winddiui.h>

#include "label_file.h"
#include "settings.h"
#include "tables.h"

namespace driver {

// Bytes of this driver's device mode: the public part and the private part
// with its signature; exactly what the graphics driver reads.
inline constexpr DWORD kDevModeBytes = kStoredDevModeBytes;

// The settings a document on the queue starts from: the queue's stored
// defaults (or the built-in ones), then `in` (when not null; at most
// `available` bytes of it are read) taken the way the graphics driver takes
// an application's device mode, without forcing its copy count; finally
// every private value is range-checked against the model's tables.
void DocumentSettings(HANDLE printer, LPCWSTR printerName, const DEVMODEW* in, DWORD available,
                      DriverSettings* out);

// The bytes of `dm` that may be read: dmSize + dmDriverExtra as it claims,
// 0 when not even its dmFields member can be read.
DWORD DevModeClaimedBytes(const DEVMODEW* dm);

// The bytes the caller's output device mode may take: cbOut, or pdmIn's
// claimed size when pdmOut is pdmIn under DM_IN_BUFFER (some spoolers pass
// the output's dmSize as cbOut).
DWORD OutputRoom(const DOCUMENTPROPERTYHEADER& header);

// DrvDocumentPropertySheets called without a property sheet:
//  - fMode 0 or no pdmOut: cbOut = kDevModeBytes, returns kDevModeBytes;
//  - DM_OUT_BUFFER: writes the queue's settings (merged with pdmIn under
//    DM_IN_BUFFER) to pdmOut and returns CPSUI_OK. The output buffer holds
//    cbOut bytes, or pdmIn's claimed size when pdmOut is pdmIn; less than
//    kDevModeBytes fails with ERROR_INSUFFICIENT_BUFFER and writes nothing;
//  - DM_IN_BUFFER alone validates pdmIn and returns CPSUI_OK.
// Failures return ERR_CPSUI_GETLASTERROR with the last error set.
LONG DocumentPropertiesDirect(DOCUMENTPROPERTYHEADER* header);

// DrvConvertDevMode. CDM_DRIVER_DEFAULT writes the driver's built-in
// defaults (not the queue's stored ones). CDM_CONVERT writes `in` (any
// driver's, any layout) merged over the queue's settings in the layout
// `out` names on entry (its dmSize, dmDriverExtra and version numbers);
// CDM_CONVERT351 writes it in this driver's own layout. *cbNeeded holds the
// output buffer's size and receives the bytes written or needed; a short
// buffer fails with ERROR_INSUFFICIENT_BUFFER.
bool ConvertDevMode(LPCWSTR printerName, const DEVMODEW* in, DEVMODEW* out, LONG* cbNeeded, DWORD mode);

// DevQueryPrintEx: true when a job with info->pDevMode can print on the
// queue. A device mode of this driver that names a label the queue does
// not know fails, with the reason in pszErrorStr (cchNeeded set).
bool QueryPrint(DEVQUERYPRINT_INFO* info);

// Stores settings as the queue's defaults: the device mode as the queue's
// global default (SetPrinterW level 8) and the printer data value "Private
// DevMode". `printer` needs PRINTER_ACCESS_ADMINISTER. False (last error
// set) when either store fails.
bool StoreQueueSettings(HANDLE printer, const DriverSettings& settings);

// Initialises a queue (DrvPrinterEvent PRINTER_EVENT_INITIALIZE,
// DrvUpgradePrinter): opens it with PRINTER_ACCESS_ADMINISTER, seeds the
// label file and stores the queue's current valid settings, or the
// built-in defaults, range-checked. False with the last error when the
// queue cannot be opened or a store fails; a queue left without both
// stores runs on the built-in defaults.
bool InitializeQueue(LPCWSTR printerName);

}  // namespace driver
