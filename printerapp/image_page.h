// An image placed on a label page as the job asks: turned by its
// orientation, then not scaled (one image pixel is one dot), scaled to fit
// or to fill, centred, and reduced to printed dots by a mid-grey threshold
// so bars and text keep their edges.
#pragma once

#include <cstdint>
#include <vector>

#include "image.h"
#include "label_job.h"

namespace printerapp {

// 8-bit grey, 0 black .. 255 white, row by row, read from PNG files by
// labelprint's reader.
using labelprint::GreyImage;

enum class Scaling { None, Fit, Fill, AutoFit };
// Quarter turns counter-clockwise (IPP landscape is one, reverse landscape
// three, reverse portrait two).
int quarterTurnsOf(int orientationRequested);

// One row of grey levels as printed dots: a dot is printed below mid grey.
// `bits` takes (dots + 7) / 8 bytes.
void thresholdRow(const uint8_t* grey, long dots, uint8_t* bits);

// The page's rows, one bit per dot with a set bit printed, (width + 7) / 8
// bytes each.
std::vector<uint8_t> placeImage(const GreyImage& image, PageDots page, Scaling scaling, int quarterTurns);

}  // namespace printerapp
