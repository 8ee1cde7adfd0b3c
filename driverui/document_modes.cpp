// Device modes handed out by the printer interface DLL.
#include "document_modes.h"

#include <cstddef>

#include <wtext.h>

#include "heap_block.h"
#include "printer_properties.h"
#include "queue_printer.h"
#include "setting_limits.h"

namespace driver {

namespace {

LONG failWith(DWORD error) {
  SetLastError(error);
  return ERR_CPSUI_GETLASTERROR;
}

bool failBool(DWORD error) {
  SetLastError(error);
  return false;
}

// The queue's stored or built-in defaults; opens the queue by name when
// no handle is given.
void queueSettings(HANDLE printer, LPCWSTR printerName, DriverSettings* out) {
  QueuePrinter queue(printer, printerName);
  loadQueueSettings(out, queue.get(), printerName);
}

// The layout a caller's device mode names: public size, private size and
// the two version numbers (0: this driver's own).
struct DevModeVersion {
  WORD size;
  WORD driverExtra;
  WORD specVersion;
  WORD driverVersion;
};

// Writes settings in the layout of `target` (size + driverExtra bytes):
// the public fields the target's size holds, then as much of the private
// part as its driver extra holds; whatever the target has beyond this
// driver's record is zero.
void writeDevModeVersion(const DriverSettings& settings, const DevModeVersion& target, DEVMODEW* out) {
  const BYTE* from = reinterpret_cast<const BYTE*>(&settings);
  BYTE* to = reinterpret_cast<BYTE*>(out);
  ZeroMemory(to, DWORD(target.size) + target.driverExtra);
  CopyMemory(to, from, target.size < sizeof(DEVMODEW) ? target.size : sizeof(DEVMODEW));
  CopyMemory(to + target.size, from + sizeof(DEVMODEW),
             target.driverExtra < kDriverExtraBytes ? target.driverExtra : kDriverExtraBytes);
  out->dmSize = target.size;
  out->dmDriverExtra = target.driverExtra;
  if (target.specVersion) out->dmSpecVersion = target.specVersion;
  if (target.driverVersion) out->dmDriverVersion = target.driverVersion;
  // Public fields the target's layout cannot hold are not claimed.
  struct FieldEnd {
    DWORD bit;
    size_t end;
  };
  static const FieldEnd kFieldEnds[] = {
      {DM_ORIENTATION, offsetof(DEVMODEW, dmOrientation) + sizeof(short)},
      {DM_PAPERSIZE, offsetof(DEVMODEW, dmPaperSize) + sizeof(short)},
      {DM_PAPERLENGTH, offsetof(DEVMODEW, dmPaperLength) + sizeof(short)},
      {DM_PAPERWIDTH, offsetof(DEVMODEW, dmPaperWidth) + sizeof(short)},
      {DM_COPIES, offsetof(DEVMODEW, dmCopies) + sizeof(short)},
      {DM_DEFAULTSOURCE, offsetof(DEVMODEW, dmDefaultSource) + sizeof(short)},
      {DM_PRINTQUALITY, offsetof(DEVMODEW, dmPrintQuality) + sizeof(short)},
      {DM_YRESOLUTION, offsetof(DEVMODEW, dmYResolution) + sizeof(short)},
      {DM_COLLATE, offsetof(DEVMODEW, dmCollate) + sizeof(short)},
      {DM_FORMNAME, offsetof(DEVMODEW, dmFormName) + sizeof(out->dmFormName)},
      {DM_NUP, offsetof(DEVMODEW, dmNup) + sizeof(DWORD)},
      {DM_MEDIATYPE, offsetof(DEVMODEW, dmMediaType) + sizeof(DWORD)},
  };
  for (const FieldEnd& f : kFieldEnds)
    if (target.size < f.end) out->dmFields &= ~f.bit;
}

}  // namespace

DWORD DevModeClaimedBytes(const DEVMODEW* dm) {
  if (!dm) return 0;
  DWORD claimed = DWORD(dm->dmSize) + DWORD(dm->dmDriverExtra);
  return dm->dmSize >= offsetof(DEVMODEW, dmFields) + sizeof(DWORD) ? claimed : 0;
}

void DocumentSettings(HANDLE printer, LPCWSTR printerName, const DEVMODEW* in, DWORD available,
                      DriverSettings* out) {
  queueSettings(printer, printerName, out);
  // An application's device mode is merged like the graphics driver merges
  // it, but copies are taken only when the application says so.
  if (in) applyApplicationDevMode(out, in, available, printerName, false);
  BuildLabelList();
  ClampSettings(out);
}

DWORD OutputRoom(const DOCUMENTPROPERTYHEADER& header) {
  // Some spoolers pass the output device mode's own dmSize as cbOut; when
  // the output is the input record, that record's claimed size is the
  // buffer the caller vouches for.
  DWORD room = header.cbOut;
  const DWORD inBytes = (header.fMode & DM_IN_BUFFER) ? DevModeClaimedBytes(header.pdmIn) : 0;
  if (header.pdmOut && header.pdmOut == header.pdmIn && inBytes > room) room = inBytes;
  return room;
}

LONG DocumentPropertiesDirect(DOCUMENTPROPERTYHEADER* header) {
  if (!header || header->cbSize < sizeof(DOCUMENTPROPERTYHEADER)) return failWith(ERROR_INVALID_PARAMETER);
  if (header->fMode == 0 || !header->pdmOut) {
    header->cbOut = kDevModeBytes;
    return LONG(kDevModeBytes);
  }
  const DEVMODEW* in = (header->fMode & DM_IN_BUFFER) ? header->pdmIn : nullptr;
  const DWORD inBytes = DevModeClaimedBytes(in);
  if ((header->fMode & DM_IN_BUFFER) && in && inBytes == 0) return failWith(ERROR_INVALID_PARAMETER);
  support::HeapBlock<DriverSettings> settings(sizeof(DriverSettings));
  if (!settings) return failWith(ERROR_NOT_ENOUGH_MEMORY);
  DocumentSettings(header->hPrinter, header->pszPrinterName, in, inBytes, settings.get());
  if (header->fMode & DM_OUT_BUFFER) {
    if (OutputRoom(*header) < kDevModeBytes) return failWith(ERROR_INSUFFICIENT_BUFFER);
    CopyMemory(header->pdmOut, settings.get(), kDevModeBytes);
  }
  return CPSUI_OK;
}

bool ConvertDevMode(LPCWSTR printerName, const DEVMODEW* in, DEVMODEW* out, LONG* cbNeeded, DWORD mode) {
  if (!cbNeeded) return failBool(ERROR_INVALID_PARAMETER);
  if (mode != CDM_DRIVER_DEFAULT && mode != CDM_CONVERT && mode != CDM_CONVERT351)
    return failBool(ERROR_INVALID_PARAMETER);
  const DWORD inBytes = DevModeClaimedBytes(in);
  if (mode != CDM_DRIVER_DEFAULT && inBytes == 0) return failBool(ERROR_INVALID_PARAMETER);
  // CDM_CONVERT: "the initial contents of the received output DEVMODEW
  // structure should be used to determine the output version". The
  // driver knows no Windows NT 3.51 layout, so CDM_CONVERT351 "converts the
  // input DEVMODEW to the current version", as CDM_DRIVER_DEFAULT copies
  // "the current version of its default DEVMODEW".
  DevModeVersion target{WORD(sizeof(DEVMODEW)), WORD(kDriverExtraBytes), 0, 0};
  // An output that names no layout at all (dmSize 0) gets the current one.
  if (mode == CDM_CONVERT && out && out->dmSize != 0) {
    if (DevModeClaimedBytes(out) == 0) return failBool(ERROR_INVALID_PARAMETER);
    target = {out->dmSize, out->dmDriverExtra, out->dmSpecVersion, out->dmDriverVersion};
  }
  const LONG room = *cbNeeded;
  const DWORD needed = DWORD(target.size) + target.driverExtra;
  *cbNeeded = LONG(needed);
  if (!out || room < LONG(needed)) return failBool(ERROR_INSUFFICIENT_BUFFER);
  support::HeapBlock<DriverSettings> settings(sizeof(DriverSettings));
  if (!settings) return failBool(ERROR_NOT_ENOUGH_MEMORY);
  if (mode == CDM_DRIVER_DEFAULT) {
    // The driver's own defaults, whatever the queue has stored.
    DefaultSettings(settings.get(), printerName);
    settings->SettingsSignature = kSettingsSignature;
  } else {
    DocumentSettings(nullptr, printerName, in, inBytes, settings.get());
  }
  writeDevModeVersion(*settings, target, out);
  return true;
}

bool QueryPrint(DEVQUERYPRINT_INFO* info) {
  if (!info || info->cbSize < sizeof(DEVQUERYPRINT_INFO)) return failBool(ERROR_INVALID_PARAMETER);
  info->cchNeeded = 0;
  const DEVMODEW* dm = info->pDevMode;
  if (!dm) return true;
  const DWORD bytes = DevModeClaimedBytes(dm);
  if (bytes < kDevModeBytes) return true;  // another driver's or a public-only record: defaults apply
  DriverSettings record;
  ZeroMemory(&record, sizeof record);
  CopyMemory(&record, dm, kDevModeBytes);
  if (!SettingsValid(record, nullptr)) return true;
  BuildLabelList();
  if (FindLabel(record.Private.LabelIndex) >= 0) return true;
  static const WCHAR kReason[] = WTEXT("The selected label is not defined for this printer.");
  info->cchNeeded = DWORD(lstrlenW(kReason) + 1);
  if (info->pszErrorStr && info->cchErrorStr > 0) lstrcpynW(info->pszErrorStr, kReason, int(info->cchErrorStr));
  return false;
}

bool StoreQueueSettings(HANDLE printer, const DriverSettings& settings) {
  // Level 8 stores only the queue's global default device mode ("the
  // global defaults are set by the administrator of a printer"); level 2
  // would write every other field of the queue back as well.
  support::HeapBlock<DEVMODEW> dm(kDevModeBytes);
  if (!dm) return failBool(ERROR_NOT_ENOUGH_MEMORY);
  CopyMemory(dm.get(), &settings, kDevModeBytes);
  PRINTER_INFO_8W info{};
  info.pDevMode = dm.get();
  if (!SetPrinterW(printer, 8, reinterpret_cast<LPBYTE>(&info), 0)) return false;
  const DWORD rc = storePrinterDataBlock(printer, settings.PrinterData);
  if (rc != ERROR_SUCCESS) return failBool(rc);
  return true;
}

bool InitializeQueue(LPCWSTR printerName) {
  if (!printerName) return failBool(ERROR_INVALID_PARAMETER);
  // SetPrinter and SetPrinterData need a handle opened with
  // PRINTER_ACCESS_ADMINISTER ("to perform administrative tasks, such as
  // those provided by SetPrinter").
  PRINTER_DEFAULTSW access{nullptr, nullptr, PRINTER_ACCESS_ADMINISTER};
  HANDLE printer = nullptr;
  if (!OpenPrinterW(const_cast<LPWSTR>(printerName), &printer, &access)) return false;
  bool stored = false;
  support::HeapBlock<DriverSettings> settings(sizeof(DriverSettings));
  if (!settings) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  } else {
    loadQueueSettings(settings.get(), printer, printerName);
    BuildLabelList();
    ClampSettings(settings.get());
    stored = StoreQueueSettings(printer, *settings);
  }
  // Closing must not hide the store's error.
  const DWORD error = GetLastError();
  ClosePrinter(printer);
  SetLastError(error);
  return stored;
}

}  // namespace driver
