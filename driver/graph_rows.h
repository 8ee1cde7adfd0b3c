// GRAPH commands from rows in the printer's own sense: a set bit is a
// printed dot (one bit per dot), or a grey level, 0 black .. 255 white
// (eight bits per dot, dithered by the encoder). For callers whose bitmaps
// are not GDI surfaces (white = set bit).
#pragma once

#include <windows.h>

#include "jobstream.h"
#include "raster.h"

namespace driver {

// A band of whole rows of an upright page.
struct RowBand {
  int bitDepth;       // 1: set bit = printed dot; 8: grey, 0 black .. 255 white
  BYTE* rows;         // top-down, `bytesPerRow` bytes apart
  LONG bytesPerRow;
  LONG width;         // dots of each row
  LONG height;        // rows in the band
  LONG x;             // the band's place on the page
  LONG y;
};

// What every band of one job shares.
struct RowCoding {
  int graphicsMode;     // 0 rows as hexadecimal text, non-zero binary
  const WORD* dither;   // kDitherTableWords words, for 8-bit rows
  BYTE* scratch;        // kGraphScratchSize bytes
  DWORD scratchSize;
};

// Writes the GRAPH command of `band` with the driver's encoder. One-bit
// rows are turned into the encoder's convention and back in place, so the
// caller's rows read the same afterwards whatever the result.
EncodeResult encodeRows(OutputStage& out, const RowBand& band, const RowCoding& coding);

}  // namespace driver
