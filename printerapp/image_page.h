// An image placed on a label page as the job asks: turned by its
// orientation, then not scaled (one image pixel is one dot), scaled to fit
// or to fill, centred, and reduced to printed dots by a mid-grey threshold
// so bars and text keep their edges.
#pragma once

#include <cstdint>
#include <vector>

#include "label_job.h"

namespace printerapp {

// 8-bit grey, 0 black .. 255 white, row by row.
struct GreyImage {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> pixels;
};

enum class Scaling { None, Fit, Fill, AutoFit };
// Quarter turns counter-clockwise (IPP landscape is one, reverse landscape
// three, reverse portrait two).
int quarterTurnsOf(int orientationRequested);

// The page's rows, one bit per dot with a set bit printed, (width + 7) / 8
// bytes each.
std::vector<uint8_t> placeImage(const GreyImage& image, PageDots page, Scaling scaling, int quarterTurns);

}  // namespace printerapp
