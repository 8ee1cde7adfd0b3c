// Pages printed through the driver, decoded by the printer emulator and
// compared dot for dot with what was drawn, in every layout and mode.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "job_decoder.h"
#include "roundtrip_session.h"

using namespace driver;

namespace {

enum class Turn { Portrait, Clockwise, CounterClockwise };

struct RoundTrip {
  const char* name;
  Turn turn;
  bool grey;
  bool hex;
  bool banding;
  int pages;
  int documents;
  Content content;
  LONG customWidth;   // 0.1 mm, label 256
  LONG customHeight;
  LONG copies;
};

const RoundTrip kCases[] = {
    {"PortraitBlank", Turn::Portrait, false, false, false, 1, 1, Content::Blank, 1100, 530, 1},
    {"PortraitCornersHex", Turn::Portrait, false, true, false, 1, 1, Content::Corners, 1100, 530, 1},
    {"PortraitStripesThreePages", Turn::Portrait, false, false, false, 3, 1, Content::Stripes, 1100, 530, 2},
    {"PortraitRandomWidestLabel", Turn::Portrait, false, false, false, 1, 1, Content::Random, 1043, 300, 1},
    {"ClockwiseCorners", Turn::Clockwise, false, false, false, 1, 1, Content::Corners, 1100, 530, 1},
    {"ClockwiseRandomHex", Turn::Clockwise, false, true, false, 1, 1, Content::Random, 1043, 300, 1},
    {"CounterClockwiseCorners", Turn::CounterClockwise, false, false, false, 1, 1, Content::Corners, 1100, 530, 1},
    {"CounterClockwiseRandomTwoPages", Turn::CounterClockwise, false, false, false, 2, 1, Content::Random, 777, 333,
     1},
    {"CounterClockwiseStripesHex", Turn::CounterClockwise, false, true, false, 1, 1, Content::Stripes, 1043, 300, 1},
    {"GreyPortraitRandom", Turn::Portrait, true, false, false, 1, 1, Content::Random, 1100, 530, 1},
    {"GreyPortraitStripesBanded", Turn::Portrait, true, false, true, 2, 1, Content::Stripes, 1100, 530, 1},
    {"GreyPortraitCornersBandedHex", Turn::Portrait, true, true, true, 1, 1, Content::Corners, 1043, 300, 1},
    {"GreyClockwiseRandom", Turn::Clockwise, true, false, false, 1, 1, Content::Random, 777, 333, 1},
    {"GreyClockwiseStripesBanded", Turn::Clockwise, true, false, true, 1, 1, Content::Stripes, 1100, 530, 1},
    {"GreyClockwiseCornersBandedHex", Turn::Clockwise, true, true, true, 1, 1, Content::Corners, 1043, 300, 1},
    {"GreyCounterClockwiseRandom", Turn::CounterClockwise, true, false, false, 1, 1, Content::Random, 1100, 530, 1},
    {"GreyCounterClockwiseRandomBanded", Turn::CounterClockwise, true, false, true, 2, 1, Content::Random, 1043, 300,
     1},
    {"GreyCounterClockwiseCornersBandedHex", Turn::CounterClockwise, true, true, true, 1, 1, Content::Corners, 777,
     333, 1},
    {"TwoDocumentsOneBit", Turn::Portrait, false, false, false, 2, 2, Content::Random, 777, 333, 3},
    {"TwoDocumentsGreyBanded", Turn::CounterClockwise, true, true, true, 1, 2, Content::Stripes, 1100, 530, 1},
};

void PrintTo(const RoundTrip& c, std::ostream* os) { *os << c.name; }

class RoundTripTest : public PrintSession, public ::testing::WithParamInterface<RoundTrip> {};

// Where the printer prints page dot (px, py) of a W x H page.
POINT printedAt(Turn turn, bool grey, LONG w, LONG h, LONG px, LONG py) {
  switch (turn) {
    case Turn::Portrait:
      return {px, py};
    case Turn::Clockwise: {
      // One-bit rows carry whole bytes of scanlines, the filler below the
      // page included, so the page's last scanline is not the row's end.
      LONG rowDots = grey ? h : (h + 7) / 8 * 8;
      return {rowDots - 1 - py, px};
    }
    case Turn::CounterClockwise:
      return {py, w - 1 - px};
  }
  return {};
}

// The printer's reading of a job. The clockwise layout's headers keep the
// unturned band size: the printer is set up for that layout and the
// surface depth.
::testing::AssertionResult decodeAsPrinted(const std::vector<BYTE>& bytes, Turn turn, bool grey,
                                           emu::JobReport* report) {
  emu::DecodeError error;
  emu::DecodeOptions options;
  options.landscapeRotation = turn == Turn::Clockwise;
  options.greySurface = grey;
  if (emu::decodeJob(bytes.data(), bytes.size(), *report, error, options)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << error.describe();
}

// Compares a printed label with the page as drawn: a page dot prints where
// its grey level's dither pattern (table 7; the driver's one-bit fills use
// table 8, built alike) has a clear bit; level 0 prints, 255 does not.
void expectShows(const emu::Label& label, const Page& page, const std::vector<WORD>& table, Turn turn, bool grey,
                 const std::string& what) {
  const LONG w = page.width, h = page.height;
  std::vector<uint8_t> expected(label.dots.size());
  size_t printed = 0;
  for (LONG py = 0; py < h; ++py) {
    for (LONG px = 0; px < w; ++px) {
      const WORD word = table[page.at(px, py) * 16 + py % 16];
      const BYTE pattern = (px / 8) % 2 ? BYTE(word >> 8) : BYTE(word);
      if (pattern & (0x80 >> (px % 8))) continue;
      POINT at = printedAt(turn, grey, w, h, px, py);
      ASSERT_TRUE(at.x >= 0 && at.y >= 0 && at.x < label.width && at.y < label.height)
          << "page dot " << px << "," << py << " outside the " << label.width << "x" << label.height << " label";
      expected[size_t(at.y) * label.width + at.x] = 1;
      ++printed;
    }
  }
  size_t wrong = 0, first = 0;
  for (size_t k = 0; k < expected.size(); ++k)
    if (expected[k] != label.dots[k] && wrong++ == 0) first = k;
  EXPECT_EQ(wrong, 0u) << what << ": first difference at " << first % label.width << "," << first / label.width
                       << " of " << label.width << "x" << label.height << " (" << printed << " dots expected)";
}

TEST_P(RoundTripTest, PrintedLabelsMatchTheDrawnPages) {
  const RoundTrip& c = GetParam();
  if (c.banding) sim::setBitmapByteLimit(100000);
  ASSERT_TRUE(enable([&](PrivateSettings& p) {
    p.LabelIndex = kCustomLabelIndex;
    p.CustomWidth = c.customWidth;
    p.CustomHeight = c.customHeight;
    p.Orientation = c.turn == Turn::Portrait ? 1 : 2;
    p.LandscapeRotation = c.turn == Turn::Clockwise ? 1 : 0;
    p.ColorMode = c.grey ? 1 : 0;
    p.GraphicsMode = c.hex ? 0 : 1;
    p.Copies = c.copies;
  }));
  ASSERT_EQ(device->bandingMode != FALSE, c.banding);
  if (c.banding) {
    EXPECT_GE(device->bandCount, 2);
  }
  const LONG w = pageWidth(), h = pageHeight();
  std::vector<Page> drawn;
  for (int d = 0; d < c.documents; ++d) {
    std::vector<Page> pages;
    for (int i = 0; i < c.pages; ++i) pages.push_back(makePage(w, h, c.content, c.grey, unsigned(100 * d + i + 1)));
    ASSERT_TRUE(printDocument(pages));
    drawn.insert(drawn.end(), pages.begin(), pages.end());
  }
  const std::vector<WORD> table = ditherTable();

  emu::JobReport report;
  ASSERT_TRUE(decodeAsPrinted(written(), c.turn, c.grey, &report));
  EXPECT_EQ(report.jobEnds, c.documents);
  ASSERT_EQ(report.labels.size(), drawn.size());
  for (size_t i = 0; i < drawn.size(); ++i) {
    const emu::Label& label = report.labels[i];
    const Page& page = drawn[i];
    EXPECT_EQ(label.quantity, c.copies);
    EXPECT_EQ(label.field("GM", -1), c.hex ? 0 : 1);
    EXPECT_EQ(label.graphs, c.banding ? device->bandCount : 1);
    expectShows(label, page, table, c.turn, c.grey, "label " + std::to_string(i));
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, RoundTripTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A label drawn the way an application draws one (box, bars, grey fill, a
// clipped fill, thin and wide lines, glyphs, a grey image), through the
// drawing hooks.
struct Drawn {
  const char* name;
  Turn turn;
  bool grey;
  bool banding;
};

class DrawnRoundTrip : public PrintSession, public ::testing::WithParamInterface<Drawn> {};

TEST_P(DrawnRoundTrip, EveryRequestLandsAsDrawn) {
  const Drawn& c = GetParam();
  if (c.banding) sim::setBitmapByteLimit(100000);
  ASSERT_TRUE(enable([&](PrivateSettings& p) {
    p.LabelIndex = kCustomLabelIndex;
    p.CustomWidth = 800;
    p.CustomHeight = 400;
    p.Orientation = c.turn == Turn::Portrait ? 1 : 2;
    p.LandscapeRotation = c.turn == Turn::Clockwise ? 1 : 0;
    p.ColorMode = c.grey ? 1 : 0;
  }));
  ASSERT_EQ(device->bandingMode != FALSE, c.banding);
  const LONG w = pageWidth(), h = pageHeight();
  ASSERT_GE(w, 300);
  ASSERT_GE(h, 200);
  Page expected;
  expected.width = w, expected.height = h;
  expected.grey.assign(size_t(w) * h, 255);
  auto paint = [&](RECTL r, BYTE level) {
    for (LONG y = std::max(0, int(r.top)); y < std::min(h, r.bottom); ++y)
      for (LONG x = std::max(0, int(r.left)); x < std::min(w, r.right); ++x) expected.grey[size_t(y) * w + x] = level;
  };
  gdiplay::Page drawing;
  // A frame round the page, and one reaching past its edges.
  drawing.frame(RECTL{4, 4, w - 4, h - 4}, 4, gdiplay::kBlack);
  for (RECTL r : {RECTL{4, 4, w - 4, 8}, RECTL{4, h - 8, w - 4, h - 4}, RECTL{4, 8, 8, h - 8}, RECTL{w - 8, 8, w - 4, h - 8}})
    paint(r, 0);
  drawing.fill(RECTL{-20, 12, 16, 20}, gdiplay::kBlack);
  paint(RECTL{0, 12, 16, 20}, 0);
  // Bars of a barcode, and a grey fill (GreyLevel 0x808080 = 128).
  for (LONG i = 0; i < 12; ++i) {
    drawing.fill(RECTL{20 + 7 * i, 20, 23 + 7 * i, 60}, gdiplay::kBlack);
    paint(RECTL{20 + 7 * i, 20, 23 + 7 * i, 60}, 0);
  }
  drawing.fill(RECTL{120, 20, 200, 60}, 0x808080);
  paint(RECTL{120, 20, 200, 60}, 128);
  // A small fill under a clip region of two tall bars lands only where
  // both meet.
  drawing.clip({RECTL{220, 20, 230, h - 12}, RECTL{240, 20, 250, h - 12}});
  drawing.fill(RECTL{215, 30, 255, 40}, gdiplay::kBlack);
  drawing.clip({});
  paint(RECTL{220, 30, 230, 40}, 0);
  paint(RECTL{240, 30, 250, 40}, 0);
  // Lines: one-dot ones end before their last point; wide ones are
  // widened by half their width on every side.
  drawing.line(POINTL{20, 70}, POINTL{140, 70}, gdiplay::kBlack);
  paint(RECTL{20, 70, 140, 71}, 0);
  drawing.line(POINTL{150, 70}, POINTL{150, 120}, gdiplay::kBlack);
  paint(RECTL{150, 70, 151, 120}, 0);
  drawing.line(POINTL{20, 90}, POINTL{140, 90}, gdiplay::kBlack, 4);
  paint(RECTL{18, 88, 142, 92}, 0);
  // Three glyphs, 12 x 16 checkers of 2-dot squares, on a baseline at 140.
  std::vector<gdiplay::Glyph> glyphs;
  for (LONG i = 0; i < 3; ++i) {
    gdiplay::Glyph g;
    g.origin = POINTL{20 + 16 * i, 140};
    g.top = -16;
    g.width = 12;
    g.height = 16;
    g.bits.assign(32, 0);
    for (LONG y = 0; y < 16; ++y)
      for (LONG x = 0; x < 12; ++x)
        if (((x / 2) + (y / 2)) % 2) {
          g.bits[size_t(y) * 2 + size_t(x / 8)] |= BYTE(0x80 >> (x % 8));
          paint(RECTL{20 + 16 * i + x, 124 + y, 21 + 16 * i + x, 125 + y}, 0);
        }
    glyphs.push_back(std::move(g));
  }
  drawing.text(std::move(glyphs), gdiplay::kBlack);
  // An image copied dot for dot: a grey ramp, or black and white columns
  // on a one-bit surface.
  auto image = std::make_shared<gdiplay::Image>();
  image->width = 64, image->height = 32;
  for (LONG y = 0; y < 32; ++y)
    for (LONG x = 0; x < 64; ++x) {
      const BYTE level = c.grey ? BYTE(x * 4) : ((x / 8) % 2 ? 0 : 255);
      image->pixels.push_back(level);
      paint(RECTL{200 + x, 100 + y, 201 + x, 101 + y}, level);
    }
  drawing.copy(image, POINTL{200, 100});

  ASSERT_TRUE(dc->startDoc(reinterpret_cast<LPCWSTR>(u"label"), 3));
  ASSERT_TRUE(dc->printPage(drawing)) << dc->step();
  ASSERT_TRUE(dc->endDoc());
  emu::JobReport report;
  ASSERT_TRUE(decodeAsPrinted(written(), c.turn, c.grey, &report));
  ASSERT_EQ(report.labels.size(), 1u);
  expectShows(report.labels[0], expected, ditherTable(), c.turn, c.grey, c.name);
}

INSTANTIATE_TEST_SUITE_P(Layouts, DrawnRoundTrip,
                         ::testing::Values(Drawn{"Portrait", Turn::Portrait, false, false},
                                           Drawn{"Clockwise", Turn::Clockwise, false, false},
                                           Drawn{"CounterClockwise", Turn::CounterClockwise, false, false},
                                           Drawn{"GreyPortrait", Turn::Portrait, true, false},
                                           Drawn{"GreyClockwise", Turn::Clockwise, true, false},
                                           Drawn{"GreyCounterClockwise", Turn::CounterClockwise, true, false},
                                           Drawn{"GreyPortraitBanded", Turn::Portrait, true, true}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
