// labelprint's printing through this build's driver, checked with the emulator.
#include "print_job.h"

#include <gtest/gtest.h>

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

}  // namespace
