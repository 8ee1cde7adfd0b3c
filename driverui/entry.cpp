// The printer interface DLL's exports: each checks its arguments, calls one
// function and maps the result, inside the catch-all guard.
#include <windows.h>
#include <winddiui.h>
#include <winspool.h>

#include "capabilities.h"
#include "document_modes.h"
#include "guard.h"
#include "sheets.h"

using namespace driver;

extern "C" {

DWORD WINAPI DrvDeviceCapabilities(HANDLE hPrinter, PWSTR pDeviceName, WORD iDevCap, PVOID pvOutput,
                                   PDEVMODEW pDevMode) {
  return support::guardedCall<DWORD>(GDI_ERROR, [&] {
    if (!hPrinter && !pDeviceName) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return DWORD(GDI_ERROR);
    }
    return DeviceCapability(hPrinter, pDeviceName, iDevCap, pvOutput, pDevMode);
  });
}

LONG WINAPI DrvDocumentPropertySheets(PPROPSHEETUI_INFO pPSUIInfo, LPARAM lParam) {
  return support::guardedCall<LONG>(ERR_CPSUI_GETLASTERROR, [&] {
    if (!pPSUIInfo) return DocumentPropertiesDirect(reinterpret_cast<DOCUMENTPROPERTYHEADER*>(lParam));
    return DocumentPropertySheet(pPSUIInfo, lParam);
  });
}

LONG WINAPI DrvDevicePropertySheets(PPROPSHEETUI_INFO pPSUIInfo, LPARAM lParam) {
  return support::guardedCall<LONG>(ERR_CPSUI_GETLASTERROR, [&] {
    // The device settings exist only as a page: without a sheet there is
    // nothing to do.
    if (!pPSUIInfo) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return LONG(ERR_CPSUI_GETLASTERROR);
    }
    return DevicePropertySheet(pPSUIInfo, lParam);
  });
}

BOOL WINAPI DrvConvertDevMode(LPWSTR pPrinterName, PDEVMODEW pdmIn, PDEVMODEW pdmOut, PLONG pcbNeeded,
                              DWORD fMode) {
  return support::guardedCall<BOOL>(FALSE,
                                    [&] { return ConvertDevMode(pPrinterName, pdmIn, pdmOut, pcbNeeded, fMode); });
}

BOOL WINAPI DevQueryPrintEx(PDEVQUERYPRINT_INFO pDQPInfo) {
  return support::guardedCall<BOOL>(FALSE, [&] { return QueryPrint(pDQPInfo); });
}

BOOL WINAPI DrvPrinterEvent(LPWSTR pPrinterName, INT DriverEvent, DWORD, LPARAM) {
  return support::guardedCall<BOOL>(FALSE, [&]() -> BOOL {
    // Only a new queue needs anything: its defaults and the label file.
    // PRINTER_EVENT_INITIALIZE: "the spooler has just finished processing a
    // call to its AddPrinter function ... or its SetPrinter function"; the
    // stored settings are kept when valid, so a repeat stores the same.
    if (DriverEvent != PRINTER_EVENT_INITIALIZE) return TRUE;
    return InitializeQueue(pPrinterName);
  });
}

BOOL WINAPI DrvUpgradePrinter(DWORD Level, LPBYTE pDriverUpgradeInfo) {
  return support::guardedCall<BOOL>(FALSE, [&]() -> BOOL {
    if (Level != 1 || !pDriverUpgradeInfo) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
    // Settings an older version stored are kept when still valid.
    return InitializeQueue(reinterpret_cast<DRIVER_UPGRADE_INFO_1W*>(pDriverUpgradeInfo)->pPrinterName);
  });
}

}  // extern "C"
