// Band layout, row codes, the GRAPH encoder's six layouts and the grey fill.
#include "raster.h"

#include <gtest/gtest.h>
#include <sim/world.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

using namespace driver;

namespace {

using Bytes = std::vector<BYTE>;

// ---- packRow / hexRow ---------------------------------------------------------

// Reference decoder of the row code, for checking what packRow produced.
Bytes unpack(const BYTE* p, size_t n) {
  Bytes out;
  size_t i = 0;
  while (i < n) {
    int8_t h = static_cast<int8_t>(p[i++]);
    if (h >= 0) {
      out.insert(out.end(), p + i, p + i + h + 1);
      i += h + 1;
    } else {
      out.insert(out.end(), size_t(1 - h), p[i++]);
    }
  }
  return out;
}

Bytes repeat(size_t n, BYTE v) { return Bytes(n, v); }
Bytes ascii(const char* s) { return Bytes(s, s + std::strlen(s)); }
Bytes concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}
Bytes counting(size_t n) {
  Bytes b(n);
  for (size_t i = 0; i < n; ++i) b[i] = static_cast<BYTE>(i);
  return b;
}

struct PackCase {
  const char* name;
  Bytes input;
  Bytes expected;
};

const PackCase kPackCases[] = {
    {"OneByte", {0x41}, {0x00, 0x41}},
    {"TwoEqual", {0x07, 0x07}, {0xFF, 0x07}},
    {"ZeroRowOf110", repeat(110, 0), {0x93, 0x00}},
    {"AAAB", ascii("AAAB"), {0xFE, 0x41, 0x00, 0x42}},
    {"ABCCC", ascii("ABCCC"), {0x02, 0x41, 0x42, 0x43, 0xFF, 0x43}},
    {"ABB", ascii("ABB"), {0x01, 0x41, 0x42, 0x00, 0x42}},
    {"TopLeftDot", concat({0x80}, repeat(109, 0)), {0x01, 0x80, 0x00, 0x95, 0x00}},
    {"RunOf128", repeat(128, 9), {0x81, 0x09}},
    {"RunOf129", repeat(129, 9), {0x81, 0x09, 0x00, 0x09}},
    {"RunOf130", repeat(130, 9), {0x81, 0x09, 0xFF, 0x09}},
    {"LiteralOf129", counting(129), concat(concat({0x7F}, counting(128)), {0x00, 0x80})},
};

// Both ways of finding runs and pairs: 16-byte vectors (packRow) and
// machine words, on the same inputs.
struct Coder {
  const char* name;
  DWORD (*pack)(BYTE*, const BYTE*, DWORD);
};
const Coder kCoders[] = {{"Vectors", packRow}, {"Words", packRowWords}};

class PackRow : public ::testing::TestWithParam<PackCase> {};

TEST_P(PackRow, CodesAsListed) {
  const PackCase& c = GetParam();
  for (const Coder& coder : kCoders) {
    Bytes out(2 * c.input.size() + 2, 0xEE);
    DWORD n = coder.pack(out.data(), c.input.data(), static_cast<DWORD>(c.input.size()));
    EXPECT_EQ(Bytes(out.begin(), out.begin() + n), c.expected) << coder.name;
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, PackRow, ::testing::ValuesIn(kPackCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PackRowEdges, NothingForEmptyOrNullInput) {
  BYTE src[1] = {1}, dst[4];
  for (const Coder& coder : kCoders) {
    EXPECT_EQ(coder.pack(dst, src, 0), 0u) << coder.name;
    EXPECT_EQ(coder.pack(nullptr, src, 1), 0u) << coder.name;
    EXPECT_EQ(coder.pack(dst, nullptr, 1), 0u) << coder.name;
  }
}

// Rows of few values (long runs and short ones) and of any byte with an
// equal pair planted somewhere (long literals that end anywhere in a word
// or vector): each decodes back, within twice its length, and both coders
// give the same bytes.
TEST(PackRowEdges, RandomRowsDecodeBackWithinTwiceTheirLength) {
  std::mt19937 rng(7);
  for (int trial = 0; trial < 1000; ++trial) {
    size_t n = 1 + rng() % 700;
    Bytes row(n);
    const bool anyByte = trial % 2 == 1;
    int alphabet = anyByte ? 256 : 1 + static_cast<int>(rng() % 4);
    for (auto& b : row) b = static_cast<BYTE>(rng() % alphabet);
    if (anyByte && n > 1) {
      const size_t at = 1 + rng() % (n - 1);
      row[at] = row[at - 1];
    }
    Bytes code(2 * n), words(2 * n);
    DWORD len = packRow(code.data(), row.data(), static_cast<DWORD>(n));
    ASSERT_LE(len, 2 * n);
    EXPECT_EQ(unpack(code.data(), len), row) << "trial " << trial;
    DWORD wordLen = packRowWords(words.data(), row.data(), static_cast<DWORD>(n));
    ASSERT_EQ(Bytes(words.begin(), words.begin() + wordLen), Bytes(code.begin(), code.begin() + len))
        << "trial " << trial;
    for (size_t i = 0; i < len;) {  // walk the headers: 0x80 never appears
      ASSERT_NE(code[i], 0x80);
      int8_t h = static_cast<int8_t>(code[i]);
      i += h >= 0 ? h + 2 : 2;
    }
  }
}

TEST(HexRow, TwoUpperCaseDigitsPerByte) {
  const BYTE code[] = {0x93, 0x00, 0xAB, 0x0F};
  char text[8];
  EXPECT_EQ(hexRow(text, code, 4), 8u);
  EXPECT_EQ(std::string(text, 8), "9300AB0F");
  EXPECT_EQ(hexRow(nullptr, code, 4), 0u);
}

// ---- turnColumns ---------------------------------------------------------------

// Byte columns of a one-bit bitmap turned into rows, by the vector tiles
// and by the word path, on the same bitmap (patches of blank, solid and
// random bits); every bit is checked against the definition. Shapes: whole
// tiles only, tiles and leftover columns, tiles of 32 and of 16 scanlines,
// an odd row byte count, scanlines short of 8 * rowBytes (blank), an
// offset first column.
struct TurnCase {
  const char* name;
  LONG lines, stride, c0, columns, rowBytes;
};
const TurnCase kTurnCases[] = {
    {"WholeTiles", 64, 40, 0, 32, 8},
    {"TilesAndLeftoverColumns", 48, 40, 3, 37, 6},
    {"ThirtyTwoAndSixteenScanlineTiles", 48, 24, 0, 24, 6},
    {"OddRowBytes", 40, 20, 0, 16, 5},
    {"ShortOfTheLastScanlines", 29, 24, 1, 21, 4},
    {"OneByteColumn", 16, 2, 1, 1, 2},
};

class TurnColumns : public ::testing::TestWithParam<TurnCase> {};

TEST_P(TurnColumns, BothPathsTurnEveryBit) {
  const TurnCase& c = GetParam();
  std::mt19937 rng(5);
  Bytes bits(size_t(c.lines) * c.stride);
  // Patches of 32 scanlines by 8 byte columns: blank, all dots, random, so
  // that whole tiles of either kind occur beside mixed ones.
  for (size_t i = 0; i < bits.size(); ++i) {
    const size_t stripe = (i / c.stride / 32 + i % c.stride / 8) % 3;
    bits[i] = stripe == 0 ? 0x00 : stripe == 1 ? 0xFF : static_cast<BYTE>(rng());
  }
  for (bool clockwise : {false, true}) {
    const size_t size = size_t(c.columns) * 8 * c.rowBytes;
    Bytes vectors(size, 0xEE), words(size, 0xEE);
    turnColumns(bits.data(), c.stride, c.lines, c.c0, c.columns, c.rowBytes, clockwise, vectors.data());
    turnColumnsWords(bits.data(), c.stride, c.lines, c.c0, c.columns, c.rowBytes, clockwise, words.data());
    ASSERT_EQ(vectors, words) << (clockwise ? "clockwise" : "counter-clockwise");
    for (LONG row = 0; row < 8 * c.columns; ++row)
      for (LONG j = 0; j < 8 * c.rowBytes; ++j) {
        const LONG line = clockwise ? 8 * c.rowBytes - 1 - j : j;
        const LONG px = 8 * c.c0 + row;
        const bool set = line < c.lines && (bits[size_t(line) * c.stride + px / 8] & (0x80 >> (px % 8)));
        const bool got = words[size_t(row) * c.rowBytes + j / 8] & (0x80 >> (j % 8));
        ASSERT_EQ(got, set) << (clockwise ? "clockwise" : "counter-clockwise") << " row " << row << " bit " << j;
      }
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, TurnColumns, ::testing::ValuesIn(kTurnCases),
                         [](const ::testing::TestParamInfo<TurnCase>& i) { return std::string(i.param.name); });

// ---- encodeBand -----------------------------------------------------------------

// A band bitmap plus everything the encoder needs, writing into `sink`.
struct Band {
  int depth;
  LONG width, height;  // exact band size
  LONG allocWidth, allocHeight, stride;
  Bytes bits;
  Bytes scratch = Bytes(kGraphScratchSize);
  std::vector<WORD> table = std::vector<WORD>(kDitherTableWords);
  Bytes staging = Bytes(kStagingCapacity);
  Bytes sink;
  OutputStage out{};
  RasterJob job{};

  Band(int depth_, LONG w, LONG h) : depth(depth_), width(w), height(h) {
    allocWidth = depth == 1 ? (w + 31) / 32 * 32 : (w + 3) / 4 * 4;
    allocHeight = depth == 1 ? (h + 7) / 8 * 8 : h;
    stride = depth == 1 ? allocWidth / 8 : allocWidth;
    bits.assign(static_cast<size_t>(stride) * allocHeight, 0xFF);  // white
    // Level 0 prints every dot, level 255 none.
    for (DWORD i = 0; i < kDitherTableWords; ++i) table[i] = i / kDitherRows == 0 ? 0x0000 : 0xFFFF;
    out.staging = staging.data();
    out.capacity = kStagingCapacity;
    out.writer = [](void* ctx, const BYTE* d, DWORD n, DWORD* done) {
      auto* s = static_cast<Bytes*>(ctx);
      s->insert(s->end(), d, d + n);
      *done = n;
      return true;
    };
    out.context = &sink;
    job.surface = {depth, bits.data(), allocWidth, allocHeight, stride};
    job.band = {0, 0, allocWidth, allocHeight, w, h, stride, kBandEncode};
    job.printableWidth = w;
    job.layout = PageLayout::Portrait;
    job.colorMode = depth == 1 ? 0 : 1;
    job.graphicsMode = 1;
    job.dither = table.data();
    job.scratch = scratch.data();
    job.scratchSize = kGraphScratchSize;
  }
  void landscape(bool rotated) {
    job.layout = rotated ? PageLayout::LandscapeRotated : PageLayout::LandscapeReversed;
  }
  // Draws a black dot at band position (x, y).
  void dot(LONG x, LONG y) {
    if (depth == 1)
      bits[y * stride + x / 8] &= static_cast<BYTE>(~(0x80 >> (x % 8)));
    else
      bits[y * stride + x] = 0;
  }
  EncodeResult encode() {
    EncodeResult r = encodeBand(out, job);
    out.flush();
    return r;
  }
};

// One parsed GRAPH command: its header and its rows as bit matrices.
struct Graph {
  int x = -1, y = -1, wd = -1, ht = -1, md = -1;
  std::vector<Bytes> rows;
  bool bit(size_t row, size_t j) const { return rows[row][j / 8] & (0x80 >> (j % 8)); }
  size_t dots() const {
    size_t n = 0;
    for (auto& r : rows)
      for (BYTE b : r) n += __builtin_popcount(b);
    return n;
  }
};

// Rows are split by the header, except in the clockwise (rotation-on)
// layout, whose header keeps the band's unturned size: pass the surface
// depth as `clockwiseDepth` there, and rows are then ceil(HT / 8) bytes,
// 8 * ceil(WD / 8) of them for one bit and WD for grey.
Graph parseGraph(const Bytes& s, bool hex, int clockwiseDepth = 0) {
  Graph g;
  std::string text(s.begin(), s.end());
  size_t eol = text.find("\r\n");
  EXPECT_NE(eol, std::string::npos);
  EXPECT_EQ(std::sscanf(text.c_str(), "GRAPH X=%d,Y=%d,WD=%d,HT=%d,MD=%d", &g.x, &g.y, &g.wd, &g.ht, &g.md), 5);
  Bytes data;
  size_t i = eol + 2;
  if (hex) {
    for (; i + 1 < s.size() && s[i] != '\r'; i += 2) data.push_back(static_cast<BYTE>(std::stoi(text.substr(i, 2), nullptr, 16)));
  } else {
    data.assign(s.begin() + i, s.end() - 2);
  }
  EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
  // Rows are coded one by one: decode run by run, cutting at each row's length.
  size_t rowBytes = (g.wd + 7) / 8;
  int rowCount = g.ht;
  if (clockwiseDepth) {
    rowBytes = (g.ht + 7) / 8;
    rowCount = clockwiseDepth == 1 ? (g.wd + 7) / 8 * 8 : g.wd;
  }
  size_t p = 0;
  for (int r = 0; r < rowCount; ++r) {
    Bytes row;
    while (row.size() < rowBytes && p < data.size()) {
      int8_t h = static_cast<int8_t>(data[p++]);
      if (h >= 0) {
        row.insert(row.end(), data.begin() + p, data.begin() + p + h + 1);
        p += h + 1;
      } else {
        row.insert(row.end(), size_t(1 - h), data[p++]);
      }
    }
    EXPECT_EQ(row.size(), rowBytes) << "row " << r;
    g.rows.push_back(row);
  }
  EXPECT_EQ(p, data.size()) << "bytes left after the rows";
  return g;
}

TEST(EncodeBand, BlankOneBitPortraitPageOfModelADefaultLabel) {
  for (bool hex : {false, true}) {
    Band b(1, 879, 423);
    b.job.graphicsMode = hex ? 0 : 1;
    ASSERT_EQ(b.encode(), EncodeResult::Written);
    std::string expected = "GRAPH X=0,Y=0,WD=879,HT=423,MD=2\r\n";
    for (int r = 0; r < 423; ++r) expected += hex ? std::string("9300") : std::string("\x93\x00", 2);
    expected += "\r\n";
    EXPECT_EQ(std::string(b.sink.begin(), b.sink.end()), expected) << (hex ? "hex" : "binary");
  }
}

TEST(EncodeBand, TopLeftDotCodesTheFirstRow) {
  Band b(1, 879, 423);
  b.dot(0, 0);
  ASSERT_EQ(b.encode(), EncodeResult::Written);
  const std::string header = "GRAPH X=0,Y=0,WD=879,HT=423,MD=2\r\n";
  Bytes first(b.sink.begin() + header.size(), b.sink.begin() + header.size() + 7);
  EXPECT_EQ(first, (Bytes{0x01, 0x80, 0x00, 0x95, 0x00, 0x93, 0x00}));
}

TEST(EncodeBand, OneBitBitmapIsInvertedInPlace) {
  Band b(1, 40, 8);
  b.dot(3, 2);
  Bytes before = b.bits;
  b.encode();
  for (size_t i = 0; i < before.size(); ++i) ASSERT_EQ(b.bits[i], BYTE(~before[i])) << i;
}

TEST(EncodeBand, UnrotatedLandscapeSkipsTheFillerColumns) {
  Band b(1, 879, 423);
  b.landscape(false);
  for (LONG y = 0; y < 423; ++y) b.dot(880, y);  // filler column: never sent
  b.dot(878, 5);                                 // the rightmost real column comes first
  b.dot(0, 422);
  ASSERT_EQ(b.encode(), EncodeResult::Written);
  Graph g = parseGraph(b.sink, false);
  EXPECT_EQ((std::vector<int>{g.x, g.y, g.wd, g.ht, g.md}), (std::vector<int>{0, 0, 423, 879, 2}));
  ASSERT_EQ(g.rows.size(), 879u);
  EXPECT_EQ(g.dots(), 2u);
  EXPECT_TRUE(g.bit(0, 5));
  EXPECT_TRUE(g.bit(878, 422));
}

// Rotation on: the header keeps the band's unturned size while the rows
// are its columns (whole bytes of scanlines, ceil(H / 8) each): 8 * ceil(W / 8)
// of them in one-bit mode, W in grey.
TEST(EncodeBand, ClockwiseHeaderKeepsTheUnturnedBandSize) {
  for (int depth : {1, 8}) {
    Band b(depth, 13, 10);
    b.landscape(true);
    b.job.band.x = 8;
    b.job.band.y = 24;
    b.job.printableWidth = 21;
    ASSERT_EQ(b.encode(), EncodeResult::Written);
    const std::string header = "GRAPH X=24,Y=8,WD=13,HT=10,MD=2\r\n";
    EXPECT_EQ(std::string(b.sink.begin(), b.sink.begin() + header.size()), header) << "depth " << depth;
    // Splitting the rows that way uses every coded byte, each row whole.
    parseGraph(b.sink, false, depth);
  }
}

// Where a single dot drawn at band position (x, y) must appear: row and
// bit in the rows sent, or nowhere (row -1).
struct DotCase {
  int depth;
  int layout;  // 0 portrait, 1 clockwise, 2 counter-clockwise
  LONG x, y;
  int row, bit;
};

// Band 13 x 10 dots: neither multiple of 8, so filler columns and
// scanlines are present in the one-bit bitmap (32 x 16).
const DotCase kDotCases[] = {
    {1, 0, 0, 0, 0, 0},   {1, 0, 12, 9, 9, 12},  {1, 0, 5, 3, 3, 5},
    {1, 1, 0, 0, 0, 15},  {1, 1, 12, 9, 12, 6},  {1, 1, 14, 2, 14, 13},  // filler column 14 is sent
    {1, 2, 0, 0, 12, 0},  {1, 2, 12, 9, 0, 9},   {1, 2, 14, 2, -1, 0},   // filler column 14 is not
    {8, 0, 0, 0, 0, 0},   {8, 0, 12, 9, 9, 12},  {8, 1, 0, 0, 0, 9},
    {8, 1, 12, 9, 12, 0}, {8, 1, 7, 4, 7, 5},    {8, 2, 0, 0, 12, 0},
    {8, 2, 12, 9, 0, 9},  {8, 2, 8, 1, 4, 1},
};

class EncodeDot : public ::testing::TestWithParam<DotCase> {};

TEST_P(EncodeDot, LandsWhereTheLayoutPutsIt) {
  const DotCase& c = GetParam();
  Band b(c.depth, 13, 10);
  if (c.layout) b.landscape(c.layout == 1);
  b.dot(c.x, c.y);
  ASSERT_EQ(b.encode(), EncodeResult::Written);
  Graph g = parseGraph(b.sink, false, c.layout == 1 ? c.depth : 0);
  GraphHeader h = graphHeaderFor(b.job);
  EXPECT_EQ((std::vector<int>{g.x, g.y, g.wd, g.ht}), (std::vector<int>{h.x, h.y, h.width, h.height}));
  if (c.row < 0) {
    EXPECT_EQ(g.dots(), 0u);
    return;
  }
  EXPECT_EQ(g.dots(), 1u);
  ASSERT_LT(size_t(c.row), g.rows.size());
  EXPECT_TRUE(g.bit(c.row, c.bit));
}

std::string dotCaseName(const ::testing::TestParamInfo<DotCase>& info) {
  const DotCase& c = info.param;
  static const char* const kLayouts[] = {"Portrait", "Clockwise", "CounterClockwise"};
  return std::string(c.depth == 1 ? "OneBit" : "Grey") + kLayouts[c.layout] + "At" + std::to_string(c.x) + "_" +
         std::to_string(c.y);
}

INSTANTIATE_TEST_SUITE_P(Cases, EncodeDot, ::testing::ValuesIn(kDotCases), dotCaseName);

struct HeaderCase {
  const char* name;
  int depth;
  int layout;
  LONG bandX, bandY, printableWidth;
  std::vector<int> header;  // X, Y, WD, HT
};

const HeaderCase kHeaderCases[] = {
    {"PortraitOneBit", 1, 0, 0, 0, 13, {0, 0, 13, 10}},
    {"PortraitEightBitBand", 8, 0, 0, 40, 13, {0, 40, 13, 10}},
    {"ClockwiseOneBit", 1, 1, 0, 0, 13, {0, 0, 13, 10}},
    {"ClockwiseOneBitBand", 1, 1, 0, 16, 13, {16, 0, 13, 10}},
    {"ClockwiseEightBitStrip", 8, 1, 24, 0, 37, {0, 24, 13, 10}},
    {"CounterClockwiseOneBit", 1, 2, 0, 0, 13, {0, 0, 10, 13}},
    {"CounterClockwiseEightBitLeftStrip", 8, 2, 0, 0, 37, {0, 24, 10, 13}},
    {"CounterClockwiseEightBitRightStrip", 8, 2, 24, 0, 37, {0, 0, 10, 13}},
};

class EncodeHeader : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(EncodeHeader, PositionAndSize) {
  const HeaderCase& c = GetParam();
  Band b(c.depth, 13, 10);
  if (c.layout) b.landscape(c.layout == 1);
  b.job.band.x = c.bandX;
  b.job.band.y = c.bandY;
  b.job.printableWidth = c.printableWidth;
  ASSERT_EQ(b.encode(), EncodeResult::Written);
  Graph g = parseGraph(b.sink, false, c.layout == 1 ? c.depth : 0);
  EXPECT_EQ((std::vector<int>{g.x, g.y, g.wd, g.ht}), c.header);
  EXPECT_EQ(g.md, 2);
}

INSTANTIATE_TEST_SUITE_P(Cases, EncodeHeader, ::testing::ValuesIn(kHeaderCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A table whose every column turns white from a threshold on, as the
// threshold pattern kinds build it (16 x 16 random thresholds).
std::vector<WORD> thresholdTable(std::mt19937& rng) {
  BYTE threshold[16][16];
  for (auto& row : threshold)
    for (auto& t : row) t = static_cast<BYTE>(rng());
  std::vector<WORD> table(kDitherTableWords);
  for (int level = 0; level < 256; ++level)
    for (int r = 0; r < 16; ++r) {
      WORD w = 0;
      for (int c = 0; c < 16; ++c)
        if (level >= threshold[r][c]) w |= c < 8 ? WORD(0x80 >> c) : WORD(0x8000 >> (c - 8));
      table[level * 16 + r] = w;
    }
  return table;
}

// Every output bit of the 8-bit layouts is the inverse of the dither
// table's bit at the pixel's page position, whatever the band's origin and
// size, for threshold-shaped tables and arbitrary ones. Wide bands take
// several passes over the bitmap, the last one partial; heights off the
// 8-dot grid leave a short last byte in every landscape row.
struct GreyCase {
  const char* name;
  LONG width, height, bx, by;
};
const GreyCase kGreyCases[] = {
    {"OffGrid", 21, 19, 12, 7},             // lead 4, two groups, tail 1
    {"OnGrid", 40, 19, 16, 7},              // five groups, no edges
    {"SeveralTallPasses", 491, 1100, 5, 5},  // lead 3, 61 groups in two passes, odd pattern half first
    {"SeveralShortPasses", 566, 5, 0, 9},     // 70 groups in two passes, tail 6, rows of one byte
};

class EncodeGrey : public ::testing::TestWithParam<GreyCase> {};

TEST_P(EncodeGrey, FollowsTheDitherRuleAtPagePositions) {
  const GreyCase& c = GetParam();
  std::mt19937 rng(11);
  for (int variant = 0; variant < 6; ++variant) {
    const int layout = variant % 3;
    const bool thresholds = variant >= 3;
    Band b(8, c.width, c.height);
    if (layout) b.landscape(layout == 1);
    if (thresholds)
      b.table = thresholdTable(rng);
    else
      for (auto& w : b.table) w = static_cast<WORD>(rng());
    b.job.dither = b.table.data();
    for (auto& p : b.bits) p = static_cast<BYTE>(rng());
    b.job.band.x = c.bx;
    b.job.band.y = c.by;
    b.job.printableWidth = c.bx + c.width;
    Bytes grey = b.bits;
    ASSERT_EQ(b.encode(), EncodeResult::Written);
    Graph g = parseGraph(b.sink, false, layout == 1 ? 8 : 0);
    ASSERT_EQ(g.rows.size(), size_t(layout == 0 ? c.height : c.width)) << "variant " << variant;
    for (LONG y = 0; y < c.height; ++y) {
      for (LONG x = 0; x < c.width; ++x) {
        LONG px = c.bx + x, py = c.by + y;
        WORD w = b.table[grey[y * b.stride + x] * 16 + py % 16];
        BYTE pattern = (px / 8) % 2 ? BYTE(w >> 8) : BYTE(w);
        bool printed = !(pattern & (0x80 >> (px % 8)));
        int row = layout == 0 ? y : layout == 1 ? x : c.width - 1 - x;
        int bit = layout == 0 ? x : layout == 1 ? c.height - 1 - y : y;
        ASSERT_EQ(g.bit(row, bit), printed) << "variant " << variant << " at " << x << "," << y;
      }
    }
    // A row's filler bits past the band (a short last byte) stay clear,
    // whatever the table says of the grey they were padded with.
    const LONG sent = layout == 0 ? c.width : c.height;
    for (size_t row = 0; row < g.rows.size(); ++row)
      for (LONG bit = sent; bit < LONG(8 * g.rows[row].size()); ++bit)
        ASSERT_FALSE(g.bit(row, size_t(bit))) << "variant " << variant << " row " << row << " filler bit " << bit;
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, EncodeGrey, ::testing::ValuesIn(kGreyCases),
                         [](const ::testing::TestParamInfo<GreyCase>& i) { return std::string(i.param.name); });

// Binary rows are coded straight into the stage, hex rows through put():
// the same rows either way, also for a band whose code fills the stage
// several times over.
TEST(EncodeBand, HexRowsCarryTheSameCode) {
  const struct {
    LONG width, height;
  } sizes[] = {{50, 9}, {1000, 1200}};
  for (const auto& size : sizes) {
    Band bin(1, size.width, size.height), hex(1, size.width, size.height);
    std::mt19937 rng(3);
    for (size_t i = 0; i < bin.bits.size(); ++i) bin.bits[i] = hex.bits[i] = static_cast<BYTE>(rng());
    hex.job.graphicsMode = 0;
    bin.encode();
    hex.encode();
    Graph a = parseGraph(bin.sink, false), b = parseGraph(hex.sink, true);
    EXPECT_EQ(a.rows.size(), size_t(size.height));
    EXPECT_EQ(a.rows, b.rows) << size.width << " x " << size.height;
  }
}

struct RefusalCase {
  const char* name;
  void (*spoil)(Band&);
};

const RefusalCase kRefusals[] = {
    {"NoBits", [](Band& b) { b.job.surface.bits = nullptr; }},
    {"BandWiderThanSurface", [](Band& b) { b.job.band.exactWidth = b.allocWidth + 1; }},
    {"BandTallerThanSurface", [](Band& b) { b.job.band.exactHeight = b.allocHeight + 1; }},
    {"StrideShorterThanRow", [](Band& b) { b.job.surface.bytesPerScanline = 1; }},
    {"NegativeStride", [](Band& b) { b.job.surface.bytesPerScanline = -b.stride; }},
    {"NegativeOrigin", [](Band& b) { b.job.band.x = -8; }},
    {"EmptyBand", [](Band& b) { b.job.band.exactHeight = 0; }},
    {"DepthDoesNotMatchMode", [](Band& b) { b.job.colorMode = 1; }},
    {"ColourMode", [](Band& b) { b.job.colorMode = 2; }},
    {"ScratchTooSmall", [](Band& b) { b.job.scratchSize = kGraphScratchSize - 1; }},
    {"NoScratch", [](Band& b) { b.job.scratch = nullptr; }},
    {"LandscapeBandPastPrintableWidth",
     [](Band& b) {
       b.landscape(false);
       b.job.printableWidth = b.width - 1;
     }},
    {"RowLongerThanTheHexBuffer",
     [](Band& b) {
       b.landscape(true);
       b.job.surface.height = b.job.band.exactHeight = 8 * (kMaxRowBytes + 1);
     }},
};

class EncodeRefusal : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(EncodeRefusal, NothingWrittenAndBitmapUntouched) {
  Band b(1, 40, 16);
  b.dot(1, 1);
  Bytes before = b.bits;
  GetParam().spoil(b);
  EXPECT_EQ(b.encode(), EncodeResult::Refused);
  EXPECT_TRUE(b.sink.empty());
  EXPECT_EQ(b.bits, before);
}

INSTANTIATE_TEST_SUITE_P(Cases, EncodeRefusal, ::testing::ValuesIn(kRefusals),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(EncodeBand, EightBitWithoutTableIsRefused) {
  Band b(8, 16, 4);
  b.job.dither = nullptr;
  EXPECT_EQ(b.encode(), EncodeResult::Refused);
  EXPECT_TRUE(b.sink.empty());
}

TEST(EncodeBand, HexBufferFailureLeavesTheGraphOut) {
  sim::reset();
  Band b(1, 40, 8);
  Bytes before = b.bits;
  sim::failNth(sim::api::HeapAlloc, 1, ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(b.encode(), EncodeResult::NoMemory);
  EXPECT_TRUE(b.sink.empty());
  EXPECT_EQ(b.bits, before);
  sim::reset();
}

TEST(EncodeBand, SuppressedOutputTouchesNothing) {
  Band b(1, 40, 8);
  Bytes before = b.bits;
  b.out.suppressed = true;
  EXPECT_EQ(b.encode(), EncodeResult::Suppressed);
  EXPECT_TRUE(b.sink.empty());
  EXPECT_EQ(b.bits, before);
}

// ---- fillGreyRect -------------------------------------------------------------------

struct FillCase {
  const char* name;
  RECTL rect;
  LONG exactWidth, exactHeight;
};

const FillCase kFillCases[] = {
    {"InsideOneByte", {2, 1, 6, 3}, 64, 20},
    {"AcrossBytes", {3, 0, 45, 20}, 64, 20},
    {"EndsOnByteEdge", {8, 2, 24, 5}, 64, 20},
    {"ClippedToExactSize", {10, 10, 200, 200}, 50, 17},
    {"NegativeStart", {-5, -3, 9, 2}, 64, 20},
    {"Empty", {7, 7, 7, 9}, 64, 20},
    {"OutsideTheBand", {70, 0, 90, 5}, 64, 20},
};

class FillGrey : public ::testing::TestWithParam<FillCase> {};

TEST_P(FillGrey, PatternInsideUntouchedOutside) {
  const FillCase& c = GetParam();
  std::mt19937 rng(5);
  std::vector<WORD> table(kDitherTableWords);
  for (auto& w : table) w = static_cast<WORD>(rng());
  const LONG width = 64, height = 20, stride = 8;
  Bytes bits(stride * height);
  for (auto& b : bits) b = static_cast<BYTE>(rng());
  Bytes before = bits;
  SurfaceDescription s{1, bits.data(), width, height, stride};
  const int level = 77;
  ASSERT_TRUE(fillGreyRect(s, c.rect, level, table.data(), c.exactWidth, c.exactHeight));
  for (LONG y = 0; y < height; ++y) {
    for (LONG x = 0; x < width; ++x) {
      bool inside = x >= c.rect.left && x < c.rect.right && y >= c.rect.top && y < c.rect.bottom &&
                    x < c.exactWidth && y < c.exactHeight;
      BYTE mask = static_cast<BYTE>(0x80 >> (x % 8));
      WORD w = table[level * 16 + y % 16];
      BYTE pattern = (x / 8) % 2 ? BYTE(w >> 8) : BYTE(w);
      bool expected = inside ? (pattern & mask) != 0 : (before[y * stride + x / 8] & mask) != 0;
      ASSERT_EQ((bits[y * stride + x / 8] & mask) != 0, expected) << x << "," << y;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, FillGrey, ::testing::ValuesIn(kFillCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FillGreyErrors, OnlyOneBitSurfacesWithATable) {
  std::vector<WORD> table(kDitherTableWords);
  Bytes bits(64);
  RECTL r{0, 0, 8, 8};
  EXPECT_FALSE(fillGreyRect({8, bits.data(), 8, 8, 8}, r, 0, table.data(), 8, 8));
  EXPECT_FALSE(fillGreyRect({1, bits.data(), 8, 8, 1}, r, 0, nullptr, 8, 8));
  EXPECT_FALSE(fillGreyRect({1, nullptr, 8, 8, 1}, r, 0, table.data(), 8, 8));
  EXPECT_EQ(bits, Bytes(64));
}

}  // namespace
