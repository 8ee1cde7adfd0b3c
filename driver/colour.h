// Colour reduction for the drawing hooks: grey levels of colour values,
// the driver's brush realization and its ordered-dither brushes.
#pragma once

#include <windows.h>
#include <winddi.h>

#include "device.h"

namespace driver {

// Grey level of a colour value whose low three bytes are red, green, blue:
// (5R + 9G + 2B) >> 4, 0 black .. 255 white.
inline ULONG GreyLevel(ULONG color) {
  const ULONG r = color & 0xFF, g = (color >> 8) & 0xFF, b = (color >> 16) & 0xFF;
  return (5 * r + 9 * g + 2 * b) >> 4;
}

// The driver's realization of a brush, allocated through
// BRUSHOBJ_pvAllocRbrush and owned by GDI's brush.
struct DeviceBrush {
  ULONG color;  // the value GDI passed, top bit included
  WORD grey;    // GreyLevel(color)
  ULONG valid;  // 1 once realized
};

// GDI's marker on the hatch argument of DrvRealizeBrush for a solid dither
// colour whose RGB value is in the low bytes.
inline constexpr ULONG kDitherColorFlag = 0x80000000;

struct BrushLevel {
  bool found;
  ULONG grey;
  ULONG color;
};

// The grey level of a brush from its realization, asking GDI to realize it
// (BRUSHOBJ_pvGetRbrush) when none is attached yet. Solid brushes are only
// realized when their index is a colour of the device's palette.
BrushLevel BrushGrey(const PrinterDevice& device, BRUSHOBJ* brush);

// DrvRealizeBrush's work for hatch argument `hatch`: true when a solid
// dither colour was realized; false with the last error set otherwise.
bool realizeDitherBrush(BRUSHOBJ* brush, ULONG hatch);

// DrvDitherColor's work: the dither of `color` into `out` (16 ULONGs).
ULONG ditherColor(PrinterDevice& device, ULONG color, ULONG* out);

}  // namespace driver
