// The test label: its frame and millimetre ticks sit on the label's edge
// dots, and both barcodes scan back to the printer's name at each model's
// resolution.
#include "test_page.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

using namespace printerapp;

std::string scan(const std::string& png) {
  const std::string command = "zbarimg --quiet --raw -Sdisable -Scode128.enable -Sqrcode.enable '" + png + "' 2>/dev/null";
  std::string out;
  if (FILE* p = popen(command.c_str(), "r")) {
    char buffer[256];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, p)) > 0) out.append(buffer, n);
    pclose(p);
  }
  return out;
}

struct LabelCase {
  const char* model;
  int dpiX, dpiY, widthTenths, heightTenths;
};

TEST(TestLabel, FrameTicksAndBarcodesForBothModels) {
  if (access("/usr/bin/zbarimg", X_OK) != 0) GTEST_SKIP() << "zbarimg is not installed";
  const LabelCase cases[] = {{"TR7208", 203, 203, 600, 400}, {"KV830", 299, 304, 1040, 300}, {"TR7208", 203, 203, 400, 300}};
  const auto dir = std::filesystem::temp_directory_path() / ("test-label-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  for (const LabelCase& c : cases) {
    TestLabelInfo info;
    info.printerName = "Label-A_1";
    info.model = c.model;
    info.dpiX = c.dpiX;
    info.dpiY = c.dpiY;
    info.widthTenthsMm = c.widthTenths;
    info.heightTenthsMm = c.heightTenths;
    info.widthDots = c.widthTenths * c.dpiX / 254;
    info.heightDots = c.heightTenths * c.dpiY / 254;
    labelprint::GreyImage image;
    std::string error;
    ASSERT_TRUE(drawTestLabel(info, &image, &error)) << error;
    ASSERT_EQ(image.width, info.widthDots);
    ASSERT_EQ(image.height, info.heightDots);
    const std::string label = std::string(c.model) + " " + std::to_string(c.widthTenths);
    // The outermost dots all around are printed, the next ring inwards is
    // blank between ticks.
    for (int x = 0; x < image.width; ++x) {
      EXPECT_EQ(image.at(x, 0), 0) << label << " top " << x;
      EXPECT_EQ(image.at(x, image.height - 1), 0) << label << " bottom " << x;
    }
    for (int y = 0; y < image.height; ++y) {
      EXPECT_EQ(image.at(0, y), 0) << label << " left " << y;
      EXPECT_EQ(image.at(image.width - 1, y), 0) << label << " right " << y;
    }
    // A tick at every millimetre along the top edge, blank between.
    const int mm5 = 5 * c.dpiX * 10 / 254;
    EXPECT_EQ(image.at(mm5, 2), 0) << label;
    EXPECT_EQ(image.at(mm5 + 2, 2), 255) << label;
    const std::string png = (dir / (label + ".png")).string();
    ASSERT_TRUE(writeGreyPng(png, image, c.dpiX, c.dpiY, &error)) << error;
    const std::string scanned = scan(png);
    EXPECT_NE(scanned.find("Label-A_1\n"), std::string::npos) << label << ": " << scanned;
    EXPECT_EQ(scanned, "Label-A_1\nLabel-A_1\n") << label << ": both codes, nothing else";
  }
  std::filesystem::remove_all(dir);
}

TEST(TestLabel, RefusesALabelTooSmallToHoldIt) {
  TestLabelInfo info;
  info.printerName = "a";
  info.model = "TR7208";
  info.widthDots = info.heightDots = 50;
  labelprint::GreyImage image;
  std::string error;
  EXPECT_FALSE(drawTestLabel(info, &image, &error));
  EXPECT_FALSE(error.empty());
}

}  // namespace
