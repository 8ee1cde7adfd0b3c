// Grey images for labelprint: reading a PNG file and fitting it to a page.
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

// The image scaled to fit a width x height page keeping its aspect ratio
// (each page pixel averages the source pixels it covers), centred on a
// white page.
GreyImage fitToPage(const GreyImage& image, int width, int height);

}  // namespace labelprint
