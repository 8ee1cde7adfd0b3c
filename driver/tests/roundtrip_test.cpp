// Pages printed through the driver, decoded by the printer emulator and
// compared dot for dot with what was drawn, in every layout and mode.
#include <gtest/gtest.h>

#include "job_decoder.h"
#include "roundtrip_session.h"

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

  std::vector<BYTE> bytes = written();
  emu::JobReport report;
  emu::DecodeError error;
  // The clockwise layout's headers keep the unturned band size: the
  // printer is set up for that layout and the surface depth.
  emu::DecodeOptions options;
  options.landscapeRotation = c.turn == Turn::Clockwise;
  options.greySurface = c.grey;
  ASSERT_TRUE(emu::decodeJob(bytes.data(), bytes.size(), report, error, options)) << error.describe();
  EXPECT_EQ(report.jobEnds, c.documents);
  ASSERT_EQ(report.labels.size(), drawn.size());
  for (size_t i = 0; i < drawn.size(); ++i) {
    const emu::Label& label = report.labels[i];
    const Page& page = drawn[i];
    EXPECT_EQ(label.quantity, c.copies);
    EXPECT_EQ(label.field("GM", -1), c.hex ? 0 : 1);
    EXPECT_EQ(label.graphs, c.banding ? device->bandCount : 1);
    std::vector<uint8_t> expected(label.dots.size());
    size_t printed = 0;
    for (LONG py = 0; py < h; ++py) {
      for (LONG px = 0; px < w; ++px) {
        BYTE g = page.at(px, py);
        bool dot;
        if (c.grey) {
          WORD word = table[g * 16 + py % 16];
          BYTE pattern = (px / 8) % 2 ? BYTE(word >> 8) : BYTE(word);
          dot = !(pattern & (0x80 >> (px % 8)));
        } else {
          dot = g == 0;
        }
        if (!dot) continue;
        POINT at = printedAt(c.turn, c.grey, w, h, px, py);
        ASSERT_TRUE(at.x >= 0 && at.y >= 0 && at.x < label.width && at.y < label.height)
            << "page dot " << px << "," << py << " outside the " << label.width << "x" << label.height << " label";
        expected[size_t(at.y) * label.width + at.x] = 1;
        ++printed;
      }
    }
    size_t wrong = 0, first = 0;
    for (size_t k = 0; k < expected.size(); ++k)
      if (expected[k] != label.dots[k] && wrong++ == 0) first = k;
    EXPECT_EQ(wrong, 0u) << "label " << i << ": first difference at " << first % label.width << ","
                         << first / label.width << " of " << label.width << "x" << label.height << " (" << printed
                         << " dots expected)";
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, RoundTripTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
