// The document and page sequence behind the document entry points: when
// each job command is written, the job header's values from the label
// file, clearing the surface, and handing finished bands to the encoder.
#include "page_sequence.h"

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

// The selected label's definition (or the model's default one), with the
// custom size for the user-defined label.
LabelDefinition jobLabelOf(const PrivateSettings& p) {
  LabelDefinition def{};
  if (!ReadLabelDefinition(p.LabelIndex, &def))
    DefaultLabelDefinition(p.LabelIndex == kCustomLabelIndex ? kCustomLabelIndex : kModel.firstUserSlot, &def);
  if (p.LabelIndex == kCustomLabelIndex) {
    def.LabelWidth = p.CustomWidth;
    def.LabelHeight = p.CustomHeight;
  }
  return def;
}

int bitDepthOf(ULONG format) {
  if (format == BMF_1BPP) return 1;
  if (format == BMF_8BPP) return 8;
  return 0;
}

}  // namespace

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

bool outputResult(const PrinterDevice& device) {
  if (!device.output.failed()) return true;
  SetLastError(device.output.writeError);
  return false;
}

bool outputResult(const PrinterDevice& device, DWORD bandError) {
  if (device.output.failed() || bandError == 0) return outputResult(device);
  SetLastError(bandError);
  return false;
}

void openPage(PrinterDevice& device) {
  if (device.pageCounter == 1) {
    char line[256];
    const PrivateSettings& p = device.settings.Private;
    const DefSettings settings{p.Direction, p.Speed, p.OffsetX, p.OffsetY, p.GraphicsMode, p.PrintMethod};
    int n = formatDefLine(line, sizeof line, jobLabelOf(p), settings, defRulesOf(kModel));
    writeJobHeader(device.output, line, n);
  }
  writePageStart(device.output, device.copyCount);
}

void clearSurface(PrinterDevice& device, SURFOBJ* pso) {
  RECTL all{0, 0, pso->sizlBitmap.cx, pso->sizlBitmap.cy};
  EngEraseSurface(pso, &all, pso->iBitmapFormat == BMF_8BPP ? 255 : 1);
  if (device.regions && device.regionCount > 0)
    ZeroMemory(device.regions, sizeof(DrawnRegion) * static_cast<SIZE_T>(device.regionCount));
}

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

void closeDeviceOutput(PrinterDevice& device) {
  bindOutput(device);
  if (device.output.state & PageOpen) writePageEnd(device.output);
  if (device.output.state & HeaderSent) writeJobEnd(device.output);
  device.output.flush();
}

ULONG documentEscape(PrinterDevice& device, ULONG iEsc, ULONG cjIn, PVOID pvIn, ULONG cjOut, PVOID pvOut) {
  switch (iEsc) {
    case QUERYESCSUPPORT: {
      if (!pvIn || cjIn < sizeof(WORD)) return 0;
      const WORD queried = *static_cast<const WORD*>(pvIn);
      return queried == QUERYESCSUPPORT || queried == SETCOPYCOUNT ? 1 : 0;
    }
    case SETCOPYCOUNT: {
      LONG count = device.copyCount;
      if (pvIn && cjIn >= sizeof(LONG)) CopyMemory(&count, pvIn, sizeof count);
      device.copyCount = count < 1 ? 1 : count;
      if (pvOut && cjOut >= sizeof(LONG)) CopyMemory(pvOut, &device.copyCount, sizeof(LONG));
      return 1;
    }
    default:
      return 0;
  }
}

}  // namespace driver
