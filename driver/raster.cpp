// GRAPH encoding in the six row layouts, row codes and grey fill.
#include "raster.h"

#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include <emmintrin.h>

#include "heap_block.h"

namespace driver {

namespace {

// Larger pages than this are no label; refusing them keeps all arithmetic
// below in range.
constexpr LONG kMaxDots = 1 << 20;

LONG ceilDiv(LONG v, LONG d) { return (v + d - 1) / d; }

}  // namespace

namespace {

inline uint64_t load8(const BYTE* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}

// The two searches of the row code, a machine word at a time. `runEnd`:
// the first index in [from, limit) whose byte is not `ch`, else limit.
// `pairStart`: the first index i in [from, limit) (from >= 1) whose byte
// equals the one before it, else limit. Rows are loaded little-endian, so
// the lowest flagged byte is the first in the row.
struct WordScan {
  static DWORD runEnd(const BYTE* src, DWORD from, DWORD limit, BYTE ch) {
    const uint64_t pattern = 0x0101010101010101ull * ch;
    DWORD i = from;
    for (; i + 8 <= limit; i += 8) {
      const uint64_t diff = load8(src + i) ^ pattern;
      if (diff) return i + static_cast<DWORD>(std::countr_zero(diff)) / 8;
    }
    while (i < limit && src[i] == ch) ++i;
    return i;
  }
  static DWORD pairStart(const BYTE* src, DWORD from, DWORD limit) {
    DWORD i = from;
    for (; i + 8 <= limit; i += 8) {
      // A zero byte of the difference is an equal pair; the borrow of the
      // subtraction can flag bytes above a zero byte, never below one.
      const uint64_t diff = load8(src + i) ^ load8(src + i - 1);
      const uint64_t zero = (diff - 0x0101010101010101ull) & ~diff & 0x8080808080808080ull;
      if (zero) return i + static_cast<DWORD>(std::countr_zero(zero)) / 8;
    }
    while (i < limit && src[i] != src[i - 1]) ++i;
    return i;
  }
};

// The same searches sixteen bytes per step with SSE2, which every x64
// processor and every processor the supported x86 Windows versions run on
// has; the attribute lets the x86 build use it in these functions only.
// The last bytes short of sixteen are one load ending at the limit, or,
// in a row shorter than that, go the word way.
struct VectorScan {
  __attribute__((target("sse2"))) static DWORD runEnd(const BYTE* src, DWORD from, DWORD limit, BYTE ch) {
    const __m128i pattern = _mm_set1_epi8(static_cast<char>(ch));
    DWORD i = from;
    for (; i + 16 <= limit; i += 16) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
      const unsigned differ = ~static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, pattern))) & 0xFFFFu;
      if (differ) return i + static_cast<DWORD>(std::countr_zero(differ));
    }
    if (i < limit && limit >= 16) {
      // The last bytes in one load ending at the limit, the bytes before
      // `i` (already seen) masked off.
      const DWORD at = limit - 16;
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + at));
      const unsigned same = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, pattern)));
      const unsigned differ = ~same & (0xFFFFu << (i - at)) & 0xFFFFu;
      return differ ? at + static_cast<DWORD>(std::countr_zero(differ)) : limit;
    }
    return WordScan::runEnd(src, i, limit, ch);
  }
  __attribute__((target("sse2"))) static DWORD pairStart(const BYTE* src, DWORD from, DWORD limit) {
    DWORD i = from;
    for (; i + 16 <= limit; i += 16) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
      const __m128i before = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i - 1));
      const unsigned equal = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, before)));
      if (equal) return i + static_cast<DWORD>(std::countr_zero(equal));
    }
    if (i < limit && limit >= 17) {
      const DWORD at = limit - 16;
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + at));
      const __m128i before = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + at - 1));
      const unsigned pairs = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, before)));
      const unsigned equal = pairs & (0xFFFFu << (i - at));
      return equal ? at + static_cast<DWORD>(std::countr_zero(equal)) : limit;
    }
    return WordScan::pairStart(src, i, limit);
  }
};

template <class Scan>
DWORD packRowWith(BYTE* dst, const BYTE* src, DWORD n) {
  if (!dst || !src || n == 0) return 0;
  DWORD pos = 0;
  DWORD out = 0;
  while (pos + 1 < n) {
    const BYTE ch = src[pos];
    const DWORD limit = n - pos > 128 ? pos + 128 : n;
    if (src[pos + 1] == ch) {
      const DWORD end = Scan::runEnd(src, pos + 2, limit, ch);
      dst[out++] = static_cast<BYTE>(1 - static_cast<int>(end - pos));
      dst[out++] = ch;
      pos = end;
    } else {
      // A literal stops before the second byte of a repeated pair; the
      // first byte of the pair stays in the literal.
      const DWORD end = Scan::pairStart(src, pos + 2, limit);
      const DWORD count = end - pos;
      dst[out++] = static_cast<BYTE>(count - 1);
      std::memcpy(dst + out, src + pos, count);
      out += count;
      pos = end;
    }
  }
  if (pos + 1 == n) {
    dst[out++] = 0x00;
    dst[out++] = src[pos];
  }
  return out;
}

}  // namespace

DWORD packRow(BYTE* dst, const BYTE* src, DWORD n) { return packRowWith<VectorScan>(dst, src, n); }

DWORD packRowWords(BYTE* dst, const BYTE* src, DWORD n) { return packRowWith<WordScan>(dst, src, n); }

DWORD hexRow(char* dst, const BYTE* src, DWORD n) {
  if (!dst || !src) return 0;
  static const char kDigits[] = "0123456789ABCDEF";
  for (DWORD i = 0; i < n; ++i) {
    dst[2 * i] = kDigits[src[i] >> 4];
    dst[2 * i + 1] = kDigits[src[i] & 0x0F];
  }
  return 2 * n;
}

bool fillGreyRect(const SurfaceDescription& surface, const RECTL& rect, int level, const WORD* table, LONG exactWidth,
                  LONG exactHeight) {
  if (surface.bitDepth != 1 || !surface.bits || !table || surface.bytesPerScanline <= 0) return false;
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
  if (last < left || bottom < top) return true;

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
  return true;
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

// Transposes an 8 x 8 bit block held in one word: row r in byte 7 - r
// (row 0 most significant), column 0 in each byte's top bit. Returns the
// block with column k in byte 7 - k, row 0 in its top bit. Every turned
// layout goes through it.
inline uint64_t transpose8x8(uint64_t x) {
  uint64_t t = (x ^ (x >> 7)) & 0x00AA00AA00AA00AAull;
  x = x ^ t ^ (t << 7);
  t = (x ^ (x >> 14)) & 0x0000CCCC0000CCCCull;
  x = x ^ t ^ (t << 14);
  t = (x ^ (x >> 28)) & 0x00000000F0F0F0F0ull;
  return x ^ t ^ (t << 28);
}

// Codes rows one at a time and stages them, raw or as text. Binary rows
// are coded straight into the staging area when more than the longest
// code of the row is free there, which saves copying every coded byte once
// more; put() would then have copied them to the same place without a
// write, so the bytes and the points at which the stage writes stay those
// of put().
class RowWriter {
 public:
  RowWriter(OutputStage& out, BYTE* coded, char* hex, bool binary)
      : out_(out), coded_(coded), hex_(hex), binary_(binary) {}
  void row(const BYTE* bytes, DWORD n) {
    if (binary_ && out_.staging && out_.fill < out_.capacity && out_.capacity - out_.fill > 2 * n) {
      out_.fill += packRow(out_.staging + out_.fill, bytes, n);
      return;
    }
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

// Sixteen bytes per step with SSE2, the rest one by one.
__attribute__((target("sse2"))) void invertBitmap(const SurfaceDescription& s) {
  const size_t total = static_cast<size_t>(s.bytesPerScanline) * static_cast<size_t>(s.height);
  BYTE* p = s.bits;
  const __m128i ones = _mm_set1_epi8(-1);
  size_t i = 0;
  for (; i + 16 <= total; i += 16) {
    __m128i* at = reinterpret_cast<__m128i*>(p + i);
    _mm_storeu_si128(at, _mm_xor_si128(_mm_loadu_si128(at), ones));
  }
  for (; i < total; ++i) p[i] = static_cast<BYTE>(~p[i]);
}

static_assert(std::endian::native == std::endian::little, "eight grey pixels are loaded as one little-endian word");

// The dither rule for one band, prepared so that eight pixels of band
// columns 8j .. 8j + 7 are turned into dots in one step whatever the
// band's page position: their page columns mod 16 depend only on the
// parity of j, so each of the two parities gets its eight columns' data.
// With a table of threshold shape (a pixel is white exactly when its level
// reaches its column's threshold, as threshold patterns build them), the
// data are the eight thresholds as the bytes of a word (column 0 in the
// lowest byte) and eight pixels are compared at once; any other table is
// read pixel by pixel with each column's shift and bit.
struct GreyDither {
  const WORD* table;
  bool byThreshold;
  uint64_t threshold[kDitherRows][2];
  unsigned shift[2][8];
  unsigned bit[2][8];
};

GreyDither makeGreyDither(const WORD* table, LONG bandX) {
  GreyDither d{table, table != nullptr, {}, {}, {}};
  for (int parity = 0; parity < 2; ++parity)
    for (int k = 0; k < 8; ++k) {
      const LONG px = bandX + 8 * parity + k;
      d.shift[parity][k] = patternShift(px);
      d.bit[parity][k] = 0x80u >> (px & 7);
    }
  for (int r = 0; r < kDitherRows && d.byThreshold; ++r) {
    for (int parity = 0; parity < 2 && d.byThreshold; ++parity) {
      for (int k = 0; k < 8; ++k) {
        const unsigned shift = d.shift[parity][k], bit = d.bit[parity][k];
        int t = 256;  // lowest level from which every level is white
        while (t > 0 && whiteBit(table + r, t - 1, shift, bit)) --t;
        bool below = false;
        for (int level = 0; level < t; ++level) below |= whiteBit(table + r, level, shift, bit) != 0;
        if (below || t > 255) {
          d.byThreshold = false;
          break;
        }
        d.threshold[r][parity] |= uint64_t(t) << (8 * k);
      }
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

// The printed dots of eight grey pixels of band columns 8j .. 8j + 7
// (`parity` = j & 1) on a scanline of pattern row `row`, first pixel in
// the top bit.
inline BYTE dotsOf8(const GreyDither& d, int row, int parity, const BYTE* grey) {
  if (d.byThreshold) return belowThreshold(load8(grey), d.threshold[row][parity]);
  const WORD* rowWords = d.table + row;
  unsigned white = 0;
  for (int k = 0; k < 8; ++k)
    if (whiteBit(rowWords, grey[k], d.shift[parity][k], d.bit[parity][k])) white |= 0x80u >> k;
  return static_cast<BYTE>(~white);
}

// Dithers `width` grey pixels of one scanline (pattern row `row`) into
// ceil(width / 8) bytes of dots; a short last byte is read from a white
// copy and its filler bits cleared.
void ditherLine(const GreyDither& d, int row, const BYTE* grey, LONG width, BYTE* dots) {
  const LONG whole = width / 8;
  for (LONG j = 0; j < whole; ++j) dots[j] = dotsOf8(d, row, static_cast<int>(j & 1), grey + 8 * j);
  const LONG rest = width - 8 * whole;
  if (rest == 0) return;
  BYTE last[8];
  std::memset(last, 0xFF, sizeof last);
  std::memcpy(last, grey + 8 * whole, static_cast<size_t>(rest));
  dots[whole] = static_cast<BYTE>(dotsOf8(d, row, static_cast<int>(whole & 1), last) & (0xFF00u >> rest));
}

// Portrait: scanlines top to bottom, a one-bit scanline as it is, a grey
// one dithered into `converted`.
void portraitRows(const RasterJob& job, const GreyDither& grey, RowWriter& rows, BYTE* converted) {
  const SurfaceDescription& s = job.surface;
  const BandEntry& b = job.band;
  const DWORD rowBytes = static_cast<DWORD>(ceilDiv(b.exactWidth, 8));
  for (LONG r = 0; r < b.exactHeight; ++r) {
    const BYTE* line = s.bits + static_cast<size_t>(r) * s.bytesPerScanline;
    if (s.bitDepth == 8) {
      ditherLine(grey, (b.y + r) & (kDitherRows - 1), line, b.exactWidth, converted);
      line = converted;
    }
    rows.row(line, rowBytes);
  }
}

// The scanline behind byte `bit` (7 = top bit) of row byte `at` of a turned
// one-bit band: rows read top-down, or bottom-up with byte 0 at the end.
inline LONG turnedLine(LONG at, int bit, LONG rowBytes, bool clockwise) {
  return clockwise ? 8 * (rowBytes - 1 - at) + bit : 8 * at + 7 - bit;
}

// The word way, one 8 x 8 block at a time: byte columns [q0, columns),
// row bytes [at0, at1).
void turnBlocks(const BYTE* bits, LONG stride, LONG lines, LONG c0, LONG q0, LONG columns, LONG at0, LONG at1,
                LONG rowBytes, bool clockwise, BYTE* rows) {
  for (LONG at = at0; at < at1; ++at) {
    const BYTE* src[8];
    for (int r = 0; r < 8; ++r) {
      const LONG line = turnedLine(at, 7 - r, rowBytes, clockwise);
      src[r] = line < lines ? bits + static_cast<size_t>(line) * stride + c0 : nullptr;
    }
    for (LONG q = q0; q < columns; ++q) {
      uint64_t x = 0;
      for (int r = 0; r < 8; ++r)
        if (src[r]) x |= uint64_t(src[r][q]) << (56 - 8 * r);
      x = transpose8x8(x);
      BYTE* out = rows + static_cast<size_t>(q) * 8 * rowBytes + at;
      for (int k = 0; k < 8; ++k) out[k * rowBytes] = static_cast<BYTE>(x >> (56 - 8 * k));
    }
  }
}

// Transposes eight vectors of eight 16-bit units: afterwards out[c] holds
// unit c of every input, unit i from p[i]. Three rounds interleave units,
// pairs and quadruples.
__attribute__((target("sse2"))) inline void transposeUnits8(const __m128i p[8], __m128i out[8]) {
  __m128i t[8], u[8];
#pragma GCC unroll 4
  for (int i = 0; i < 4; ++i) {
    t[2 * i] = _mm_unpacklo_epi16(p[2 * i], p[2 * i + 1]);
    t[2 * i + 1] = _mm_unpackhi_epi16(p[2 * i], p[2 * i + 1]);
  }
#pragma GCC unroll 2
  for (int h = 0; h < 2; ++h) {
    const int a = 4 * h;
    u[a] = _mm_unpacklo_epi32(t[a], t[a + 2]);
    u[a + 1] = _mm_unpackhi_epi32(t[a], t[a + 2]);
    u[a + 2] = _mm_unpacklo_epi32(t[a + 1], t[a + 3]);
    u[a + 3] = _mm_unpackhi_epi32(t[a + 1], t[a + 3]);
  }
#pragma GCC unroll 4
  for (int i = 0; i < 4; ++i) {
    out[2 * i] = _mm_unpacklo_epi64(u[i], u[i + 4]);
    out[2 * i + 1] = _mm_unpackhi_epi64(u[i], u[i + 4]);
  }
}

// One tile of kLines scanlines (32 or 16: four or two row bytes) by eight
// byte columns. `base` is the tile's first byte column on its lowest
// scanline and `offsets[j]` the distance to the scanline behind byte j of
// the column vectors: bit j % 8 of row byte j / 8 of the tile. Eight-byte
// loads of two scanlines are interleaved and turned as 16-bit units, so
// that col[h][c] holds byte column c of scanlines 16h .. 16h + 15; each of
// the eight mask extractions of a column then gives all kLines bits of
// one row, stored at once. A tile without a dot, or all dots (most of a
// label), turns into itself: only its 64 rows' bytes are written. Kept
// out of line: inlined into the loop over byte columns, the 64 row
// addresses were held on the stack and one reloaded for every store.
template <int kLines>
__attribute__((target("sse2"), noinline)) void turnTile(const BYTE* base, const ptrdiff_t* offsets, BYTE* out,
                                                     LONG rowBytes) {
  constexpr int kHalves = kLines / 16;
  __m128i col[kHalves][8];
#pragma GCC unroll 2
  for (int h = 0; h < kHalves; ++h) {
    __m128i p[8];
#pragma GCC unroll 8
    for (int i = 0; i < 8; ++i) {
      const __m128i a = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(base + offsets[16 * h + 2 * i]));
      const __m128i b = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(base + offsets[16 * h + 2 * i + 1]));
      p[i] = _mm_unpacklo_epi8(a, b);
    }
    transposeUnits8(p, col[h]);
  }
  __m128i any = col[0][0], all = col[0][0];
#pragma GCC unroll 2
  for (int h = 0; h < kHalves; ++h)
#pragma GCC unroll 8
    for (int c = 0; c < 8; ++c) {
      any = _mm_or_si128(any, col[h][c]);
      all = _mm_and_si128(all, col[h][c]);
    }
  const bool blank = _mm_movemask_epi8(_mm_cmpeq_epi8(any, _mm_setzero_si128())) == 0xFFFF;
  if (blank || _mm_movemask_epi8(_mm_cmpeq_epi8(all, _mm_set1_epi8(-1))) == 0xFFFF) {
    const uint32_t fill = blank ? 0 : 0xFFFFFFFFu;
    for (int r = 0; r < 64; ++r) std::memcpy(out + r * rowBytes, &fill, kLines / 8);
    return;
  }
  // The 64 rows one after the other, the row pointer stepped by one row.
  BYTE* row = out;
#pragma GCC unroll 8
  for (int c = 0; c < 8; ++c) {
#pragma GCC unroll 8
    for (int k = 0; k < 8; ++k, row += rowBytes) {
      // Mask bits 8i .. 8i + 7 are row byte i, first pixel lowest: one
      // little-endian store.
      uint32_t mask = static_cast<uint32_t>(_mm_movemask_epi8(col[0][c]));
      col[0][c] = _mm_add_epi8(col[0][c], col[0][c]);
      if constexpr (kHalves == 2) {
        mask |= static_cast<uint32_t>(_mm_movemask_epi8(col[1][c])) << 16;
        col[1][c] = _mm_add_epi8(col[1][c], col[1][c]);
      }
      std::memcpy(row, &mask, kLines / 8);
    }
  }
}

// The distances from a group's lowest scanline to the scanline behind
// each bit of its kLines / 8 row bytes, in scanline strides: the same for
// every group of a turn.
template <int kLines>
void tileOffsets(LONG stride, LONG rowBytes, bool clockwise, ptrdiff_t* offsets) {
  const LONG low = clockwise ? turnedLine(kLines / 8 - 1, 0, rowBytes, true) : 0;
  for (int j = 0; j < kLines; ++j)
    offsets[j] = static_cast<ptrdiff_t>(turnedLine(j / 8, j % 8, rowBytes, clockwise) - low) * stride;
}

// Row bytes [at, at + kLines / 8) of every byte column: whole tiles where
// all the group's scanlines are inside the bitmap, the rest the word way.
template <int kLines>
void turnTileRow(const BYTE* bits, LONG stride, LONG lines, LONG c0, LONG columns, LONG at, LONG rowBytes,
                 bool clockwise, const ptrdiff_t* offsets, BYTE* rows) {
  const LONG low = clockwise ? turnedLine(at + kLines / 8 - 1, 0, rowBytes, true) : turnedLine(at, 7, rowBytes, false);
  LONG q0 = 0;
  if (low + kLines <= lines) {
    const BYTE* base = bits + static_cast<size_t>(low) * stride + c0;
    for (; q0 + 8 <= columns; q0 += 8)
      turnTile<kLines>(base + q0, offsets, rows + static_cast<size_t>(q0) * 8 * rowBytes + at, rowBytes);
  }
  if (q0 < columns) turnBlocks(bits, stride, lines, c0, q0, columns, at, at + kLines / 8, rowBytes, clockwise, rows);
}

// Tiles of 32 scanlines by 8 byte columns, then a last pair of row bytes
// in tiles of 16 scanlines; an odd last row byte, the last byte columns
// short of 8 and scanlines outside the bitmap go the word way.
void turnTiles(const BYTE* bits, LONG stride, LONG lines, LONG c0, LONG columns, LONG rowBytes, bool clockwise,
               BYTE* rows) {
  ptrdiff_t offsets32[32], offsets16[16];
  tileOffsets<32>(stride, rowBytes, clockwise, offsets32);
  tileOffsets<16>(stride, rowBytes, clockwise, offsets16);
  LONG at = 0;
  for (; at + 4 <= rowBytes; at += 4)
    turnTileRow<32>(bits, stride, lines, c0, columns, at, rowBytes, clockwise, offsets32, rows);
  if (at + 2 <= rowBytes) {
    turnTileRow<16>(bits, stride, lines, c0, columns, at, rowBytes, clockwise, offsets16, rows);
    at += 2;
  }
  turnBlocks(bits, stride, lines, c0, 0, columns, at, rowBytes, rowBytes, clockwise, rows);
}

}  // namespace

void turnColumns(const BYTE* bits, LONG stride, LONG lines, LONG c0, LONG columns, LONG rowBytes, bool clockwise,
                 BYTE* rows) {
  turnTiles(bits, stride, lines, c0, columns, rowBytes, clockwise, rows);
}

void turnColumnsWords(const BYTE* bits, LONG stride, LONG lines, LONG c0, LONG columns, LONG rowBytes, bool clockwise,
                      BYTE* rows) {
  turnBlocks(bits, stride, lines, c0, 0, columns, 0, rowBytes, rowBytes, clockwise, rows);
}

namespace {

// One-bit landscape, a pass of byte columns at a time: their rows are
// turned into `block` and sent. Clockwise rows go out left to right;
// counter-clockwise rows right to left, skipping the filler columns beyond
// the printable area's right edge.
void landscapeRows1(const RasterJob& job, RowWriter& rows, BYTE* block, LONG rowBytes) {
  const SurfaceDescription& s = job.surface;
  const BandEntry& b = job.band;
  const LONG byteColumns = ceilDiv(b.exactWidth, 8);
  // As many byte columns per pass as their rows fit in the scratch area (at
  // least four: rows are at most kMaxRowBytes), and no more than 32, so
  // that the cache lines of the rows being written stay in the first-level
  // cache while the pass walks down the scanlines; whole vector tiles.
  LONG perPass = static_cast<LONG>(kScratchArea / (8 * static_cast<DWORD>(rowBytes)));
  if (perPass > 32) perPass = 32;
  if (perPass > 16) perPass -= perPass % 16;
  const bool clockwise = job.layout == PageLayout::LandscapeRotated;
  auto turn = [&](LONG c0, LONG columns) {
    turnColumns(s.bits, s.bytesPerScanline, s.height, c0, columns, rowBytes, clockwise, block);
  };
  if (clockwise) {
    for (LONG c0 = 0; c0 < byteColumns; c0 += perPass) {
      const LONG columns = byteColumns - c0 < perPass ? byteColumns - c0 : perPass;
      turn(c0, columns);
      for (LONG k = 0; k < 8 * columns; ++k) rows.row(block + k * rowBytes, static_cast<DWORD>(rowBytes));
    }
    return;
  }
  LONG counter = job.printableWidth - b.x - 8 * byteColumns;
  LONG written = 0;
  for (LONG end = byteColumns; end > 0 && written < b.exactWidth; end -= perPass) {
    const LONG c0 = end - perPass > 0 ? end - perPass : 0;
    const LONG columns = end - c0;
    turn(c0, columns);
    for (LONG k = 8 * columns - 1; k >= 0 && written < b.exactWidth; --k) {
      if (counter++ < 0) continue;
      rows.row(block + k * rowBytes, static_cast<DWORD>(rowBytes));
      ++written;
    }
  }
}

// Groups of eight band columns dithered per pass: a span of up to 512
// bytes (eight cache lines) of every scanline, in whole cache lines'
// worth, and no more than their dithered columns (one byte per scanline
// and group) fit in one scratch area. bandFits keeps landscape heights
// below 8 * (kMaxRowBytes + 1), so a pass has at least 4 groups.
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

// Dithers `groups` groups of eight columns from band column `first` (a
// multiple of 8) into `columns`: byte `line` of column group q, at
// q * height + line, holds the eight printed dots of that scanline. The
// bitmap is read top-down, a contiguous span of each scanline, so every
// cache line fetched is used whole before the next scanline's span; the
// stores go to `groups` sequential streams.
void ditherGroups(const RasterJob& job, const GreyDither& grey, LONG first, LONG groups, BYTE* columns) {
  const SurfaceDescription& s = job.surface;
  const BandEntry& b = job.band;
  const LONG height = b.exactHeight;
  const LONG span = 8 * groups;
  const LONG firstGroup = first / 8;
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
      // dotsOf8 with its choice taken once per scanline.
      const uint64_t* thresholds = grey.threshold[row];
      for (LONG q = 0; q < groups; ++q)
        out[static_cast<size_t>(q) * height] = belowThreshold(load8(src + 8 * q), thresholds[(firstGroup + q) & 1]);
    } else {
      for (LONG q = 0; q < groups; ++q)
        out[static_cast<size_t>(q) * height] = dotsOf8(grey, row, static_cast<int>((firstGroup + q) & 1), src + 8 * q);
    }
  }
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

// The last band columns short of a group of eight: row k of `block` is
// column first + k, dithered pixel by pixel.
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

// Eight-bit landscape. The columns split into groups of eight from the
// band's left edge, taken `groupsPerPass` at a time, and a tail of fewer
// than eight. Rows go out left to right (clockwise) or right to left. A
// pass dithers its groups into scratch area 0 reading the bitmap in its
// own order, then turns them group by group into eight rows at a time in
// `block`.
void landscapeRows8(const RasterJob& job, const GreyDither& grey, RowWriter& rows, BYTE* columns, BYTE* block,
                    LONG rowBytes) {
  const LONG width = job.band.exactWidth;
  const LONG height = job.band.exactHeight;
  const bool clockwise = job.layout == PageLayout::LandscapeRotated;
  const LONG perPass = groupsPerPass(height);
  const LONG runs = width / 8;
  const LONG tailStart = 8 * runs;

  auto send = [&](LONG count) {
    if (clockwise)
      for (LONG k = 0; k < count; ++k) rows.row(block + k * rowBytes, static_cast<DWORD>(rowBytes));
    else
      for (LONG k = count - 1; k >= 0; --k) rows.row(block + k * rowBytes, static_cast<DWORD>(rowBytes));
  };
  auto tail = [&]() {
    if (tailStart == width) return;
    ditherColumns(job, tailStart, width - tailStart, rowBytes, clockwise, block);
    send(width - tailStart);
  };
  auto pass = [&](LONG run, LONG n) {
    ditherGroups(job, grey, 8 * run, n, columns);
    for (LONG i = 0; i < n; ++i) {
      const LONG q = clockwise ? i : n - 1 - i;
      turnGroup(columns + static_cast<size_t>(q) * height, height, rowBytes, clockwise, block);
      send(8);
    }
  };
  if (clockwise) {
    for (LONG run = 0; run < runs; run += perPass) pass(run, runs - run < perPass ? runs - run : perPass);
    tail();
    return;
  }
  tail();
  for (LONG end = runs; end > 0; end -= perPass) {
    const LONG run = end - perPass > 0 ? end - perPass : 0;
    pass(run, end - run);
  }
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
  support::HeapBlock<char> hex(kHexBufferSize);
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
  const GreyDither grey = makeGreyDither(job.colorMode == 1 ? job.dither : nullptr, job.band.x);
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
