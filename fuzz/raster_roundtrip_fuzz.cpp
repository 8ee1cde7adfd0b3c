// Differential target for the raster encoder: any band geometry, layout,
// colour mode, row coding, dither table and bitmap that encodeBand accepts
// is encoded, the GRAPH command is decoded by the printer emulator, and
// every printed dot must be the one the band's pixel asks for. A refused
// band must leave the output and the bitmap untouched.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "job_decoder.h"
#include "raster.h"

using namespace driver;

namespace {

using Bytes = std::vector<BYTE>;

// The band being tried, printed with a failure.
char g_band[256];

void fail(const char* what, long x = -1, long y = -1) {
  std::fprintf(stderr, "raster round trip: %s (%ld, %ld)\n%s\n", what, x, y, g_band);
  std::abort();
}

bool capture(void* context, const BYTE* data, DWORD size, DWORD* written) {
  auto* sink = static_cast<Bytes*>(context);
  sink->insert(sink->end(), data, data + size);
  *written = size;
  return TRUE;
}

long ceilTo8(long v) { return (v + 7) / 8 * 8; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const bool grey = in.ConsumeBool();
  const int layout = in.ConsumeIntegralInRange(0, 2);  // portrait, clockwise, counter-clockwise
  const bool hexRows = in.ConsumeBool();
  const bool mismatchedMode = in.ConsumeIntegralInRange(0, 15) == 0;
  const LONG width = in.ConsumeIntegralInRange<LONG>(1, 640);
  // At most 4000 rows, so that even a turned band (its rows become printed
  // dots of one line) fits the emulator's image.
  const LONG height = in.ConsumeIntegralInRange<LONG>(1, std::min<LONG>(4000, std::max<LONG>(1, 24000 / width)));
  // The surface is usually the band rounded as the driver allocates it,
  // sometimes a little off in either direction.
  const LONG allocWidth = std::max<LONG>(1, (grey ? (width + 3) / 4 * 4 : (width + 31) / 32 * 32) +
                                                in.ConsumeIntegralInRange<LONG>(-2, 9) * (in.ConsumeBool() ? 1 : 0));
  const LONG allocHeight = std::max<LONG>(1, (grey ? height : ceilTo8(height)) + in.ConsumeIntegralInRange<LONG>(-2, 9));
  const LONG stride = std::max<LONG>(1, (grey ? allocWidth : (allocWidth + 7) / 8) + in.ConsumeIntegralInRange<LONG>(-1, 5));
  // Positions matter to the encoder through the dither phase (16 dots) and
  // the landscape placement; small ones keep the decoded image small.
  const LONG bandX = in.ConsumeIntegralInRange<LONG>(0, 95);
  const LONG bandY = in.ConsumeIntegralInRange<LONG>(0, 95);
  LONG printableWidth = bandX + width + in.ConsumeIntegralInRange<LONG>(-3, 64);
  // Turned counter-clockwise, a one-bit band is walked from its last whole
  // byte column and cut after its width in rows, which skips exactly the
  // filler columns only where the band ends at the printable area's right
  // edge. The page is cut into bands of whole bytes but for that last one,
  // so a band of any other width lies at the edge.
  if (layout == 2 && !grey && width % 8 != 0) printableWidth = bandX + width;
  const uint32_t seed = in.ConsumeIntegral<uint32_t>();
  const bool thresholdTable = in.ConsumeBool();
  std::snprintf(g_band, sizeof g_band,
                "band %ldx%ld at (%ld, %ld), surface %ldx%ld stride %ld, printable width %ld, %s, layout %d, %s rows%s",
                long(width), long(height), long(bandX), long(bandY), long(allocWidth), long(allocHeight), long(stride),
                long(printableWidth), grey ? "grey" : "one bit", layout, hexRows ? "hex" : "binary",
                mismatchedMode ? ", surface of the other colour mode" : "");

  std::mt19937 rng(seed);
  std::vector<WORD> table(kDitherTableWords);
  if (thresholdTable) {
    BYTE threshold[16][16];
    for (auto& row : threshold)
      for (auto& t : row) t = static_cast<BYTE>(rng());
    for (int level = 0; level < 256; ++level)
      for (int r = 0; r < 16; ++r) {
        WORD w = 0;
        for (int c = 0; c < 16; ++c)
          if (level >= threshold[r][c]) w |= c < 8 ? WORD(0x80 >> c) : WORD(0x8000 >> (c - 8));
        table[level * 16 + r] = w;
      }
  } else {
    for (WORD& w : table) w = static_cast<WORD>(rng());
  }

  // The bitmap is exactly as large as the surface says, so any read or
  // write outside it is caught.
  Bytes bits(static_cast<size_t>(stride) * allocHeight);
  const Bytes content = in.ConsumeRemainingBytes<BYTE>();
  for (size_t i = 0; i < bits.size(); ++i)
    bits[i] = content.empty() ? static_cast<BYTE>(rng()) : content[i % content.size()];
  const Bytes original = bits;

  // The scratch and staging blocks are made once and zeroed for every input,
  // as the driver's come zero-filled from the heap: allocated per input, the
  // scratch block's fresh pages cost more than the encoding itself. Each is
  // its own heap block of exactly the size the encoder is given, so a write
  // past either end is still caught.
  static Bytes scratch(kGraphScratchSize), staging(kStagingCapacity);
  std::fill(scratch.begin(), scratch.end(), BYTE(0));
  std::fill(staging.begin(), staging.end(), BYTE(0));
  Bytes sink;
  OutputStage out{};
  out.staging = staging.data();
  out.capacity = kStagingCapacity;
  out.writer = capture;
  out.context = &sink;

  RasterJob job{};
  job.surface = {grey ? 8 : 1, bits.data(), allocWidth, allocHeight, stride};
  job.band = {bandX, bandY, allocWidth, allocHeight, width, height, stride, kBandEncode};
  job.printableWidth = printableWidth;
  job.layout = layout == 0   ? PageLayout::Portrait
               : layout == 1 ? PageLayout::LandscapeRotated
                             : PageLayout::LandscapeReversed;
  job.colorMode = grey != mismatchedMode ? 1 : 0;
  job.graphicsMode = hexRows ? 0 : 1;
  job.dither = table.data();
  job.scratch = scratch.data();
  job.scratchSize = kGraphScratchSize;

  const EncodeResult result = encodeBand(out, job);
  out.flush();
  if (result != EncodeResult::Written) {
    if (!sink.empty()) fail("a refused band wrote output");
    if (bits != original) fail("a refused band changed the bitmap");
    return 0;
  }
  if (mismatchedMode) fail("a surface of the other colour mode was encoded");

  const std::string prefix = std::string("DEF PW=1,PH=1,GM=") + (hexRows ? "0" : "1") + "\r\nSTART\r\nQTY P=1\r\n";
  Bytes stream(prefix.begin(), prefix.end());
  stream.insert(stream.end(), sink.begin(), sink.end());
  const std::string end = "END\r\n";
  stream.insert(stream.end(), end.begin(), end.end());
  emu::JobReport report;
  emu::DecodeError error;
  emu::DecodeOptions options;
  options.landscapeRotation = layout == 1;
  options.greySurface = grey;
  if (!emu::decodeJob(stream.data(), stream.size(), report, error, options)) {
    std::fprintf(stderr, "%s\n", error.describe().c_str());
    fail("the emulator refused the GRAPH command");
  }
  if (report.labels.size() != 1 || report.labels[0].graphs != 1) fail("not one label with one GRAPH");
  const emu::Label& label = report.labels[0];
  const GraphHeader header = graphHeaderFor(job);

  // Which band pixels are sent, and where each lands as (row, bit) of the
  // GRAPH; the printer prints bit j of row r at (X + j, Y + r).
  const long sentWidth = layout == 1 && !grey ? ceilTo8(width) : width;
  const long sentHeight = layout == 1 && !grey ? ceilTo8(height) : height;
  std::vector<uint8_t> expected(label.dots.size());
  for (long y = 0; y < sentHeight; ++y) {
    for (long x = 0; x < sentWidth; ++x) {
      bool printed = false;
      if (y < allocHeight) {
        if (grey) {
          const long px = bandX + x, py = bandY + y;
          const WORD w = table[original[size_t(y) * stride + x] * 16 + py % 16];
          const BYTE pattern = (px / 8) % 2 ? BYTE(w >> 8) : BYTE(w);
          printed = !(pattern & (0x80 >> (px % 8)));
        } else {
          printed = !(original[size_t(y) * stride + x / 8] & (0x80 >> (x % 8)));
        }
      }
      const long row = layout == 0 ? y : layout == 1 ? x : width - 1 - x;
      const long bit = layout == 0 ? x : layout == 1 ? sentHeight - 1 - y : y;
      const long lx = header.x + bit, ly = header.y + row;
      if (lx >= label.width || ly >= label.height) fail("a sent pixel lies outside the printed image", x, y);
      expected[size_t(ly) * label.width + lx] = printed;
    }
  }
  for (int ly = 0; ly < label.height; ++ly)
    for (int lx = 0; lx < label.width; ++lx)
      if (label.dots[size_t(ly) * label.width + lx] != expected[size_t(ly) * label.width + lx])
        fail("printed dot differs from the band", lx, ly);
  return 0;
}
