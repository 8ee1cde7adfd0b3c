// Dither tables: for each grey level 0..255, sixteen 16-bit pattern words
// built from a threshold pattern (a set bit is white at that level).
#pragma once

#include <windows.h>

#include "device.h"

namespace driver {

// Fills table from a pattern kind and its threshold data (`length` bytes;
// a kind whose data is shorter than it needs, or an unknown kind, gives an
// all-zero table).
void buildDitherTable(LONG kind, const BYTE* data, LONG length, DitherTable& table);

// Builds the device's two dither tables (kDitherTable, kFillDitherTable)
// from its pattern. Does nothing when the work areas are not allocated.
void buildDitherTables(PrinterDevice& device);

// The dither table in work area `area`, or null when absent.
DitherTable* ditherTable(PrinterDevice& device, WorkArea area);

}  // namespace driver
