// Reading PNG files as grey and placing images on the page.
#include "image.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <fstream>

namespace {

using labelprint::GreyImage;

struct FitCase {
  int imageW, imageH, pageW, pageH;
  int left, top, width, height;  // where the image lands
};

void PrintTo(const FitCase& c, std::ostream* os) {
  *os << c.imageW << "x" << c.imageH << " on " << c.pageW << "x" << c.pageH;
}

class FitInside : public ::testing::TestWithParam<FitCase> {};

TEST_P(FitInside, KeepsAspectAndCentres) {
  const FitCase& c = GetParam();
  const labelprint::FitRect r = labelprint::fitInside(c.imageW, c.imageH, c.pageW, c.pageH);
  EXPECT_EQ(r.left, c.left);
  EXPECT_EQ(r.top, c.top);
  EXPECT_EQ(r.width, c.width);
  EXPECT_EQ(r.height, c.height);
}

INSTANTIATE_TEST_SUITE_P(Cases, FitInside,
                         ::testing::Values(FitCase{10, 10, 40, 20, 10, 0, 20, 20},   // limited by height
                                           FitCase{20, 5, 40, 40, 0, 15, 40, 10},    // limited by width, upscaled
                                           FitCase{400, 100, 40, 40, 0, 15, 40, 10},  // downscaled
                                           FitCase{7, 3, 7, 3, 0, 0, 7, 3},           // same size
                                           FitCase{0, 3, 7, 3, 0, 0, 0, 0}),          // empty image
                         [](const auto& info) {
                           const FitCase& c = info.param;
                           return std::to_string(c.imageW) + "x" + std::to_string(c.imageH) + "On" +
                                  std::to_string(c.pageW) + "x" + std::to_string(c.pageH);
                         });

TEST(ReadPng, ReadsGreyAndCompositesTransparencyOnWhite) {
  std::string path = ::testing::TempDir() + "labelprint-image-test.png";
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = 2;
  image.height = 1;
  image.format = PNG_FORMAT_RGBA;
  const uint8_t rgba[] = {0, 0, 0, 255, 0, 0, 0, 0};  // black, then fully transparent
  ASSERT_TRUE(png_image_write_to_file(&image, path.c_str(), 0, rgba, 0, nullptr));
  GreyImage grey;
  std::string error;
  ASSERT_TRUE(labelprint::readPng(path, &grey, &error)) << error;
  ASSERT_EQ(grey.width, 2);
  ASSERT_EQ(grey.height, 1);
  EXPECT_EQ(grey.at(0, 0), 0);
  EXPECT_EQ(grey.at(1, 0), 255);
  std::remove(path.c_str());
}

TEST(ReadPng, MissingOrBrokenFilesAreReported) {
  GreyImage grey;
  std::string error;
  EXPECT_FALSE(labelprint::readPng("/nonexistent/none.png", &grey, &error));
  EXPECT_NE(error.find("cannot read image '/nonexistent/none.png'"), std::string::npos) << error;
  std::string path = ::testing::TempDir() + "labelprint-broken.png";
  std::ofstream(path) << "not a png";
  EXPECT_FALSE(labelprint::readPng(path, &grey, &error));
  EXPECT_NE(error.find(path), std::string::npos);
  std::remove(path.c_str());
}

}  // namespace
