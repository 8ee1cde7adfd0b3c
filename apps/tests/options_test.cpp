// labelprint's command line: defaults, every option, and each refusal.
#include "options.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

using labelprint::Options;
using labelprint::parseOptions;

std::vector<std::string> split(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> out;
  for (std::string w; in >> w;) out.push_back(w);
  return out;
}

TEST(Options, DefaultsAreModelALabel256OneCopyPortraitOneBitBinary) {
  Options o;
  std::string error;
  ASSERT_TRUE(parseOptions(split("in.png -o out.prn"), &o, &error)) << error;
  EXPECT_EQ(o.model, "TR7208");
  EXPECT_EQ(o.label, 256);
  EXPECT_EQ(o.copies, 1);
  EXPECT_FALSE(o.landscape || o.rotate || o.grey || o.hex);
  EXPECT_EQ(o.input, "in.png");
  EXPECT_EQ(o.output, "out.prn");
  EXPECT_TRUE(o.preview.empty());
}

TEST(Options, EveryOptionIsTaken) {
  Options o;
  std::string error;
  ASSERT_TRUE(parseOptions(split("--model KV830 --width 800 --height 300 --copies 4 --landscape --rotate --grey "
                                 "--hex --label-file l.lbx --preview p.png in.png -o out.prn"),
                           &o, &error))
      << error;
  EXPECT_EQ(o.model, "KV830");
  EXPECT_EQ(o.label, 256);
  EXPECT_EQ(o.width, 800);
  EXPECT_EQ(o.height, 300);
  EXPECT_EQ(o.copies, 4);
  EXPECT_TRUE(o.landscape && o.rotate && o.grey && o.hex);
  EXPECT_EQ(o.labelFile, "l.lbx");
  EXPECT_EQ(o.preview, "p.png");
  ASSERT_TRUE(parseOptions(split("--label 257 in.png -o o"), &o, &error)) << error;
  EXPECT_EQ(o.label, 257);
}

TEST(Options, ItemsKeepTheirOrderMillimetresAndText) {
  Options o;
  std::string error;
  ASSERT_TRUE(parseOptions({"--text", "1.5,2,3.25,\"Hi, there\"", "--barcode", "4,5,qr,a,b", "--box", "0,0,10,20",
                            "--line", "1,2,3,4,0.8", "--font", "f.ttf", "-o", "o"},
                           &o, &error))
      << error;
  EXPECT_TRUE(o.input.empty());
  ASSERT_EQ(o.items.size(), 4u);
  using Kind = labelprint::Item::Kind;
  EXPECT_EQ(o.items[0].kind, Kind::Text);
  EXPECT_DOUBLE_EQ(o.items[0].x, 1.5);
  EXPECT_DOUBLE_EQ(o.items[0].size, 3.25);
  EXPECT_EQ(o.items[0].text, "Hi, there");
  EXPECT_EQ(o.items[1].kind, Kind::Barcode);
  EXPECT_EQ(o.items[1].type, "qr");
  EXPECT_EQ(o.items[1].text, "a,b");
  EXPECT_EQ(o.items[2].kind, Kind::Box);
  EXPECT_DOUBLE_EQ(o.items[2].b, 20);
  EXPECT_DOUBLE_EQ(o.items[2].thickness, 0.3);
  EXPECT_EQ(o.items[3].kind, Kind::Line);
  EXPECT_DOUBLE_EQ(o.items[3].thickness, 0.8);
  EXPECT_EQ(o.font, "f.ttf");
}

TEST(Options, HelpEndsParsing) {
  Options o;
  std::string error;
  EXPECT_FALSE(parseOptions(split("--fast --help"), &o, &error));  // options before it still count
  ASSERT_TRUE(parseOptions(split("--help --fast"), &o, &error)) << error;
  EXPECT_TRUE(o.help);
}

struct Refusal {
  const char* args;
  const char* message;
};

void PrintTo(const Refusal& r, std::ostream* os) { *os << r.args; }

class OptionsRefused : public ::testing::TestWithParam<Refusal> {};

TEST_P(OptionsRefused, WithAOneLineReason) {
  Options o;
  std::string error;
  EXPECT_FALSE(parseOptions(split(GetParam().args), &o, &error));
  EXPECT_EQ(error, GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OptionsRefused,
    ::testing::Values(Refusal{"--fast in.png -o o", "unknown option '--fast'"},
                      Refusal{"--model TR7209 in.png -o o", "unknown model 'TR7209' (TR7208 or KV830)"},
                      Refusal{"--copies 0 in.png -o o", "value '0' of --copies is out of range 1..9999"},
                      Refusal{"--copies 3x in.png -o o", "value '3x' of --copies is out of range 1..9999"},
                      Refusal{"--width 99 --height 300 in.png -o o", "value '99' of --width is out of range 100..2000"},
                      Refusal{"--width 800 --height 4001 in.png -o o",
                              "value '4001' of --height is out of range 50..4000"},
                      Refusal{"--label -1 in.png -o o", "value '-1' of --label is out of range 1..999"},
                      Refusal{"--width 800 in.png -o o", "--width and --height go together"},
                      Refusal{"--label 257 --width 800 --height 300 in.png -o o",
                              "--width/--height select label 256, not --label 257"},
                      Refusal{"in.png", "no output file (-o JOB.prn)"},
                      Refusal{"--image-box 1,2,3,4 -o out.prn", "--image-box needs an input image"},
                      Refusal{"--text 1,2,3 -o o", "--text needs X,Y,SIZE,TEXT"},
                      Refusal{"--text 1,x,3,Hi -o o", "--text position '1,x' is not two millimetre values"},
                      Refusal{"--text 1,2,0,Hi -o o", "--text size '0' is out of range 0.5..200 mm"},
                      Refusal{"--text 1,2,3, -o o", "--text has no text"},
                      Refusal{"--barcode 1,2,ean13,123 -o o", "--barcode type 'ean13' is not code128 or qr"},
                      Refusal{"--box 1,2,3 -o o", "--box needs X,Y,W,H[,T]"},
                      Refusal{"--box 1,2,0,4 -o o", "--box needs a width and height above 0"},
                      Refusal{"--line 1,2,3,4,0 -o o", "--line pen width '0' is out of range 0.05..50 mm"},
                      Refusal{"--line 1,2,3,4,5,6 -o o", "--line needs X1,Y1,X2,Y2[,T]"},
                      Refusal{"--box -1,2,3,4 -o o", "--box value '-1,2,3,4' is not four millimetre values"},
                      Refusal{"a.png b.png -o o", "more than one input image ('a.png', 'b.png')"},
                      Refusal{"in.png -o", "-o needs a file"},
                      Refusal{"in.png -o o --copies", "--copies needs a value"}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

}  // namespace
