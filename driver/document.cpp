// Document, page and band entry points: when each job command is written,
// clearing the surface, and handing finished pages and bands to the encoder.
#include <windows.h>
#include <winddi.h>

#include "device.h"
#include "guard.h"
#include "jobstream.h"
#include "label_file.h"
#include "raster.h"
#include "settings_records.h"
#include "spooler_output.h"

namespace driver {

static_assert(kGraphScratchBytes == kGraphScratchSize, "the encoder's scratch is the GraphScratch block");
static_assert(kWorkBufferBytes >= kStagingCapacity, "a work area holds the staging area");
static_assert(kWorkBufferBytes >= kDitherTableWords * sizeof(WORD), "a work area holds a dither table");

namespace {

// Points the output stage at this record's staging area and printer. A
// staging area that changed (the surface was re-enabled) holds nothing.
void bindOutput(PrinterDevice& device) {
  OutputStage& out = device.output;
  BYTE* staging = device.work.size[kOutputStaging] >= kStagingCapacity ? device.work.buffer[kOutputStaging] : nullptr;
  if (out.staging != staging) out.fill = 0;
  out.staging = staging;
  out.capacity = staging ? kStagingCapacity : 0;
  out.writer = &writeToPrinter;
  out.context = device.printer;
  out.suppressed = device.OutputSuppressed;
}

// The entry point's result: a failed write of this document is reported
// with WritePrinter's error.
BOOL outputResult(const PrinterDevice& device) {
  if (!device.output.failed()) return TRUE;
  SetLastError(device.output.writeError);
  return FALSE;
}

// The same after encoding a band: a failed write first, then the band's
// own error (0 when it was encoded).
BOOL outputResult(const PrinterDevice& device, DWORD bandError) {
  if (device.output.failed() || bandError == 0) return outputResult(device);
  SetLastError(bandError);
  return FALSE;
}

// The DEF values: the selected label's definition (or the model's default
// one), the custom size for the user-defined label, and the settings.
DefValues defValuesOf(const PrinterDevice& device) {
  const PrivateSettings& p = device.settings.Private;
  LabelDefinition def{};
  if (!ReadLabelDefinition(p.LabelIndex, &def))
    DefaultLabelDefinition(p.LabelIndex == kCustomLabelIndex ? kCustomLabelIndex : kModel.firstUserSlot, &def);
  if (p.LabelIndex == kCustomLabelIndex) {
    def.LabelWidth = p.CustomWidth;
    def.LabelHeight = p.CustomHeight;
  }
  DefValues v{};
  v.labelType = def.LabelType;
  v.width = def.LabelWidth;
  v.height = def.LabelHeight;
  v.gap = def.LabelGap;
  v.direction = p.Direction;
  v.density = def.Density;
  v.speed = p.Speed;
  v.stopPosition = def.StopPosition;
  v.offsetTearOff = def.OffsetTearOff;
  v.offsetPeelOff = def.OffsetPeerOff;
  v.offsetCutter = def.OffsetCutter;
  v.cutInterval = def.CutInterval;
  v.offsetX = p.OffsetX;
  v.offsetY = p.OffsetY;
  v.graphicsMode = p.GraphicsMode;
  v.printMethod = p.PrintMethod;
  v.printMode = def.PrintMode;
  v.leftMargin = def.LeftMargin;
  v.rightMargin = def.RightMargin;
  v.topMargin = def.TopMargin;
  v.bottomMargin = def.BottomMargin;
  return v;
}

// START and QTY, preceded on the document's first page by DEF and JOB.
void openPage(PrinterDevice& device) {
  if (device.pageCounter == 1) {
    char line[256];
    int n = formatDefLine(line, sizeof line, defValuesOf(device), defRulesOf(kModel));
    writeJobHeader(device.output, line, n);
  }
  writePageStart(device.output, device.copyCount);
}

// Erases the whole bitmap to white and empties the drawn-region record.
void clearSurface(PrinterDevice& device, SURFOBJ* pso) {
  RECTL all{0, 0, pso->sizlBitmap.cx, pso->sizlBitmap.cy};
  EngEraseSurface(pso, &all, pso->iBitmapFormat == BMF_8BPP ? 255 : 1);
  if (device.regions && device.regionCount > 0)
    ZeroMemory(device.regions, sizeof(DrawnRegion) * static_cast<SIZE_T>(device.regionCount));
}

int bitDepthOf(ULONG format) {
  if (format == BMF_1BPP) return 1;
  if (format == BMF_8BPP) return 8;
  return 0;
}

// Encodes the band at the cursor from the bits GDI drew into `pso`.
// Returns 0, or the error of a band that could not be encoded (the page
// goes on without it, so the printer stays in step, but the entry point
// reports the loss).
DWORD encodeCurrentBand(PrinterDevice& device, SURFOBJ* pso) {
  if (device.bandCursor < 0 || device.bandCursor >= device.bandCount) return 0;
  RasterJob job{};
  job.surface = {bitDepthOf(pso->iBitmapFormat), static_cast<BYTE*>(pso->pvBits), pso->sizlBitmap.cx,
                 pso->sizlBitmap.cy, pso->lDelta};
  job.band = device.bands[device.bandCursor];
  job.printableWidth = device.wholePage.exactWidth;
  job.layout = device.render.layout;
  job.colorMode = device.settings.Private.ColorMode;
  job.graphicsMode = device.settings.Private.GraphicsMode;
  if (device.work.size[kDitherTable] >= kDitherTableWords * sizeof(WORD))
    job.dither = reinterpret_cast<const WORD*>(device.work.buffer[kDitherTable]);
  job.scratch = device.scratch.buffer;
  job.scratchSize = device.scratch.size;
  switch (encodeBand(device.output, job)) {
    case EncodeResult::Written:
    case EncodeResult::Suppressed:
      return 0;
    case EncodeResult::NoMemory:
      return ERROR_NOT_ENOUGH_MEMORY;
    case EncodeResult::Refused:
      break;
  }
  return ERROR_INVALID_PARAMETER;
}

void reportBandOrigin(const PrinterDevice& device, POINTL* pptl) {
  const BandEntry& band = device.bands[device.bandCursor];
  pptl->x = band.x;
  pptl->y = band.y;
}

}  // namespace

void closeDeviceOutput(PrinterDevice& device) {
  bindOutput(device);
  if (device.output.state & PageOpen) writePageEnd(device.output);
  if (device.output.state & HeaderSent) writeJobEnd(device.output);
  device.output.flush();
}

}  // namespace driver

using namespace driver;

extern "C" {

// The document's name and job id are not kept: the job goes out through the
// printer handle, and nothing in the driver asks for either.
BOOL APIENTRY DrvStartDoc(SURFOBJ* pso, LPWSTR, DWORD) {
  return guardedCall<BOOL>(FALSE, [&]() -> BOOL { return validDevice(pso) != nullptr; });
}

BOOL APIENTRY DrvStartPage(SURFOBJ* pso) {
  return guardedCall<BOOL>(FALSE, [&]() -> BOOL {
    PrinterDevice* device = validDevice(pso);
    if (!device) return FALSE;
    bindOutput(*device);
    ++device->pageCounter;
    if (device->bandingMode) return outputResult(*device);
    openPage(*device);
    device->bandCursor = 0;
    reportBandOrigin(*device, &device->bandOrigin);
    clearSurface(*device, pso);
    return outputResult(*device);
  });
}

BOOL APIENTRY DrvSendPage(SURFOBJ* pso) {
  return guardedCall<BOOL>(FALSE, [&]() -> BOOL {
    PrinterDevice* device = validDevice(pso);
    if (!device) return FALSE;
    bindOutput(*device);
    // In banding mode DrvNextBand sends the page; a page that was never
    // started has no START to close.
    if (device->bandingMode || !(device->output.state & PageOpen)) return outputResult(*device);
    device->bandCursor = 0;
    const DWORD bandError = encodeCurrentBand(*device, pso);
    clearSurface(*device, pso);
    writePageEnd(device->output);
    return outputResult(*device, bandError);
  });
}

BOOL APIENTRY DrvEndDoc(SURFOBJ* pso, FLONG) {
  return guardedCall<BOOL>(FALSE, [&]() -> BOOL {
    PrinterDevice* device = validDevice(pso);
    if (!device) return FALSE;
    bindOutput(*device);
    BOOL ok = finishDocument(device->output);
    device->pageCounter = 0;
    if (!ok) SetLastError(device->output.writeError);
    return ok;
  });
}

BOOL APIENTRY DrvStartBanding(SURFOBJ* pso, POINTL* pptl) {
  return guardedCall<BOOL>(FALSE, [&]() -> BOOL {
    PrinterDevice* device = validDevice(pso);
    if (!device) return FALSE;
    if (!pptl) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
    bindOutput(*device);
    device->bandCursor = 0;
    reportBandOrigin(*device, pptl);
    device->bandOrigin = *pptl;
    clearSurface(*device, pso);
    return outputResult(*device);
  });
}

BOOL APIENTRY DrvNextBand(SURFOBJ* pso, POINTL* pptl) {
  return guardedCall<BOOL>(FALSE, [&]() -> BOOL {
    PrinterDevice* device = validDevice(pso);
    if (!device) return FALSE;
    if (!pptl || device->bandCount < 1) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
    bindOutput(*device);
    if (device->bandCursor < 0 || device->bandCursor >= device->bandCount) device->bandCursor = 0;
    if (device->bandCursor == 0) openPage(*device);
    const DWORD bandError = encodeCurrentBand(*device, pso);
    clearSurface(*device, pso);
    if (device->bandCursor < device->bandCount - 1) {
      ++device->bandCursor;
      reportBandOrigin(*device, pptl);
    } else {
      writePageEnd(device->output);
      device->bandCursor = 0;
      pptl->x = -1;
      pptl->y = -1;
    }
    device->bandOrigin = *pptl;
    return outputResult(*device, bandError);
  });
}

}  // extern "C"
