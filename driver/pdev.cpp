// Creating, resetting and destroying the device record: render parameters,
// page geometry, band parameters, default fonts, palette, GDIINFO and
// DEVINFO.
#include "pdev.h"

#include <wtext.h>

#include "bands.h"
#include "heap_block.h"
#include "label_file.h"
#include "printer_properties.h"
#include "settings.h"
#include "tables.h"
#include "text.h"

namespace driver {

namespace {

bool isOneBitOrGrey(LONG colorMode) { return colorMode == 0 || colorMode == 1; }

// GDI sees 1-bit surfaces as 1 bit per pixel and everything else as 8-bit
// grey.
bool reportsOneBit(const PrinterDevice& device) { return device.render.bitDepth == 1; }

void setFont(LOGFONTW& f, LONG height, BYTE charset, BYTE pitchAndFamily, LPCWSTR face) {
  ZeroMemory(&f, sizeof f);
  f.lfHeight = height;
  f.lfWeight = FW_NORMAL;
  f.lfCharSet = charset;
  f.lfOutPrecision = OUT_CHARACTER_PRECIS;
  f.lfClipPrecision = CLIP_CHARACTER_PRECIS;
  f.lfQuality = DEFAULT_QUALITY;
  f.lfPitchAndFamily = pitchAndFamily;
  lstrcpynW(f.lfFaceName, face, LF_FACESIZE);
}

bool createPalette(PrinterDevice& device) {
  ULONG colors[256];
  ULONG count = 2;
  if (reportsOneBit(device)) {
    colors[0] = 0x000000;
    colors[1] = 0xFFFFFF;
  } else {
    count = 256;
    for (ULONG i = 0; i < 256; ++i) colors[i] = i * 0x010101;
  }
  device.palette = EngCreatePalette(PAL_INDEXED, count, colors, 0, 0, 0);
  return device.palette != nullptr;
}

void freeRecord(PrinterDevice* device) {
  // The record is freed through its self-pointer; a record that never got
  // one is the block itself.
  PrinterDevice* block = device->self ? device->self : device;
  GlobalFree(block);
}

// Copies as much of `info` as the caller's `size` bytes at `out` hold.
template <class Info>
void copyCut(const Info& info, void* out, ULONG size) {
  CopyMemory(out, &info, size < sizeof info ? size : ULONG(sizeof info));
}

}  // namespace

void deriveRenderParameters(PrinterDevice& device) {
  const PrivateSettings& p = device.settings.Private;
  RenderParameters& r = device.render;
  r.layout = pageLayoutOf(p.Orientation, p.LandscapeRotation != 0);
  r.dpiX = kModel.resolution.dpiX;
  r.dpiY = kModel.resolution.dpiY;
  r.dpiXY = kModel.resolution.diagonal;
  // A stored copy count below 1 would print nothing sensible; it counts as 1,
  // as an application's does.
  device.copyCount = p.Copies > 0 ? p.Copies : 1;
  r.bitDepth = p.ColorMode == 0 ? 1 : (p.ColorMode == 1 ? 8 : 24);
  const bool simple = isOneBitOrGrey(p.ColorMode);
  r.options = (simple ? kOptionBlackWhitePens : kOptionColorLines) | kOptionDontJournal;
  if (simple && p.DriverSolidFill) r.options |= kOptionSolidFill;
  if (p.TrackDrawnRegion == 1) r.options |= kOptionTrackRegion;

  // An index outside the pattern table counts as naming no pattern.
  const ThresholdPattern* dither = simple ? thresholdPattern(p.DitherPattern) : nullptr;
  if (!dither) dither = &kDeviceDefaultPattern;
  r.patternKind = dither->kind;
  r.patternLength = patternDataLength(dither->kind);
  ZeroMemory(r.patternData, sizeof r.patternData);
  if (dither->data) CopyMemory(r.patternData, dither->data, r.patternLength);

  const ThresholdPattern* halftone = simple ? thresholdPattern(p.HalftonePattern) : nullptr;
  r.halftoneKind = halftone ? halftone->kind : 0;

  r.colorInfo = (simple && r.halftoneKind != 0) ? device.settings.PrinterData.ColorInfo : kBuiltinColorInfo;
  r.colorAdjust = simple ? p.ColorAdjust : kDefaultColorAdjust;
}

PageGeometry pageGeometry(LabelSize size, const LabelMargins& m, LONG dpiX, LONG dpiY, PageLayout layout) {
  const bool landscape = isLandscape(layout);
  const bool rotation = layout == PageLayout::LandscapeRotated;
  const LONG W = size.width, H = size.height;
  const LONG dx = landscape ? dpiY : dpiX;
  const LONG dy = landscape ? dpiX : dpiY;
  PageGeometry g{};
  g.pageWidth = landscape ? H : W;
  g.pageHeight = landscape ? W : H;
  g.printableWidth = landscape ? H - m.top - m.bottom : W - m.left - m.right;
  g.printableHeight = landscape ? W - m.left - m.right : H - m.top - m.bottom;
  g.pageWidthDots = LONG((long long)g.pageWidth * dx / 254);
  g.pageHeightDots = LONG((long long)g.pageHeight * dy / 254);
  g.printableWidthDots = LONG((long long)g.printableWidth * dx / 254);
  g.printableHeightDots = LONG((long long)g.printableHeight * dy / 254);
  g.leftOffsetDots = LONG((long long)dx * (!landscape ? m.left : (rotation ? m.top : m.bottom)) / 254);
  g.topOffsetDots = LONG((long long)dy * (!landscape ? m.top : (rotation ? m.right : m.left)) / 254);
  return g;
}

bool computeGeometry(PrinterDevice& device) {
  const LabelExtent label = labelExtent(device.settings, device.settings.Private.LabelIndex);
  const PageGeometry& g = device.geometry =
      pageGeometry(label.size, label.margins, device.render.dpiX, device.render.dpiY, device.render.layout);
  return g.printableWidthDots > 0 && g.printableHeightDots > 0;
}

void computeBandParameters(PrinterDevice& device) {
  BandParameters& b = device.banding;
  const PageGeometry& g = device.geometry;
  b.scanlineAlignment = 4;
  if (device.render.bitDepth == 1) {
    b.minBands = 1;
    b.maxBands = 1;
    b.bandAlignment = 8;
  } else {
    LONG bytesPerDot = device.render.bitDepth == 8 ? 1 : 3;
    b.minBands = bandEstimate(g.printableWidthDots, g.printableHeightDots, bytesPerDot);
    b.maxBands = kMaxBands;
    b.bandAlignment = 1;
  }
}

void buildDefaultFonts(PrinterDevice& device) {
  const LONG height = -((device.render.dpiX * 10 + 71) / 72);
  // The default font's face name is a Japanese face name's Shift-JIS bytes
  // read as GBK, as the printer's installed drivers have always reported
  // it. It is kept mis-decoded on purpose: applications and stored
  // documents that ask for the device's default font by name use this text.
  setFont(device.fonts[0], height, SHIFTJIS_CHARSET, 0x11, WTEXT("俵俽 柧挬"));
  setFont(device.fonts[1], height, ANSI_CHARSET, 0x22, WTEXT("Helvetica"));
  setFont(device.fonts[2], height, ANSI_CHARSET, 0x31, WTEXT("Courier"));
}

void fillGdiInfo(const PrinterDevice& device, GDIINFO* info) {
  const PageGeometry& g = device.geometry;
  const RenderParameters& r = device.render;
  const bool landscape = isLandscape(r.layout);
  const bool oneBit = reportsOneBit(device);
  ZeroMemory(info, sizeof *info);
  info->ulVersion = 0x400;
  info->ulTechnology = DT_RASPRINTER;
  info->ulHorzSize = ULONG(g.printableWidth / 10);
  info->ulVertSize = ULONG(g.printableHeight / 10);
  info->ulHorzRes = ULONG(g.printableWidthDots);
  info->ulVertRes = ULONG(g.printableHeightDots);
  info->cBitsPixel = oneBit ? 1 : 8;
  info->cPlanes = 1;
  info->ulNumColors = oneBit ? 2 : 256;
  info->ulNumPalReg = info->ulNumColors;
  info->ulLogPixelsX = ULONG(landscape ? r.dpiY : r.dpiX);
  info->ulLogPixelsY = ULONG(landscape ? r.dpiX : r.dpiY);
  info->ulAspectX = info->ulLogPixelsX;
  info->ulAspectY = info->ulLogPixelsY;
  info->ulAspectXY = ULONG(r.dpiXY);
  info->xStyleStep = 1;
  info->yStyleStep = 1;
  info->denStyleStep = LONG(info->ulLogPixelsX / 50);
  info->ptlPhysOffset.x = g.leftOffsetDots;
  info->ptlPhysOffset.y = g.topOffsetDots;
  info->szlPhysSize.cx = g.pageWidthDots;
  info->szlPhysSize.cy = g.pageHeightDots;
  info->ciDevice = r.colorInfo;
  // Without a settings pattern the device's built-in halftone block applies,
  // header values included.
  const bool settingsBlock = isOneBitOrGrey(device.settings.Private.ColorMode);
  const PrinterDataBlock& block = device.settings.PrinterData;
  info->ulDevicePelsDPI = settingsBlock ? ULONG(block.DevicePelsDpi) : 0;
  info->ulPrimaryOrder = 0;
  info->ulHTPatternSize = settingsBlock ? ULONG(block.HalftonePatternSize) : 7;
  info->ulHTOutputFormat = oneBit ? HT_FORMAT_1BPP : HT_FORMAT_8BPP;
  info->flHTFlags = HT_FLAG_HAS_BLACK_DYE;
}

void fillDevInfo(const PrinterDevice& device, DEVINFO* info) {
  const RenderParameters& r = device.render;
  const bool oneBit = reportsOneBit(device);
  ZeroMemory(info, sizeof *info);
  FLONG caps = GCAPS_BEZIERS | GCAPS_ALTERNATEFILL | GCAPS_WINDINGFILL | GCAPS_HALFTONE | GCAPS_COLOR_DITHER |
               GCAPS_OPAQUERECT | GCAPS_MONO_DITHER | GCAPS_DITHERONREALIZE | GCAPS_FORCEDITHER;
  if (r.options & kOptionSolidFill) caps |= GCAPS_ARBRUSHOPAQUE | GCAPS_ARBRUSHTEXT;
  if (r.options & kOptionDontJournal) caps |= GCAPS_DONTJOURNAL;
  info->flGraphicsCaps = caps;
  info->lfDefaultFont = device.fonts[0];
  info->lfAnsiVarFont = device.fonts[1];
  info->lfAnsiFixFont = device.fonts[2];
  info->cFonts = 0;
  info->iDitherFormat = oneBit ? BMF_1BPP : BMF_8BPP;
  if (r.patternKind >= 1 && r.patternKind <= 4) {
    info->cxDither = USHORT(oneBit ? 32 : 1);
    info->cyDither = USHORT(oneBit ? 16 : 1);
  }
  info->hpalDefault = device.palette;
  info->flGraphicsCaps2 = 0;
}

PrinterDevice* createDevice(const DEVMODEW* pdm, ULONG cPat, HSURF* patterns, ULONG cjCaps,
                            ULONG* caps, ULONG cjDevInfo, DEVINFO* devInfo, HANDLE printer) {
  WCHAR printerName[kPrinterNameChars + 1];
  if (!QueryPrinterProperty(printer, PrinterProperty::PrinterName, printerName, sizeof printerName)) return nullptr;

  PrinterDevice* device = static_cast<PrinterDevice*>(GlobalAlloc(GPTR, sizeof(PrinterDevice)));
  if (!device) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  auto fail = [&](DWORD error) -> PrinterDevice* {
    if (device->palette) EngDeletePalette(device->palette);
    freeRecord(device);
    SetLastError(error);
    return nullptr;
  };
  device->printer = printer;
  lstrcpynW(device->printerName, printerName, kPrinterNameChars + 1);

  DWORD available = pdm ? DWORD(pdm->dmSize) + DWORD(pdm->dmDriverExtra) : 0;
  if (!LoadDeviceSettings(&device->settings, pdm, available, printer, device->printerName)) return fail(ERROR_NOT_ENOUGH_MEMORY);

  device->signature = kModel.signature;
  device->size = sizeof(PrinterDevice);
  device->signatureEnd = kModel.signature;
  device->self = device;

  deriveRenderParameters(*device);
  if (!computeGeometry(*device)) return fail(ERROR_INVALID_PARAMETER);
  computeBandParameters(*device);
  buildDefaultFonts(*device);
  if (!createPalette(*device)) return fail(ERROR_NOT_ENOUGH_MEMORY);
  device->OutputSuppressed = false;

  if (caps && cjCaps) {
    GDIINFO info;
    fillGdiInfo(*device, &info);
    copyCut(info, caps, cjCaps);
  }
  if (devInfo && cjDevInfo) {
    DEVINFO info;
    fillDevInfo(*device, &info);
    copyCut(info, devInfo, cjDevInfo);
  }
  if (patterns)
    for (ULONG i = 0; i < cPat; ++i) patterns[i] = nullptr;
  return device;
}

void destroyDevice(PrinterDevice* device) {
  // GDI disables the surface first; one that is still there is released
  // here so nothing outlives the record.
  if (device->surface || device->work.block || device->scratch.buffer || device->regions) disableSurface(*device);
  if (device->palette) EngDeletePalette(device->palette);
  device->palette = nullptr;
  device->signature = device->signatureEnd = 0;
  freeRecord(device);
}

}  // namespace driver
