// GRAPH encoding in the six row layouts, row codes and grey fill.
#include "raster.h"

#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "heap_block.h"

namespace driver {

namespace {

// Larger pages than this are no label; refusing them keeps all arithmetic
// below in range.
constexpr LONG kMaxDots = 1 << 20;

LONG ceilDiv(LONG v, LONG d) { return (v + d - 1) / d; }

}  // namespace

DWORD packRow(BYTE* dst, const BYTE* src, DWORD n) {
  if (!dst || !src || n == 0) return 0;
  DWORD pos = 0;
  DWORD out = 0;
  while (pos + 1 < n) {
    const BYTE ch = src[pos];
    const DWORD limit = n - pos > 128 ? pos + 128 : n;
    DWORD end = pos + 1;
    if (src[end] == ch) {
      ++end;
      // Long runs (blank rows) are compared eight bytes at a time.
      const uint64_t pattern = 0x0101010101010101ull * ch;
      uint64_t word;
      while (end + 8 <= limit && (std::memcpy(&word, src + end, 8), word == pattern)) end += 8;
      while (end < limit && src[end] == ch) ++end;
      dst[out++] = static_cast<BYTE>(1 - static_cast<int>(end - pos));
      dst[out++] = ch;
    } else {
      // A literal stops before the second byte of a repeated pair; the
      // first byte of the pair stays in the literal.
      while (end < limit && src[end] != src[end - 1]) ++end;
      const DWORD count = end - pos;
      dst[out++] = static_cast<BYTE>(count - 1);
      std::memcpy(dst + out, src + pos, count);
      out += count;
    }
    pos = end;
  }
  if (pos + 1 == n) {
    dst[out++] = 0x00;
    dst[out++] = src[pos];
  }
  return out;
}

DWORD hexRow(char* dst, const BYTE* src, DWORD n) {
  if (!dst || !src) return 0;
  static const char kDigits[] = "0123456789ABCDEF";
  for (DWORD i = 0; i < n; ++i) {
    dst[2 * i] = kDigits[src[i] >> 4];
    dst[2 * i + 1] = kDigits[src[i] & 0x0F];
  }
  return 2 * n;
}

BOOL fillGreyRect(const SurfaceDescription& surface, const RECTL& rect, int level, const WORD* table, LONG exactWidth,
                  LONG exactHeight) {
  if (surface.bitDepth != 1 || !surface.bits || !table || surface.bytesPerScanline <= 0) return FALSE;
  if (level < 0) level = 0;
  if (level > 255) level = 255;
  LONG left = rect.left < 0 ? 0 : rect.left;
  LONG top = rect.top < 0 ? 0 : rect.top;
  LONG last = rect.right - 1;
  if (last > exactWidth - 1) last = exactWidth - 1;
  if (last > surface.width - 1) last = surface.width - 1;
  if (last > surface.bytesPerScanline * 8 - 1) last = surface.bytesPerScanline * 8 - 1;
  LONG bottom = rect.bottom - 1;
  if (bottom > exactHeight - 1) bottom = exactHeight - 1;
  if (bottom > surface.height - 1) bottom = surface.height - 1;
  if (last < left || bottom < top) return TRUE;

  const WORD* levelRows = table + level * kDitherRows;
  const LONG firstByte = left >> 3;
  const LONG lastByte = last >> 3;
  const BYTE firstMask = static_cast<BYTE>(0xFF >> (left & 7));
  const BYTE lastMask = static_cast<BYTE>(~(0x7F >> (last & 7)));
  for (LONG y = top; y <= bottom; ++y) {
    const WORD word = levelRows[y & (kDitherRows - 1)];
    BYTE* row = surface.bits + static_cast<size_t>(y) * surface.bytesPerScanline;
    for (LONG k = firstByte; k <= lastByte; ++k) {
      BYTE pattern = (k & 1) ? static_cast<BYTE>(word >> 8) : static_cast<BYTE>(word);
      BYTE mask = 0xFF;
      if (k == firstByte) mask &= firstMask;
      if (k == lastByte) mask &= lastMask;
      row[k] = static_cast<BYTE>((row[k] & ~mask) | (pattern & mask));
    }
  }
  return TRUE;
}

namespace {

// The grey-to-dot rule of the ordered dither, the one every layout uses: a
// pixel of grey `level` is white when its bit is set in the pattern word of
// that level, and printed when it is clear. `rowWords` is the dither table
// at the pixel's pattern row (table + page row mod 16); the word is shifted
// right by `shift` (patternShift of the pixel's page column) and `bit`
// picks the pixel's column within the resulting byte. Returns the bit
// (non-zero) when the pixel is white.
inline unsigned whiteBit(const WORD* rowWords, size_t level, unsigned shift, unsigned bit) {
  return (static_cast<unsigned>(rowWords[level * kDitherRows]) >> shift) & bit;
}

// The shift of a page column's half of the pattern word: its low byte
// covers pattern columns 0..7, its high byte 8..15.
inline unsigned patternShift(LONG px) { return ((px >> 3) & 1) ? 8 : 0; }

// Transposes an 8 x 8 bit block: in[r] is row r (most significant bit =
// column 0); out[k] receives column k with row 0 in its most significant bit.
inline void transpose8(const BYTE in[8], BYTE out[8]) {
  uint32_t x = (uint32_t(in[0]) << 24) | (uint32_t(in[1]) << 16) | (uint32_t(in[2]) << 8) | in[3];
  uint32_t y = (uint32_t(in[4]) << 24) | (uint32_t(in[5]) << 16) | (uint32_t(in[6]) << 8) | in[7];
  uint32_t t = (x ^ (x >> 7)) & 0x00AA00AAu;
  x = x ^ t ^ (t << 7);
  t = (y ^ (y >> 7)) & 0x00AA00AAu;
  y = y ^ t ^ (t << 7);
  t = (x ^ (x >> 14)) & 0x0000CCCCu;
  x = x ^ t ^ (t << 14);
  t = (y ^ (y >> 14)) & 0x0000CCCCu;
  y = y ^ t ^ (t << 14);
  t = (x & 0xF0F0F0F0u) | ((y >> 4) & 0x0F0F0F0Fu);
  y = ((x << 4) & 0xF0F0F0F0u) | (y & 0x0F0F0F0Fu);
  x = t;
  out[0] = BYTE(x >> 24);
  out[1] = BYTE(x >> 16);
  out[2] = BYTE(x >> 8);
  out[3] = BYTE(x);
  out[4] = BYTE(y >> 24);
  out[5] = BYTE(y >> 16);
  out[6] = BYTE(y >> 8);
  out[7] = BYTE(y);
}

// Codes rows one at a time into scratch area 1 and puts them, raw or as text.
class RowWriter {
 public:
  RowWriter(OutputStage& out, BYTE* coded, char* hex, bool binary)
      : out_(out), coded_(coded), hex_(hex), binary_(binary) {}
  void row(const BYTE* bytes, DWORD n) {
    DWORD coded = packRow(coded_, bytes, n);
    if (binary_) {
      out_.put(coded_, coded);
    } else {
      out_.put(hex_, hexRow(hex_, coded_, coded));
    }
  }

 private:
  OutputStage& out_;
  BYTE* coded_;
  char* hex_;
  bool binary_;
};

bool bandFits(const RasterJob& job, const GraphHeader& header) {
  const SurfaceDescription& s = job.surface;
  const BandEntry& b = job.band;
  if (!s.bits || s.bytesPerScanline <= 0 || s.width <= 0 || s.height <= 0) return false;
  if (s.width > kMaxDots || s.height > kMaxDots) return false;
  if (job.colorMode == 0 ? s.bitDepth != 1 : s.bitDepth != 8) return false;
  if (job.colorMode == 1 && !job.dither) return false;
  if (!job.scratch || job.scratchSize < kGraphScratchSize) return false;
  if (b.x < 0 || b.y < 0 || b.x > kMaxDots || b.y > kMaxDots) return false;
  if (b.exactWidth <= 0 || b.exactHeight <= 0 || b.exactWidth > s.width || b.exactHeight > s.height) return false;
  const LONG lineBytes = s.bitDepth == 1 ? ceilDiv(b.exactWidth, 8) : b.exactWidth;
  if (lineBytes > s.bytesPerScanline) return false;
  if (header.rowBytes <= 0 || header.rowBytes > kMaxRowBytes) return false;
  // The landscape layouts place the band by its distance from the right
  // edge of the printable area, so the band must lie inside it.
  if (isLandscape(job.layout) && (job.printableWidth > kMaxDots || b.x + b.exactWidth > job.printableWidth))
    return false;
  return true;
}

void invertBitmap(const SurfaceDescription& s) {
  const size_t total = static_cast<size_t>(s.bytesPerScanline) * static_cast<size_t>(s.height);
  BYTE* p = s.bits;
  size_t i = 0;
  for (; i + 8 <= total; i += 8) {
    uint64_t v;
    std::memcpy(&v, p + i, 8);
    v = ~v;
    std::memcpy(p + i, &v, 8);
  }
  for (; i < total; ++i) p[i] = static_cast<BYTE>(~p[i]);
}

static_assert(std::endian::native == std::endian::little, "eight grey pixels are loaded as one little-endian word");

// The dither table seen as thresholds: for pattern row r and byte half h,
// the thresholds of its eight columns as the bytes of a word (column 8h in
// the lowest byte); a pixel is white exactly when its level reaches its
// column's threshold. Threshold patterns build tables of that shape, and
// then eight pixels are compared at once; other tables are read directly.
struct GreyDither {
  const WORD* table;
  bool byThreshold;
  uint64_t threshold[kDitherRows][2];
};

GreyDither makeGreyDither(const WORD* table) {
  GreyDither d{table, table != nullptr, {}};
  for (int r = 0; r < kDitherRows && d.byThreshold; ++r) {
    for (int c = 0; c < 16; ++c) {
      const unsigned bit = c < 8 ? 0x80u >> c : 0x8000u >> (c - 8);
      int t = 256;  // lowest level from which every level is white
      while (t > 0 && whiteBit(table + r, t - 1, 0, bit)) --t;
      bool below = false;
      for (int level = 0; level < t; ++level) below |= whiteBit(table + r, level, 0, bit) != 0;
      if (below || t > 255) {
        d.byThreshold = false;
        break;
      }
      d.threshold[r][c / 8] |= uint64_t(t) << (8 * (c % 8));
    }
  }
  return d;
}

// Byte k of `grey` below byte k of `thresholds` (unsigned), for k = 0..7,
// as bit 7 - k of the result: the printed dots of eight pixels.
inline BYTE belowThreshold(uint64_t grey, uint64_t thresholds) {
  const uint64_t high = 0x8080808080808080ull;
  // Per byte 0x80 + (x & 0x7F) - (y & 0x7F): no borrow crosses a byte.
  const uint64_t low = (grey | high) - (thresholds & ~high);
  const uint64_t below = ((~grey & thresholds) | (~(grey ^ thresholds) & ~low)) & high;
  return static_cast<BYTE>(((below >> 7) * 0x8040201008040201ull) >> 56);
}

inline uint64_t load8(const BYTE* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}

// Eight grey pixels at page positions px0..px0+7 of page row py (px0 a
// multiple of 8) as one byte of printer dots. Every pixel of the byte
// tests the same pattern byte, so only the mask moves.
inline BYTE ditherByte(const WORD* rowWords, const BYTE* grey, int count, unsigned shift) {
  unsigned white = 0;
  if (count == 8) {
    for (int k = 0; k < 8; ++k) white |= whiteBit(rowWords, grey[k], shift, 0x80u >> k);
    return static_cast<BYTE>(~white);
  }
  for (int k = 0; k < count; ++k) white |= whiteBit(rowWords, grey[k], shift, 0x80u >> k);
  const unsigned valid = 0xFF00u >> count;
  return static_cast<BYTE>(~white & valid);
}

// Portrait: scanlines top to bottom.
void portraitRows(const RasterJob& job, const GreyDither& grey, RowWriter& rows, BYTE* converted) {
  const SurfaceDescription& s = job.surface;
  const BandEntry& b = job.band;
  const DWORD rowBytes = static_cast<DWORD>(ceilDiv(b.exactWidth, 8));
  for (LONG r = 0; r < b.exactHeight; ++r) {
    const BYTE* line = s.bits + static_cast<size_t>(r) * s.bytesPerScanline;
    if (s.bitDepth == 1) {
      rows.row(line, rowBytes);
      continue;
    }
    const LONG py = b.y + r;
    const WORD* rowWords = job.dither + (py & (kDitherRows - 1));
    if (grey.byThreshold && (b.x & 7) == 0) {
      const uint64_t* thresholds = grey.threshold[py & (kDitherRows - 1)];
      DWORD j = 0;
      for (; (static_cast<LONG>(j) + 1) * 8 <= b.exactWidth; ++j)
        converted[j] = belowThreshold(load8(line + j * 8), thresholds[((b.x >> 3) + j) & 1]);
      if (j < rowBytes) {
        const LONG c0 = static_cast<LONG>(j) * 8;
        converted[j] = ditherByte(rowWords, line + c0, static_cast<int>(b.exactWidth - c0), patternShift(b.x + c0));
      }
    } else if ((b.x & 15) == 0) {
      // Sixteen pixels cover one whole pattern word: its low byte the
      // first eight, its high byte the next eight.
      DWORD j = 0;
      for (; (static_cast<LONG>(j) + 2) * 8 <= b.exactWidth; j += 2) {
        const BYTE* grey = line + j * 8;
        unsigned white = 0;
        for (int k = 0; k < 8; ++k) white |= whiteBit(rowWords, grey[k], 0, 0x80u >> k);
        for (int k = 0; k < 8; ++k) white |= whiteBit(rowWords, grey[8 + k], 0, 0x8000u >> k);
        converted[j] = static_cast<BYTE>(~white);
        converted[j + 1] = static_cast<BYTE>(~white >> 8);
      }
      for (; j < rowBytes; ++j) {
        const LONG c0 = static_cast<LONG>(j) * 8;
        const int count = b.exactWidth - c0 < 8 ? static_cast<int>(b.exactWidth - c0) : 8;
        converted[j] = ditherByte(rowWords, line + c0, count, patternShift(c0));
      }
    } else if ((b.x & 7) == 0) {
      for (DWORD j = 0; j < rowBytes; ++j) {
        const LONG c0 = static_cast<LONG>(j) * 8;
        const int count = b.exactWidth - c0 < 8 ? static_cast<int>(b.exactWidth - c0) : 8;
        converted[j] = ditherByte(rowWords, line + c0, count, patternShift(b.x + c0));
      }
    } else {
      for (DWORD j = 0; j < rowBytes; ++j) {
        BYTE printed = 0;
        LONG c0 = static_cast<LONG>(j) * 8;
        LONG c1 = c0 + 8 < b.exactWidth ? c0 + 8 : b.exactWidth;
        for (LONG c = c0; c < c1; ++c) {
          const LONG px = b.x + c;
          if (!whiteBit(rowWords, line[c], patternShift(px), 0x80u >> (px & 7))) printed |= BYTE(0x80 >> (c - c0));
        }
        converted[j] = printed;
      }
    }
    rows.row(converted, rowBytes);
  }
}

// One-bit landscape: byte columns [c0, c0 + columns) turned in 8 x 8
// blocks into rows of `rowBytes` each in `block`; row 8q + k is pixel
// column 8 (c0 + q) + k. Clockwise rows read the column bottom-up,
// counter-clockwise top-down. Each source byte is read once.
void transposeByteColumns(const SurfaceDescription& s, LONG c0, LONG columns, LONG rowBytes, bool clockwise, BYTE* block) {
  std::memset(block, 0, static_cast<size_t>(rowBytes) * 8 * columns);
  for (LONG i = 0; i < rowBytes; ++i) {
    const BYTE* src[8];
    for (int r = 0; r < 8; ++r) {
      const LONG line = 8 * i + (clockwise ? 7 - r : r);
      src[r] = line < s.height ? s.bits + static_cast<size_t>(line) * s.bytesPerScanline + c0 : nullptr;
    }
    const LONG at = clockwise ? rowBytes - 1 - i : i;
    for (LONG q = 0; q < columns; ++q) {
      BYTE in[8];
      BYTE any = 0;
      for (int r = 0; r < 8; ++r) {
        in[r] = src[r] ? src[r][q] : 0;
        any |= in[r];
      }
      if (!any) continue;
      BYTE col[8];
      transpose8(in, col);
      BYTE* out = block + static_cast<size_t>(q) * 8 * rowBytes + at;
      for (int k = 0; k < 8; ++k) out[k * rowBytes] = col[k];
    }
  }
}

void landscapeRows1(const RasterJob& job, RowWriter& rows, BYTE* block, LONG rowBytes) {
  const SurfaceDescription& s = job.surface;
  const BandEntry& b = job.band;
  const LONG byteColumns = ceilDiv(b.exactWidth, 8);
  // As many byte columns per pass as their rows fit in the scratch area.
  LONG perPass = static_cast<LONG>(kScratchArea / (8 * static_cast<DWORD>(rowBytes)));
  if (perPass > 8) perPass = 8;
  if (job.layout == PageLayout::LandscapeRotated) {
    for (LONG c0 = 0; c0 < byteColumns; c0 += perPass) {
      const LONG columns = byteColumns - c0 < perPass ? byteColumns - c0 : perPass;
      transposeByteColumns(s, c0, columns, rowBytes, true, block);
      for (LONG k = 0; k < 8 * columns; ++k) rows.row(block + k * rowBytes, static_cast<DWORD>(rowBytes));
    }
    return;
  }
  // Counter-clockwise: columns from the right; the filler columns beyond
  // the printable area's right edge are skipped.
  LONG counter = job.printableWidth - b.x - 8 * byteColumns;
  LONG written = 0;
  for (LONG end = byteColumns; end > 0 && written < b.exactWidth; end -= perPass) {
    const LONG c0 = end - perPass > 0 ? end - perPass : 0;
    const LONG columns = end - c0;
    transposeByteColumns(s, c0, columns, rowBytes, false, block);
    for (LONG k = 8 * columns - 1; k >= 0 && written < b.exactWidth; --k) {
      if (counter++ < 0) continue;
      rows.row(block + k * rowBytes, static_cast<DWORD>(rowBytes));
      ++written;
    }
  }
}

// Groups of eight columns on the 8-dot grid dithered per pass: a span of
// up to 512 bytes (eight cache lines) of every scanline, in whole cache
// lines' worth, and no more than their dithered columns (one byte per
// scanline and group) fit in one scratch area. bandFits keeps landscape
// heights below 8 * (kMaxRowBytes + 1), so a pass has at least 4 groups.
LONG groupsPerPass(LONG height) {
  LONG groups = static_cast<LONG>(kScratchArea / static_cast<DWORD>(height));
  if (groups > 64) groups = 64;
  if (groups >= 8) groups -= groups % 8;
  return groups;
}

// Scanlines ahead whose span is requested before it is dithered: the
// spans are a scanline stride apart, and without the request a pass that
// walks the bitmap from the right waits on every fetch.
constexpr LONG kPrefetchLines = 8;

// Dithers `groups` groups of eight columns from `first` (page position a
// multiple of 8) into `columns`: byte `line` of column group q, at
// q * height + line, holds the eight printed dots of that scanline. The
// eight pixels of a group on one scanline share one pattern byte, so each
// group is one comparison, as in portrait. The bitmap is read top-down, a
// contiguous span of each scanline, so every cache line fetched is used
// whole before the next scanline's span; the stores go to `groups`
// sequential streams.
void ditherGroups(const RasterJob& job, const GreyDither& grey, LONG first, LONG groups, BYTE* columns) {
  const SurfaceDescription& s = job.surface;
  const BandEntry& b = job.band;
  const LONG height = b.exactHeight;
  const LONG span = 8 * groups;
  for (LONG line = 0; line < height; ++line) {
    const BYTE* src = s.bits + static_cast<size_t>(line) * s.bytesPerScanline + first;
    if (line + kPrefetchLines < height) {
      const BYTE* ahead = src + static_cast<size_t>(kPrefetchLines) * s.bytesPerScanline;
      for (LONG at = 0; at < span; at += 64) __builtin_prefetch(ahead + at);
      __builtin_prefetch(ahead + span - 1);
    }
    const int row = (b.y + line) & (kDitherRows - 1);
    BYTE* out = columns + line;
    if (grey.byThreshold) {
      const uint64_t* thresholds = grey.threshold[row];
      const LONG half = ((b.x + first) >> 3) & 1;
      for (LONG q = 0; q < groups; ++q)
        out[static_cast<size_t>(q) * height] = belowThreshold(load8(src + 8 * q), thresholds[(half + q) & 1]);
    } else {
      const WORD* rowWords = job.dither + row;
      for (LONG q = 0; q < groups; ++q)
        out[static_cast<size_t>(q) * height] =
            ditherByte(rowWords, src + 8 * q, 8, patternShift(b.x + first + 8 * q));
    }
  }
}

// Transposes an 8 x 8 bit block held in one word: row r in byte 7 - r
// (row 0 most significant), column 0 in each byte's top bit. Returns the
// block with column k in byte 7 - k, row 0 in its top bit.
inline uint64_t transpose8x8(uint64_t x) {
  uint64_t t = (x ^ (x >> 7)) & 0x00AA00AA00AA00AAull;
  x = x ^ t ^ (t << 7);
  t = (x ^ (x >> 14)) & 0x0000CCCC0000CCCCull;
  x = x ^ t ^ (t << 14);
  t = (x ^ (x >> 28)) & 0x00000000F0F0F0F0ull;
  return x ^ t ^ (t << 28);
}

// Turns one dithered column group (`height` bytes, one per scanline) into
// its eight rows of `rowBytes` in `block`: row k is the group's column k,
// read bottom-up (clockwise) or top-down, most significant bit first. The
// group's bytes are read in one sequential sweep, eight scanlines per load
// (from the bottom for clockwise, so the load's top byte is the lowest
// scanline); only a last short byte of a row is gathered one by one.
void turnGroup(const BYTE* column, LONG height, LONG rowBytes, bool clockwise, BYTE* block) {
  const LONG whole = height / 8;
  for (LONG at = 0; at < rowBytes; ++at) {
    const LONG j0 = at * 8;
    uint64_t x;
    if (at < whole) {
      x = clockwise ? load8(column + (height - 8 - j0)) : __builtin_bswap64(load8(column + j0));
    } else {
      x = 0;
      for (LONG r = 0; j0 + r < height; ++r)
        x |= uint64_t(column[clockwise ? height - 1 - (j0 + r) : j0 + r]) << (56 - 8 * r);
    }
    x = transpose8x8(x);
    for (int k = 0; k < 8; ++k) block[k * rowBytes + at] = static_cast<BYTE>(x >> (56 - 8 * k));
  }
}

// Fewer than eight columns, or columns off the 8-dot grid (a band's edges):
// row k of `block` is column first + k, dithered pixel by pixel.
void ditherColumns(const RasterJob& job, LONG first, LONG count, LONG rowBytes, bool clockwise, BYTE* block) {
  const SurfaceDescription& s = job.surface;
  const BandEntry& b = job.band;
  const LONG height = b.exactHeight;
  unsigned shift[8] = {};
  unsigned mask[8] = {};
  for (LONG k = 0; k < count; ++k) {
    LONG px = b.x + first + k;
    shift[k] = patternShift(px);
    mask[k] = 0x80u >> (px & 7);
  }
  for (LONG at = 0; at < rowBytes; ++at) {
    unsigned acc[8] = {};
    const LONG j0 = at * 8;
    const int bits = height - j0 < 8 ? static_cast<int>(height - j0) : 8;
    for (int t = 0; t < bits; ++t) {
      const LONG line = clockwise ? height - 1 - (j0 + t) : j0 + t;
      const BYTE* src = s.bits + static_cast<size_t>(line) * s.bytesPerScanline + first;
      const WORD* rowWords = job.dither + ((b.y + line) & (kDitherRows - 1));
      for (LONG k = 0; k < count; ++k) {
        acc[k] = (acc[k] << 1) | (whiteBit(rowWords, src[k], shift[k], mask[k]) == 0);
      }
    }
    for (LONG k = 0; k < count; ++k) block[k * rowBytes + at] = static_cast<BYTE>(acc[k] << (8 - bits));
  }
}

// Eight-bit landscape. The columns split into a lead (up to the first
// multiple of 8 on the page), groups of eight on the 8-dot grid, taken
// `groupsPerPass` at a time, and a tail. Rows go out left to right
// (clockwise) or right to left. A pass dithers its groups into scratch
// area 0 reading the bitmap in its own order, then turns them group by
// group into eight rows at a time in `block`.
void landscapeRows8(const RasterJob& job, const GreyDither& grey, RowWriter& rows, BYTE* columns, BYTE* block,
                    LONG rowBytes) {
  const LONG width = job.band.exactWidth;
  const LONG height = job.band.exactHeight;
  const bool clockwise = job.layout == PageLayout::LandscapeRotated;
  const LONG perPass = groupsPerPass(height);
  LONG lead = (8 - (job.band.x & 7)) & 7;
  if (lead > width) lead = width;
  const LONG runs = (width - lead) / 8;
  const LONG tailStart = lead + 8 * runs;

  auto send = [&](LONG count) {
    if (clockwise)
      for (LONG k = 0; k < count; ++k) rows.row(block + k * rowBytes, static_cast<DWORD>(rowBytes));
    else
      for (LONG k = count - 1; k >= 0; --k) rows.row(block + k * rowBytes, static_cast<DWORD>(rowBytes));
  };
  auto edge = [&](LONG first, LONG count) {
    if (count <= 0) return;
    ditherColumns(job, first, count, rowBytes, clockwise, block);
    send(count);
  };
  auto pass = [&](LONG run, LONG n) {
    ditherGroups(job, grey, lead + 8 * run, n, columns);
    for (LONG i = 0; i < n; ++i) {
      const LONG q = clockwise ? i : n - 1 - i;
      turnGroup(columns + static_cast<size_t>(q) * height, height, rowBytes, clockwise, block);
      send(8);
    }
  };
  if (clockwise) {
    edge(0, lead);
    for (LONG run = 0; run < runs; run += perPass) pass(run, runs - run < perPass ? runs - run : perPass);
    edge(tailStart, width - tailStart);
    return;
  }
  edge(tailStart, width - tailStart);
  for (LONG end = runs; end > 0; end -= perPass) {
    const LONG run = end - perPass > 0 ? end - perPass : 0;
    pass(run, end - run);
  }
  edge(0, lead);
}

}  // namespace

GraphHeader graphHeaderFor(const RasterJob& job) {
  const BandEntry& b = job.band;
  const bool oneBit = job.colorMode == 0;
  const LONG byteColumns = ceilDiv(b.exactWidth, 8);
  switch (job.layout) {
    case PageLayout::Portrait:
      return {b.x, b.y, b.exactWidth, b.exactHeight, byteColumns};
    case PageLayout::LandscapeRotated:
      // WD, HT: the band's unturned size, not swapped (the printer is set up for the layout).
      return {b.y, b.x, b.exactWidth, b.exactHeight, ceilDiv(b.exactHeight, 8)};
    case PageLayout::LandscapeReversed: {
      LONG y = job.printableWidth - b.x - (oneBit ? 8 * byteColumns : b.exactWidth);
      return {b.y, y < 0 ? 0 : y, b.exactHeight, b.exactWidth, ceilDiv(b.exactHeight, 8)};
    }
  }
  return {};
}

EncodeResult encodeBand(OutputStage& out, const RasterJob& job) {
  if (out.suppressed) return EncodeResult::Suppressed;
  if (job.colorMode != 0 && job.colorMode != 1) return EncodeResult::Refused;
  const GraphHeader header = graphHeaderFor(job);
  if (!bandFits(job, header)) return EncodeResult::Refused;
  HeapBlock<char> hex(kHexBufferSize);
  if (!hex) return EncodeResult::NoMemory;

  if (job.colorMode == 0) invertBitmap(job.surface);

  char line[96];
  int n = std::snprintf(line, sizeof line, jobcmd::kGraphFormat, static_cast<int>(header.x),
                        static_cast<int>(header.y), static_cast<int>(header.width), static_cast<int>(header.height),
                        jobcmd::kGraphRunLength);
  out.put(line, static_cast<DWORD>(n));

  BYTE* converted = job.scratch;
  BYTE* coded = job.scratch + kScratchArea;
  BYTE* block = job.scratch + 2 * kScratchArea;
  RowWriter rows(out, coded, hex.get(), job.graphicsMode != 0);
  const GreyDither grey = makeGreyDither(job.colorMode == 1 ? job.dither : nullptr);
  if (job.layout == PageLayout::Portrait) {
    portraitRows(job, grey, rows, converted);
  } else if (job.colorMode == 0) {
    landscapeRows1(job, rows, block, header.rowBytes);
  } else {
    landscapeRows8(job, grey, rows, converted, block, header.rowBytes);
  }
  out.put(jobcmd::kLineEnd, 2);
  return EncodeResult::Written;
}

}  // namespace driver
