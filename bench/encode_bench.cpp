// encodeBand on the largest page model B allows (1227 x 4800 dots), in the
// six row layouts, blank and busy, against memcpy of the same bitmap.
#include <benchmark/benchmark.h>

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
      return TRUE;
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

// args: layout, bit depth, busy. In 1-bit mode the encoder inverts the
// bitmap in place, so blank pages alternate between all-white and
// all-black runs; both code as long runs.
void BM_EncodeBand(benchmark::State& state) {
  Fixture f(Layout(state.range(0)), int(state.range(1)), state.range(2) != 0);
  for (auto _ : state) {
    if (encodeBand(f.out, f.job) != EncodeResult::Written) state.SkipWithError("band refused");
    f.out.flush();
    benchmark::DoNotOptimize(f.sent);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(f.bits.size()));
  state.counters["bitmap_bytes"] = double(f.bits.size());
  state.counters["sent_per_page"] = double(f.sent) / double(state.iterations());
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

void layouts(benchmark::internal::Benchmark* b) {
  b->ArgNames({"layout", "depth", "busy"});
  for (int layout : {Portrait, Clockwise, CounterClockwise})
    for (int depth : {1, 8})
      for (int busy : {0, 1}) b->Args({layout, depth, busy});
}

BENCHMARK(BM_EncodeBand)->Apply(layouts)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Memcpy)->ArgName("depth")->Arg(1)->Arg(8)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
