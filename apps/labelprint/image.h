// Grey images for labelprint: reading a PNG file and placing it on a page.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace labelprint {

// 8-bit grey, 0 black .. 255 white, row by row.
struct GreyImage {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> pixels;
  uint8_t at(int x, int y) const { return pixels[size_t(y) * width + x]; }
};

// Reads any PNG as grey, transparent parts on white. False with a one-line
// reason in *error for a missing, unreadable or empty file.
bool readPng(const std::string& path, GreyImage* image, std::string* error);

// Where an image of imageWidth x imageHeight lands when scaled to fit a
// width x height box keeping its aspect ratio, centred: offset in the box
// and size. All zero when a size is not positive.
struct FitRect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
};
FitRect fitInside(int imageWidth, int imageHeight, int width, int height);

}  // namespace labelprint
