// Raster side of the job: band entries, the GRAPH encoder with its six row
// layouts, the run-length and hexadecimal row codes, and the grey fill.
#pragma once

#include <windows.h>

#include "jobstream.h"
#include "page_layout.h"

namespace driver {

// One band table entry: top-left corner on the page, allocated (rounded)
// size, exact size, bytes per scanline of its bitmap, flags (bit 0: encode).
// The band table's entries are eight integers; every entry carries
// kBandEncode, and the encoder encodes every band without testing it, so
// `flags` is kept for the entry's layout only.
struct BandEntry {
  LONG x;
  LONG y;
  LONG allocWidth;
  LONG allocHeight;
  LONG exactWidth;
  LONG exactHeight;
  LONG bytesPerScanline;
  LONG flags;  // kBandEncode
};
static_assert(sizeof(BandEntry) == 32, "band entries are eight integers");

constexpr LONG kBandEncode = 0x01;

// A band bitmap: top-down, `bytesPerScanline` bytes per scanline (> 0).
struct SurfaceDescription {
  int bitDepth;  // 1: set bit = white; 8: grey level, 0 black .. 255 white
  BYTE* bits;
  LONG width;
  LONG height;
  LONG bytesPerScanline;
};

// Scratch the encoder needs (the GraphScratch block): three 64 KiB areas.
constexpr DWORD kScratchArea = 0x10000;
constexpr DWORD kGraphScratchSize = 3 * kScratchArea;
// Bytes of the hexadecimal row buffer allocated for each GRAPH.
constexpr DWORD kHexBufferSize = 8192;
// Longest row (bytes before coding) whose code and text fit the buffers.
constexpr LONG kMaxRowBytes = 2047;

// Dither tables: for each grey level 0..255, sixteen pattern words (one
// per pattern row); word = table[level * 16 + row]. The low byte covers
// pattern columns 0..7, the high byte 8..15, most significant bit first;
// a set bit is white.
constexpr int kDitherRows = 16;
constexpr DWORD kDitherTableWords = 256 * kDitherRows;

struct RasterJob {
  SurfaceDescription surface;
  BandEntry band;       // the band at the cursor; its bitmap is `surface`
  LONG printableWidth;  // exact width of the whole printable area
  PageLayout layout;
  int colorMode;      // 0 one bit per dot, 1 eight-bit grey
  int graphicsMode;   // 0 rows as hexadecimal text, non-zero binary
  const WORD* dither;  // the device's kDitherTable (8-bit layouts only)
  BYTE* scratch;       // kGraphScratchSize bytes
  DWORD scratchSize;
};

enum class EncodeResult {
  Written,     // the GRAPH header, its rows and the closing CR LF were put
  Suppressed,  // output is suppressed: nothing was touched
  NoMemory,    // the hex buffer could not be allocated: nothing written
  Refused,     // the band, surface, scratch or mode does not fit: nothing written
};

// Writes the complete GRAPH command for one band to `out`. In 1-bit mode
// the band bitmap is inverted in place first (set bit = printed dot).
// Nothing is written, and the bitmap is left alone, unless every scanline,
// byte and scratch area the layout touches lies inside what `job` gives.
EncodeResult encodeBand(OutputStage& out, const RasterJob& job);

// The GRAPH header values the encoder sends for a band, and the bytes of
// each row it sends. Portrait: the band's position and size, one row per
// scanline. Landscape turned counter-clockwise (rotation off): WD = band
// height and HT = band width, one row per page column, right to left, read
// top-down. Landscape turned clockwise (rotation on): X = band y, Y = band
// x, and WD = band width, HT = band height, unswapped, although each row
// is a page column read bottom-up (ceil(HT / 8) bytes; 8 * ceil(WD / 8)
// rows in one-bit mode, filler columns included, WD rows in grey); a
// printer reading such a job is set up for that layout to split its rows.
struct GraphHeader {
  LONG x;
  LONG y;
  LONG width;     // WD
  LONG height;    // HT
  LONG rowBytes;  // bytes of each row before coding
};
GraphHeader graphHeaderFor(const RasterJob& job);

// Run-length codes `n` bytes of `src` into `dst` (PackBits-compatible:
// header 1-count then the byte for repeats of 2..128, count-1 then the
// bytes for literals of 1..128; 0x80 never appears). `dst` needs room for
// 2 * n bytes. Returns the bytes written; 0 for a null pointer or n == 0.
// Runs and pairs are found sixteen bytes per step with SSE2 vectors.
DWORD packRow(BYTE* dst, const BYTE* src, DWORD n);

// The same code with runs and pairs found one machine word at a time, the
// portable path kept beside the vector one: both give identical bytes.
DWORD packRowWords(BYTE* dst, const BYTE* src, DWORD n);

// Turns byte columns [c0, c0 + columns) of a one-bit bitmap (`lines`
// scanlines, `stride` bytes apart) into rows of `rowBytes` bytes in `rows`:
// row 8q + k (at q * 8 * rowBytes + k * rowBytes) is pixel column
// 8 (c0 + q) + k of scanlines 0 .. 8 * rowBytes - 1, top-down, or bottom-up
// when `clockwise`; scanlines from `lines` on read as blank. The landscape
// layouts' turn, in SSE2 tiles of 32 scanlines by 8 byte columns.
void turnColumns(const BYTE* bits, LONG stride, LONG lines, LONG c0, LONG columns, LONG rowBytes, bool clockwise,
                 BYTE* rows);
// The same turn one 8 x 8 block at a time in a machine word, the portable
// path kept beside the vector one: both give identical rows.
void turnColumnsWords(const BYTE* bits, LONG stride, LONG lines, LONG c0, LONG columns, LONG rowBytes, bool clockwise,
                      BYTE* rows);

// Writes each of the `n` bytes as two upper-case hexadecimal digits; no
// terminator. Returns 2 * n (0 when a pointer is null).
DWORD hexRow(char* dst, const BYTE* src, DWORD n);

// Fills `rect` (left/top included, right/bottom excluded) on a 1-bit band
// bitmap with grey `level` from dither table `table` (the device's kFillDitherTable), clipped to
// the band's exact size and to the surface. Returns false, touching
// nothing, for a surface that is not 1-bit or a null table.
bool fillGreyRect(const SurfaceDescription& surface, const RECTL& rect, int level, const WORD* table, LONG exactWidth,
                  LONG exactHeight);

}  // namespace driver
