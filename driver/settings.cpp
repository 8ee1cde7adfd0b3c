// Assembling a device's settings: defaults, validity, public fields,
// merging an application's device mode, label sizes and margins, and the
// spooler queries behind them.
#include <windows.h>
#include <winspool.h>
#include <wtext.h>

#include <cstddef>

#include "heap_block.h"
#include "jobstream.h"
#include "label_file.h"
#include "model_profile.h"
#include "printer_properties.h"
#include "settings.h"
#include "tables.h"
#include "text.h"

namespace driver {

namespace {

constexpr int kCompareChars = 259;

// A name reduced to the text after its last backslash and before its
// first comma, at most kCompareChars units.
void reduceName(LPCWSTR name, WCHAR* out) {
  out[0] = 0;
  if (!name) return;
  LPCWSTR start = name;
  for (LPCWSTR p = name; *p; ++p)
    if (*p == '\\') start = p + 1;
  int n = lengthBefore(start, ',');
  if (n > kCompareChars) n = kCompareChars;
  lstrcpynW(out, start, n + 1);
}

bool prefixEquals(LPCWSTR shorter, LPCWSTR longer, int n) {
  for (int i = 0; i < n; ++i)
    if (shorter[i] != longer[i]) return false;
  return true;
}

// The resolution entry a ResolutionIndex selects; the model has one entry,
// so any other index falls back to it.
const ResolutionEntry& resolutionEntry(LONG) { return kModel.resolution; }

// Whether `field` (offset, size) of a device mode lies within `readable`
// bytes.
template <class T>
bool fieldReadable(std::size_t offset, DWORD readable) {
  return offset + sizeof(T) <= readable;
}

// Round up to the next multiple of 10 (a multiple stays unchanged).
LONG raiseToTen(LONG v) { return v % 10 == 0 ? v : v + (10 - v % 10); }

}  // namespace

namespace {

// The label's definition read into `def`, or null when it has none.
const LabelDefinition* readDefinition(LONG index, LabelDefinition* def) {
  return ReadLabelDefinition(index, def) ? def : nullptr;
}

LabelSize labelSize(const DriverSettings& settings, LONG index, const LabelDefinition* def) {
  if (index == kCustomLabelIndex) return {settings.Private.CustomWidth, settings.Private.CustomHeight};
  if (def) return {def->LabelWidth, def->LabelHeight};
  return {kRules.labelWidth.fallback, kRules.labelHeight.fallback};
}

// The definition's margins when they fit, else margins that keep the
// printable area within 104.0 x 400.0 mm.
LabelMargins labelMargins(LabelSize size, const LabelDefinition* def) {
  if (def) {
    const LabelMargins m{def->LeftMargin, def->TopMargin, def->RightMargin, def->BottomMargin};
    if (marginsFit(size, m)) return m;
  }
  // Half of what lies more than 0.2 mm beyond the limit, halved with
  // integer division and raised to whole millimetres: the printer's stored
  // labels were laid out this way, so a label at most 0.3 mm over the
  // limit deliberately keeps no margin (1042 and 1043 give 0, 1044 gives 10).
  LabelMargins m{};
  if (size.height > kLongLabelLimit) m.top = m.bottom = raiseToTen((size.height - (kLongLabelLimit + 2)) / 2);
  if (size.width > kPrintableWidthLimit) m.left = m.right = raiseToTen((size.width - (kPrintableWidthLimit + 2)) / 2);
  return m;
}

}  // namespace

LabelSize GetLabelSize(const DriverSettings& settings, LONG index) {
  // The custom label's size is the settings' own: no file read.
  if (index == kCustomLabelIndex) return labelSize(settings, index, nullptr);
  LabelDefinition def;
  return labelSize(settings, index, readDefinition(index, &def));
}

bool marginsFit(LabelSize size, const LabelMargins& m) {
  const LONG W = size.width, H = size.height;
  const LONG l = m.left, r = m.right, t = m.top, b = m.bottom;
  const LONG e = (W - kPrintableWidthLimit) / 2;
  return l >= 0 && r >= 0 && t >= 0 && b >= 0 && l + r < W && W - l - r <= kPrintableWidthLimit &&
         (e <= 0 || (l >= e && r >= e)) && t + b < H;
}

LabelMargins GetLabelMargins(const DriverSettings& settings, LONG index) { return labelExtent(settings, index).margins; }

LabelExtent labelExtent(const DriverSettings& settings, LONG index) {
  LabelDefinition def;
  const LabelDefinition* found = readDefinition(index, &def);
  const LabelSize size = labelSize(settings, index, found);
  return {size, labelMargins(size, found)};
}

LONG DotsFromTenthsMm(LONG value, Dimension dimension) {
  LONG factor = dimension == Dimension::LabelWidth ? kModel.widthDotFactor : kModel.lengthDotFactor;
  return tenthsToDots(value, factor);
}

void DefaultSettings(DriverSettings* settings, LPCWSTR printerName) {
  BuildLabelList();
  ZeroMemory(settings, sizeof *settings);
  PrivateSettings& p = settings->Private;
  p.LabelIndex = kCustomLabelIndex;
  p.MediaType = 1;
  p.PaperSource = 14;
  p.Orientation = kRules.orientation.fallback;
  p.Copies = kRules.copies.fallback;
  // Without label 256 in the list (file neither readable nor writable) the
  // custom size is the model's fallback label size.
  LabelListEntry custom;
  const bool listed = copyLabel(kCustomLabelIndex, &custom);
  p.CustomWidth = listed ? custom.width : kRules.labelWidth.fallback;
  p.CustomHeight = listed ? custom.height : kRules.labelHeight.fallback;
  p.ColorMode = kRules.colorMode.fallback;
  p.ResolutionIndex = kRules.resolutionIndex.fallback;
  p.DitherPattern = kRules.ditherPattern.fallback;
  p.HalftonePattern = kRules.halftonePattern.fallback;
  p.ColorAdjust = kDefaultColorAdjust;
  p.LandscapeRotation = kRules.landscapeRotation.fallback;
  p.DriverSolidFill = 1;
  p.ColorVariant = 0;
  p.TrackDrawnRegion = 1;
  p.Speed = kRules.speed.fallback;
  p.OffsetX = kRules.offsetX.fallback;
  p.OffsetY = kRules.offsetY.fallback;
  p.Direction = kRules.direction.fallback;
  p.Reserved124 = 1;
  p.PrintMethod = kRules.printMethod.fallback;
  p.GraphicsMode = kRules.graphicsMode.fallback;
  PrinterDataBlock& d = settings->PrinterData;
  d.HalftoneFlags = 2;
  d.HalftonePatternSize = 7;
  d.DevicePelsDpi = 0;
  d.ColorInfo = kDefaultColorInfo;
  BuildPublicFields(settings, printerName);
}

bool SettingsValid(const DriverSettings& settings, LPCWSTR printerName) {
  const DEVMODEW& dm = settings.Public;
  if (dm.dmSpecVersion != kDevModeSpecVersion || dm.dmDriverVersion != kDevModeDriverVersion ||
      dm.dmSize != sizeof(DEVMODEW) || dm.dmDriverExtra != kDriverExtraBytes ||
      settings.SettingsSignature != kSettingsSignature)
    return false;
  WCHAR deviceName[CCHDEVICENAME + 1];
  lstrcpynW(deviceName, dm.dmDeviceName, CCHDEVICENAME + 1);  // the field need not be terminated
  WCHAR a[kCompareChars + 1], b[kCompareChars + 1];
  reduceName(printerName, a);
  reduceName(deviceName, b);
  int la = lstrlenW(a), lb = lstrlenW(b);
  if (la == 0 || lb == 0) return true;
  return la <= lb ? prefixEquals(a, b, la) : prefixEquals(b, a, lb);
}

void BuildPublicFields(DriverSettings* settings, LPCWSTR printerName) {
  // The printer name may be the record's own dmDeviceName: take it first.
  WCHAR deviceName[CCHDEVICENAME] = {};
  int n = lengthBefore(printerName, ',');
  if (n > CCHDEVICENAME - 1) n = CCHDEVICENAME - 1;
  deviceName[0] = 0;
  if (printerName) lstrcpynW(deviceName, printerName, n + 1);

  DEVMODEW& dm = settings->Public;
  const PrivateSettings& p = settings->Private;
  ZeroMemory(&dm, sizeof dm);
  CopyMemory(dm.dmDeviceName, deviceName, sizeof deviceName);
  dm.dmSpecVersion = kDevModeSpecVersion;
  dm.dmDriverVersion = kDevModeDriverVersion;
  dm.dmSize = sizeof(DEVMODEW);
  dm.dmDriverExtra = kDriverExtraBytes;
  DWORD fields = kPublicFieldsMask;
  if (featureValue(*settings, kFeatureNup) == kByPrintProcessor) {
    fields |= DM_NUP;
    dm.dmNup = DMNUP_SYSTEM;
  } else {
    dm.dmNup = DMNUP_ONEUP;
  }
  if (featureValue(*settings, kFeatureCollate) == kByPrintProcessor) fields |= DM_COLLATE;
  dm.dmCollate = 0;
  dm.dmFields = fields;
  dm.dmOrientation = short(p.Orientation);
  dm.dmPaperSize = short(p.LabelIndex);
  LabelSize size = GetLabelSize(*settings, p.LabelIndex);
  dm.dmPaperWidth = short(size.width);
  dm.dmPaperLength = short(size.height);
  dm.dmScale = 100;
  dm.dmCopies = short(p.Copies);
  dm.dmDefaultSource = short(p.PaperSource);
  const ResolutionEntry& res = resolutionEntry(p.ResolutionIndex);
  dm.dmPrintQuality = short(res.dpiX);
  dm.dmYResolution = short(res.dpiY);
  dm.dmDuplex = DMDUP_SIMPLEX;
  dm.dmTTOption = DMTT_BITMAP;
  dm.dmMediaType = 1;
  WCHAR formName[kLabelNameSlot];
  ReadLabelName(p.LabelIndex, formName);
  lstrcpynW(dm.dmFormName, formName, CCHFORMNAME);
}

void MergeApplicationFields(const DEVMODEW* dm, DWORD available, DriverSettings* settings, bool forceCopies) {
  BuildLabelList();
  PrivateSettings& p = settings->Private;
  // Never read past what the caller supplied, nor past what dmSize claims.
  DWORD readable = 0;
  if (dm && fieldReadable<WORD>(offsetof(DEVMODEW, dmSize), available)) {
    readable = dm->dmSize < available ? dm->dmSize : available;
  }
  auto has = [&](DWORD bit, std::size_t offset, std::size_t size) {
    return fieldReadable<DWORD>(offsetof(DEVMODEW, dmFields), readable) && (dm->dmFields & bit) &&
           offset + size <= readable;
  };
#define KV_FIELD(name) offsetof(DEVMODEW, name), sizeof(DEVMODEW::name)
  if (has(DM_ORIENTATION, KV_FIELD(dmOrientation)) &&
      (dm->dmOrientation == DMORIENT_PORTRAIT || dm->dmOrientation == DMORIENT_LANDSCAPE))
    p.Orientation = dm->dmOrientation;
  if (has(DM_PAPERSIZE, KV_FIELD(dmPaperSize))) {
    if (FindLabel(dm->dmPaperSize) >= 0) p.LabelIndex = dm->dmPaperSize;
    // A custom size is taken only when both lengths are real sizes.
    if (dm->dmPaperSize == kCustomLabelIndex && fieldReadable<short>(offsetof(DEVMODEW, dmPaperWidth), readable) &&
        dm->dmPaperWidth > 0 && dm->dmPaperLength > 0) {
      p.CustomWidth = dm->dmPaperWidth;
      p.CustomHeight = dm->dmPaperLength;
    }
  }
  if (has(DM_MEDIATYPE, KV_FIELD(dmMediaType)) && mediaTypeKnown(LONG(dm->dmMediaType)))
    p.MediaType = LONG(dm->dmMediaType);
  if ((forceCopies && dm && fieldReadable<short>(offsetof(DEVMODEW, dmCopies), readable)) ||
      has(DM_COPIES, KV_FIELD(dmCopies)))
    p.Copies = dm->dmCopies > 0 ? dm->dmCopies : 1;
  if (has(DM_DEFAULTSOURCE, KV_FIELD(dmDefaultSource)) && paperSourceKnown(dm->dmDefaultSource))
    p.PaperSource = dm->dmDefaultSource;
  if ((has(DM_PRINTQUALITY, KV_FIELD(dmPrintQuality)) || has(DM_YRESOLUTION, KV_FIELD(dmYResolution))) &&
      fieldReadable<short>(offsetof(DEVMODEW, dmYResolution), readable)) {
    // The model's resolution table has one entry, index 0.
    const ResolutionEntry& res = kModel.resolution;
    if (res.dpiX == dm->dmPrintQuality && res.dpiY == dm->dmYResolution) p.ResolutionIndex = 0;
  }
#undef KV_FIELD
  rebuildPublicFields(settings);
}

void rebuildPublicFields(DriverSettings* settings) {
  // BuildPublicFields clears the record's public part first, and the name
  // field need not be terminated: take a terminated copy.
  WCHAR deviceName[CCHDEVICENAME + 1];
  lstrcpynW(deviceName, settings->Public.dmDeviceName, CCHDEVICENAME + 1);
  BuildPublicFields(settings, deviceName);
}

void loadQueueSettings(DriverSettings* settings, HANDLE printer, LPCWSTR printerName) {
  bool stored = false;
  ZeroMemory(settings, sizeof *settings);
  if (QueryPrinterProperty(printer, PrinterProperty::DefaultDevMode, settings, kStoredDevModeBytes) &&
      SettingsValid(*settings, printerName)) {
    stored = readPrinterDataBlock(printer, &settings->PrinterData);
  }
  if (!stored) {
    DefaultSettings(settings, printerName);
    settings->SettingsSignature = kSettingsSignature;
  }
}

void applyApplicationDevMode(DriverSettings* settings, const DEVMODEW* dm, DWORD available, LPCWSTR printerName,
                             bool forceCopies) {
  if (!dm || available < offsetof(DEVMODEW, dmFields)) return;
  // The application's private part counts only when all of it was
  // supplied and the record is this driver's.
  DWORD claimed = DWORD(dm->dmSize) + DWORD(dm->dmDriverExtra);
  DWORD readable = claimed < available ? claimed : available;
  if (readable >= kStoredDevModeBytes) {
    DriverSettings app;
    ZeroMemory(&app, sizeof app);
    CopyMemory(&app, dm, kStoredDevModeBytes);
    if (SettingsValid(app, printerName)) {
      settings->Private = app.Private;
      settings->SettingsSignature = app.SettingsSignature;
    }
  }
  MergeApplicationFields(dm, available, settings, forceCopies);
}

int LoadDeviceSettings(DriverSettings* settings, const DEVMODEW* dm, DWORD available, HANDLE printer,
                       LPCWSTR printerName) {
  support::HeapBlock<DriverSettings> work(sizeof(DriverSettings));
  if (!work) return 0;
  loadQueueSettings(work.get(), printer, printerName);
  applyApplicationDevMode(work.get(), dm, available, printerName, true);
  CopyMemory(settings, work.get(), sizeof(DriverSettings));
  return 1;
}

}  // namespace driver
