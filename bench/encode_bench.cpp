// encodeBand on the largest page model B allows (1227 x 4800 dots), in the
// six row layouts, blank and busy, against memcpy of the same bitmap and
// against libtiff's PackBits coding the same number of rows of the same
// length. Each timed row carries `x_memcpy`: its time per page over the
// time of one memcpy of its bitmap, measured in the same process, both in
// this thread's processor time, which other work on a shared machine
// disturbs less than the wall clock.
#include <benchmark/benchmark.h>
#include <tiffio.h>

#include <algorithm>
#include <ctime>
#include <cstring>
#include <random>
#include <vector>

#include "dither.h"
#include "raster.h"
#include "tables.h"

using namespace driver;

namespace {

constexpr LONG kAcross = 1227;  // dots across the head
constexpr LONG kAlong = 4800;   // dots along the label

enum Layout { Portrait, Clockwise, CounterClockwise };

struct Fixture {
  std::vector<BYTE> bits, scratch = std::vector<BYTE>(kGraphScratchSize), staging = std::vector<BYTE>(kStagingCapacity);
  std::vector<WORD> table = std::vector<WORD>(kDitherTableWords);
  OutputStage out{};
  RasterJob job{};
  size_t sent = 0;

  Fixture(Layout layout, int depth, bool busy) {
    // The page as GDI sees it: portrait across x, landscape turned.
    const LONG w = layout == Portrait ? kAcross : kAlong, h = layout == Portrait ? kAlong : kAcross;
    const LONG allocW = depth == 1 ? (w + 31) / 32 * 32 : (w + 3) / 4 * 4;
    const LONG allocH = depth == 1 ? (h + 7) / 8 * 8 : h;
    const LONG stride = depth == 1 ? allocW / 8 : allocW;
    bits.assign(size_t(stride) * allocH, depth == 1 ? 0xFF : 255);
    std::mt19937 rng(1);
    if (busy)
      for (auto& b : bits) b = BYTE(rng());
    // The default DitherPattern entry (an 8 x 8 threshold matrix).
    const ThresholdPattern& pattern = kThresholdPatterns[1];
    DitherTable built;
    buildDitherTable(pattern.kind, pattern.data, patternDataLength(pattern.kind), built);
    std::memcpy(table.data(), built, sizeof built);
    out.staging = staging.data();
    out.capacity = kStagingCapacity;
    out.context = &sent;
    out.writer = [](void* ctx, const BYTE*, DWORD n, DWORD* done) {
      *static_cast<size_t*>(ctx) += n;
      *done = n;
      return true;
    };
    job.surface = {depth, bits.data(), allocW, allocH, stride};
    job.band = {0, 0, allocW, allocH, w, h, stride, kBandEncode};
    job.printableWidth = w;
    job.layout = layout == Portrait ? PageLayout::Portrait
                 : layout == Clockwise ? PageLayout::LandscapeRotated
                                       : PageLayout::LandscapeReversed;
    job.colorMode = depth == 1 ? 0 : 1;
    job.graphicsMode = 1;
    job.dither = table.data();
    job.scratch = scratch.data();
    job.scratchSize = kGraphScratchSize;
  }
};

double threadSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// One memcpy of `bytes`, warm, in seconds: the median of a few copies, so a
// scheduling hiccup on a shared machine does not set the reference.
double memcpySeconds(const std::vector<BYTE>& bytes) {
  std::vector<BYTE> copy(bytes.size());
  std::vector<double> times;
  for (int i = 0; i < 31; ++i) {
    const double start = threadSeconds();
    std::memcpy(copy.data(), bytes.data(), bytes.size());
    benchmark::ClobberMemory();
    if (i > 0) times.push_back(threadSeconds() - start);
  }
  std::nth_element(times.begin(), times.begin() + times.size() / 2, times.end());
  return times[times.size() / 2];
}

// The loop's own time per iteration over one memcpy of `bytes`.
void ratioToMemcpy(benchmark::State& state, double loopSeconds, const std::vector<BYTE>& bytes) {
  if (state.iterations() == 0) return;
  state.counters["x_memcpy"] = loopSeconds / double(state.iterations()) / memcpySeconds(bytes);
}

// args: layout, bit depth, busy. In 1-bit mode the encoder inverts the
// bitmap in place, so a page alternates with its inverse; blank pages
// alternate between all-white and all-black runs, both long runs.
void BM_EncodeBand(benchmark::State& state) {
  Fixture f(Layout(state.range(0)), int(state.range(1)), state.range(2) != 0);
  const double start = threadSeconds();
  for (auto _ : state) {
    if (encodeBand(f.out, f.job) != EncodeResult::Written) state.SkipWithError("band refused");
    f.out.flush();
    benchmark::DoNotOptimize(f.sent);
  }
  const double loop = threadSeconds() - start;
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(f.bits.size()));
  state.counters["bitmap_bytes"] = double(f.bits.size());
  state.counters["sent_per_page"] = double(f.sent) / double(state.iterations());
  ratioToMemcpy(state, loop, f.bits);
}

void BM_Memcpy(benchmark::State& state) {
  Fixture f(Portrait, int(state.range(0)), true);
  std::vector<BYTE> copy(f.bits.size());
  for (auto _ : state) {
    std::memcpy(copy.data(), f.bits.data(), f.bits.size());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(f.bits.size()));
}

// A TIFF written to memory that is never kept: the sink only counts bytes.
struct CountingSink {
  toff_t size = 0;
  toff_t at = 0;
};

tsize_t sinkRead(thandle_t, tdata_t, tsize_t) { return 0; }
tsize_t sinkWrite(thandle_t h, tdata_t, tsize_t n) {
  auto* s = static_cast<CountingSink*>(h);
  s->at += toff_t(n);
  s->size = std::max(s->size, s->at);
  return n;
}
toff_t sinkSeek(thandle_t h, toff_t off, int whence) {
  auto* s = static_cast<CountingSink*>(h);
  s->at = whence == SEEK_SET ? off : whence == SEEK_CUR ? s->at + off : s->size + off;
  return s->at;
}
int sinkClose(thandle_t) { return 0; }
toff_t sinkSize(thandle_t h) { return static_cast<CountingSink*>(h)->size; }
int sinkMap(thandle_t, tdata_t*, toff_t*) { return 0; }
void sinkUnmap(thandle_t, tdata_t, toff_t) {}

// libtiff's PackBits coding the rows the one-bit portrait page sends:
// 4800 rows of ceil(1227 / 8) bytes, one strip, blank or busy (arg).
void BM_LibtiffPackBits(benchmark::State& state) {
  Fixture f(Portrait, 1, state.range(0) != 0);
  const LONG rowBytes = (kAcross + 7) / 8;
  const LONG stride = f.job.surface.bytesPerScanline;
  size_t sent = 0;
  const double start = threadSeconds();
  for (auto _ : state) {
    CountingSink sink;
    TIFF* tif = TIFFClientOpen("page", "w", &sink, sinkRead, sinkWrite, sinkSeek, sinkClose, sinkSize, sinkMap,
                               sinkUnmap);
    if (!tif) {
      state.SkipWithError("TIFFClientOpen failed");
      break;
    }
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(8 * rowBytes));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(kAlong));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_PACKBITS);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, uint32_t(kAlong));
    for (LONG r = 0; r < kAlong; ++r)
      if (TIFFWriteScanline(tif, f.bits.data() + size_t(r) * stride, uint32_t(r), 0) < 0)
        state.SkipWithError("TIFFWriteScanline failed");
    TIFFClose(tif);
    sent += size_t(sink.size);
    benchmark::DoNotOptimize(sent);
  }
  const double loop = threadSeconds() - start;
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(f.bits.size()));
  state.counters["sent_per_page"] = double(sent) / double(state.iterations());
  ratioToMemcpy(state, loop, f.bits);
}

void layouts(benchmark::internal::Benchmark* b) {
  b->ArgNames({"layout", "depth", "busy"});
  for (int layout : {Portrait, Clockwise, CounterClockwise})
    for (int depth : {1, 8})
      for (int busy : {0, 1}) b->Args({layout, depth, busy});
}

BENCHMARK(BM_EncodeBand)->Apply(layouts)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LibtiffPackBits)->ArgName("busy")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Memcpy)->ArgName("depth")->Arg(1)->Arg(8)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
