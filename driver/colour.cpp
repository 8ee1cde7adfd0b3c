// Grey levels, brush realization and the driver's dither brushes.
#include "colour.h"

#include "dither.h"

namespace driver {

namespace {

bool isPaletteIndex(const PrinterDevice& device, ULONG index) {
  return index < (device.render.bitDepth == 1 ? 2u : 256u);
}

}  // namespace

BrushLevel BrushGrey(const PrinterDevice& device, BRUSHOBJ* brush) {
  if (!brush) return {false, 0, 0};
  const DeviceBrush* realized = static_cast<const DeviceBrush*>(brush->pvRbrush);
  if (!realized) {
    const bool solid = brush->iSolidColor != 0xFFFFFFFF;
    if (!solid || isPaletteIndex(device, brush->iSolidColor))
      realized = static_cast<const DeviceBrush*>(BRUSHOBJ_pvGetRbrush(brush));
  }
  if (!realized || realized->valid != 1) return {false, 0, 0};
  return {true, realized->grey, realized->color};
}

bool realizeDitherBrush(BRUSHOBJ* brush, ULONG hatch) {
  if (!(hatch & kDitherColorFlag) || hatch == 0xFFFFFFFF) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  DeviceBrush* realized = static_cast<DeviceBrush*>(BRUSHOBJ_pvAllocRbrush(brush, sizeof(DeviceBrush)));
  if (!realized) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return false;
  }
  ZeroMemory(realized, sizeof *realized);
  realized->color = hatch;
  realized->grey = WORD(GreyLevel(hatch));
  realized->valid = 1;
  return true;
}

ULONG ditherColor(PrinterDevice& device, ULONG color, ULONG* out) {
  const ULONG grey = GreyLevel(color);
  if (device.render.patternKind < 1 || device.render.patternKind > 4 || !out) return DCR_SOLID;
  if (device.render.bitDepth != 1) {
    out[0] = grey;
    return DCR_DRIVER;
  }
  WORD words[16];
  if (const DitherTable* table = ditherTable(device, kDitherTable)) {
    for (int r = 0; r < 16; ++r) words[r] = (*table)[grey][r];
  } else {
    DitherTable built;
    const RenderParameters& p = device.render;
    buildDitherTable(p.patternKind, p.patternData, p.patternLength, built);
    for (int r = 0; r < 16; ++r) words[r] = built[grey][r];
  }
  for (int r = 0; r < 16; ++r) out[r] = ULONG(words[r]) | (ULONG(words[r]) << 16);
  return DCR_DRIVER;
}

}  // namespace driver
