// labelprint's printing through this build's driver, checked with the emulator.
#include "print_job.h"

#include <gtest/gtest.h>
#include <zbar.h>

#include <map>

#include "job_decoder.h"
#include "preview.h"
#include "sim/world.h"

namespace {

using labelprint::GreyImage;
using labelprint::Options;
using labelprint::PrintResult;

GreyImage blackSquare() {
  GreyImage img;
  img.width = img.height = 10;
  img.pixels.assign(100, 0);
  return img;
}

Options defaults() {
  Options o;
  o.model = labelprint::driverModel();
  o.input = "in.png";
  o.output = "out.prn";
  return o;
}

emu::Label decodeOne(const PrintResult& r, const Options& o) {
  emu::JobReport report;
  emu::DecodeError error;
  EXPECT_TRUE(emu::decodeJob(r.bytes.data(), r.bytes.size(), report, error, labelprint::decodeOptionsFor(o)))
      << error.describe();
  EXPECT_EQ(report.labels.size(), 1u);
  return report.labels.empty() ? emu::Label{} : report.labels[0];
}

const GreyImage square = blackSquare();

TEST(PrintJob, SquareImageIsCentredOnThePortraitPage) {
  Options o = defaults();
  o.copies = 2;
  PrintResult r;
  std::string error;
  ASSERT_TRUE(labelprint::printLabel(o, &square, &r, &error)) << error;
  emu::Label label = decodeOne(r, o);
  EXPECT_EQ(label.quantity, 2);
  const int side = std::min(r.pageWidth, r.pageHeight);
  const int left = (r.pageWidth - side) / 2, top = (r.pageHeight - side) / 2;
  EXPECT_EQ(label.dotCount(), size_t(side) * side);
  EXPECT_TRUE(label.dot(left, top));
  EXPECT_TRUE(label.dot(left + side - 1, top + side - 1));
  EXPECT_FALSE(label.dot(left - 1, top));
  EXPECT_FALSE(label.dot(left + side, top));
  sim::reset();
}

TEST(PrintJob, EveryModeGivesADecodableLabel) {
  for (int mode = 0; mode < 8; ++mode) {
    Options o = defaults();
    o.landscape = mode & 1;
    o.rotate = mode & 2;
    o.grey = mode & 4;
    o.hex = mode == 7;
    o.width = 800;
    o.height = 300;
    PrintResult r;
    std::string error;
    ASSERT_TRUE(labelprint::printLabel(o, &square, &r, &error)) << error;
    emu::Label label = decodeOne(r, o);
    // A black square prints black in grey mode too (level 0 prints every dot).
    const int side = std::min(r.pageWidth, r.pageHeight);
    EXPECT_EQ(label.dotCount(), size_t(side) * side) << "mode " << mode;
  }
  sim::reset();
}

TEST(PrintJob, SettingsTheModelCannotTakeAreRefused) {
  PrintResult r;
  std::string error;
  Options o = defaults();
  o.label = 300;
  EXPECT_FALSE(labelprint::printLabel(o, &square, &r, &error));
  EXPECT_EQ(error, "label 300 is not defined for " + std::string(labelprint::driverModel()));
  o = defaults();
  o.model = std::string(labelprint::driverModel()) == "KV830" ? "TR7208" : "KV830";
  EXPECT_FALSE(labelprint::printLabel(o, &square, &r, &error));
  o = defaults();
  o.labelFile = "/nonexistent/labels.lbx";
  EXPECT_FALSE(labelprint::printLabel(o, &square, &r, &error));
  EXPECT_EQ(error, "cannot read label file '/nonexistent/labels.lbx'");
  sim::reset();
}

// The codes zbar reads from the printed label: type name -> data.
std::map<std::string, std::string> scan(const emu::Label& label) {
  using namespace zbar;
  // Printed dots black on white, with a white margin as quiet zone.
  const int margin = 40, w = label.width + 2 * margin, h = label.height + 2 * margin;
  std::vector<uint8_t> grey(size_t(w) * h, 255);
  for (int y = 0; y < label.height; ++y)
    for (int x = 0; x < label.width; ++x)
      if (label.dot(x, y)) grey[size_t(y + margin) * w + x + margin] = 0;
  zbar_image_scanner_t* scanner = zbar_image_scanner_create();
  zbar_image_scanner_set_config(scanner, ZBAR_NONE, ZBAR_CFG_ENABLE, 1);
  zbar_image_t* image = zbar_image_create();
  zbar_image_set_format(image, zbar_fourcc('Y', '8', '0', '0'));
  zbar_image_set_size(image, unsigned(w), unsigned(h));
  zbar_image_set_data(image, grey.data(), grey.size(), nullptr);
  zbar_scan_image(scanner, image);
  std::map<std::string, std::string> found;
  for (const zbar_symbol_t* s = zbar_image_first_symbol(image); s; s = zbar_symbol_next(s))
    found[zbar_get_symbol_name(zbar_symbol_get_type(s))] = zbar_symbol_get_data(s);
  zbar_image_destroy(image);
  zbar_image_scanner_destroy(scanner);
  return found;
}

labelprint::Item item(labelprint::Item::Kind kind, double x, double y, double a = 0, double b = 0) {
  labelprint::Item i;
  i.kind = kind;
  i.x = x, i.y = y, i.a = a, i.b = b;
  return i;
}

struct Layout {
  const char* name;
  bool landscape, rotate, grey;
};

class Barcodes : public ::testing::TestWithParam<Layout> {};

TEST_P(Barcodes, ScanBackToTheirData) {
  Options o = defaults();
  o.input.clear();
  o.landscape = GetParam().landscape;
  o.rotate = GetParam().rotate;
  o.grey = GetParam().grey;
  labelprint::Item code = item(labelprint::Item::Kind::Barcode, 5, 5);
  code.type = "code128";
  code.text = "VRD-2026-0042";
  labelprint::Item qr = item(labelprint::Item::Kind::Barcode, 5, 22);
  qr.type = "qr";
  qr.text = "Varodyn 标签 42";
  o.items = {code, qr};
  PrintResult r;
  std::string error;
  ASSERT_TRUE(labelprint::printLabel(o, nullptr, &r, &error)) << error;
  const auto found = scan(decodeOne(r, o));
  EXPECT_EQ(found.count("CODE-128") ? found.at("CODE-128") : "", "VRD-2026-0042");
  EXPECT_EQ(found.count("QR-Code") ? found.at("QR-Code") : "", "Varodyn 标签 42");
  sim::reset();
}

INSTANTIATE_TEST_SUITE_P(Layouts, Barcodes,
                         ::testing::Values(Layout{"Portrait", false, false, false},
                                           Layout{"PortraitGrey", false, false, true},
                                           Layout{"Landscape", true, false, false},
                                           Layout{"LandscapeRotated", true, true, false},
                                           Layout{"LandscapeRotatedGrey", true, true, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PrintJob, BoxesLinesAndTextLandInMillimetresFromThePrintableCorner) {
  Options o = defaults();
  o.input.clear();
  labelprint::Item box = item(labelprint::Item::Kind::Box, 2, 3, 20, 10);
  box.thickness = 0.5;
  labelprint::Item line = item(labelprint::Item::Kind::Line, 30, 5, 45, 5);
  line.thickness = 0.5;
  labelprint::Item text = item(labelprint::Item::Kind::Text, 30, 10);
  text.size = 5;
  text.text = "Hi 你好";
  o.items = {box, line, text};
  PrintResult r;
  std::string error;
  ASSERT_TRUE(labelprint::printLabel(o, nullptr, &r, &error)) << error;
  const emu::Label label = decodeOne(r, o);
  auto d = [&](double mm) { return int(labelprint::dotsOf(mm, r.dpi)); };
  const int pen = d(0.5);
  // The box: its outline `pen` dots wide inside X..X+W, Y..Y+H.
  EXPECT_TRUE(label.dot(d(2), d(3)));
  EXPECT_TRUE(label.dot(d(22) - 1, d(13) - 1));
  EXPECT_TRUE(label.dot(d(2) + pen - 1, d(8)));
  EXPECT_FALSE(label.dot(d(2) + pen, d(8)));
  EXPECT_FALSE(label.dot(d(2) - 1, d(8)));
  EXPECT_FALSE(label.dot(d(12), d(8)));
  // The line: centred on y = 5 mm.
  EXPECT_TRUE(label.dot(d(37), d(5)));
  EXPECT_FALSE(label.dot(d(37), d(5) + pen));
  EXPECT_FALSE(label.dot(d(37), d(5) - pen));
  // The text: ink below its top-left corner, none above or left of it.
  size_t ink = 0, outside = 0;
  for (int y = d(8); y < d(17); ++y)
    for (int x = d(28); x < d(60); ++x) {
      if (!label.dot(x, y)) continue;
      (x < d(30) || y < d(10) ? outside : ink)++;
    }
  EXPECT_GT(ink, 200u);
  EXPECT_EQ(outside, 0u);
  sim::reset();
}

TEST(PrintJob, AGreyImageIsHalftonedIntoDotsNotThresholded) {
  Options o = defaults();
  GreyImage mid;
  mid.width = mid.height = 20;
  mid.pixels.assign(400, 128);
  PrintResult r;
  std::string error;
  ASSERT_TRUE(labelprint::printLabel(o, &mid, &r, &error)) << error;
  const emu::Label label = decodeOne(r, o);
  const int side = std::min(r.pageWidth, r.pageHeight);
  const double share = double(label.dotCount()) / (double(side) * side);
  EXPECT_GT(share, 0.4);
  EXPECT_LT(share, 0.6);
  sim::reset();
}

}  // namespace
