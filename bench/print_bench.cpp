// One label printed the way an application prints it (gdiplay: device
// context, page of drawing requests, bands, send) on model B's driver:
// bars, a framed box, a line, a run of glyphs and a photo-sized grey image
// stretched and halftoned, in one-bit and grey mode.
#include <benchmark/benchmark.h>

#include <memory>

#include "gdi_play.h"
#include "settings.h"
#include "wtext.h"

using namespace driver;

namespace {

gdiplay::Page labelPage() {
  gdiplay::Page page;
  for (LONG i = 0; i < 120; ++i) page.fill(RECTL{40 + i * 6, 60, 43 + i * 6, 300}, gdiplay::kBlack);
  page.frame(RECTL{20, 20, 1180, 1180}, 6, gdiplay::kBlack);
  page.line(POINTL{40, 330}, POINTL{1100, 360}, gdiplay::kBlack, 5);
  std::vector<gdiplay::Glyph> glyphs;
  for (LONG i = 0; i < 40; ++i) {
    gdiplay::Glyph g;
    g.origin = POINTL{40 + i * 26, 440};
    g.top = -36;
    g.width = 22;
    g.height = 36;
    g.bits.assign(size_t(3 * 36), 0xA5);
    glyphs.push_back(std::move(g));
  }
  page.text(std::move(glyphs), gdiplay::kBlack);
  auto image = std::make_shared<gdiplay::Image>();
  image->width = 640;
  image->height = 480;
  image->pixels.resize(size_t(640) * 480);
  for (LONG y = 0; y < 480; ++y)
    for (LONG x = 0; x < 640; ++x) image->pixels[size_t(y) * 640 + x] = BYTE((x + y) * 255 / 1120);
  page.stretch(image, RECTL{40, 500, 1140, 1150});
  return page;
}

// arg: colour mode (0 one-bit, 1 grey).
void BM_PrintLabel(benchmark::State& state) {
  sim::QueueSetup q;
  q.name = u"Label Printer";
  q.driver = u"Varodyn KV830";
  gdiplay::PrinterQueue queue(q);
  DriverSettings s;
  DefaultSettings(&s, queue.name());
  s.SettingsSignature = kSettingsSignature;
  s.Private.ColorMode = LONG(state.range(0));
  s.Private.CustomWidth = 1000;
  s.Private.CustomHeight = 1000;
  BuildPublicFields(&s, queue.name());
  gdiplay::DeviceContext dc;
  if (!dc.create(queue.printer(), queue.name(), reinterpret_cast<const DEVMODEW*>(&s))) {
    state.SkipWithError(dc.step());
    return;
  }
  const gdiplay::Page page = labelPage();
  if (!dc.startDoc(WTEXT("bench"), 1)) state.SkipWithError(dc.step());
  for (auto _ : state)
    if (!dc.printPage(page)) state.SkipWithError(dc.step());
  dc.endDoc();
  state.counters["bands"] = double(dc.bandOrigins().size());
}

BENCHMARK(BM_PrintLabel)->ArgName("grey")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
