// Image placement: 1:1 without scaling, fit and fill, turns, centring.
#include "image_page.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace printerapp;

GreyImage imageOf(int w, int h, const std::string& dots) {  // '#' black
  GreyImage im;
  im.width = w;
  im.height = h;
  for (char c : dots) im.pixels.push_back(c == '#' ? 0 : 255);
  return im;
}

std::string pageText(const std::vector<uint8_t>& rows, PageDots page) {
  std::string s;
  const LONG bpr = (page.width + 7) / 8;
  for (LONG y = 0; y < page.height; ++y) {
    for (LONG x = 0; x < page.width; ++x) s += (rows[size_t(y) * bpr + x / 8] & (0x80 >> (x % 8))) ? '#' : '.';
    s += '/';
  }
  return s;
}

GreyImage levels(std::vector<uint8_t> pixels) {
  GreyImage im;
  im.width = static_cast<int>(pixels.size());
  im.height = 1;
  im.pixels = std::move(pixels);
  return im;
}

TEST(PlaceImage, ScalingTurnsAndCentring) {
  // 2 x 1 image: left pixel black.
  const GreyImage twoByOne = imageOf(2, 1, "#.");
  struct Case {
    const char* name;
    GreyImage image;
    PageDots page;
    Scaling scaling;
    int turns;
    const char* expected;
  } const cases[] = {
      {"NoneIsOneDotPerPixelCentred", twoByOne, {4, 3}, Scaling::None, 0, "..../.#../..../"},
      {"NoneCutsALargerImageEvenly", imageOf(4, 1, ".##."), {2, 1}, Scaling::None, 0, "##/"},
      {"FitKeepsTheAspect", twoByOne, {4, 4}, Scaling::Fit, 0, "..../##../##../..../"},
      {"FillCoversThePage", twoByOne, {2, 2}, Scaling::Fill, 0, "#./#./"},
      {"AutoFitLeavesASmallerImageAlone", twoByOne, {4, 1}, Scaling::AutoFit, 0, ".#../"},
      {"AutoFitShrinksALargerImage", imageOf(4, 2, "##..##.."), {2, 1}, Scaling::AutoFit, 0, "#./"},
      {"LandscapeTurnsCounterClockwise", twoByOne, {1, 2}, Scaling::None, 1, "./#/"},
      {"ReverseLandscapeTurnsClockwise", twoByOne, {1, 2}, Scaling::None, 3, "#/./"},
      {"ReversePortraitTurnsHalfway", twoByOne, {2, 1}, Scaling::None, 2, ".#/"},
      {"GreyThresholdAtMid", levels({127, 128, 0}), {3, 1}, Scaling::None, 0, "#.#/"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(pageText(placeImage(c.image, c.page, c.scaling, c.turns), c.page), c.expected) << c.name;
}

TEST(ThresholdRow, PrintsBelowMidGreyAndClearsTheRest) {
  const uint8_t grey[10] = {0, 127, 128, 255, 0, 0, 0, 0, 0, 200};
  uint8_t bits[2] = {0xFF, 0xFF};
  thresholdRow(grey, 10, bits);
  EXPECT_EQ(bits[0], 0xCF);  // 1100 1111
  EXPECT_EQ(bits[1], 0x80);  // 10.. ....
}

TEST(PlaceImage, OrientationRequestedToTurns) {
  EXPECT_EQ(quarterTurnsOf(3), 0);
  EXPECT_EQ(quarterTurnsOf(4), 1);
  EXPECT_EQ(quarterTurnsOf(5), 3);
  EXPECT_EQ(quarterTurnsOf(6), 2);
}

}  // namespace
