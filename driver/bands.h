// Band layout: how the printable page is cut into bands for a band count.
#pragma once

#include <windows.h>

#include "device.h"

namespace driver {

// Band-count estimate for a printable area of a x b dots with
// bytesPerDot bytes per dot: ceil(line bytes rounded to 4 * b / budget),
// clamped to 1..kMaxBands.
LONG bandEstimate(LONG a, LONG b, LONG bytesPerDot);

// Lays out n bands (clamped to 1..kMaxBands) of the device's printable area
// into bandCount, bandSize, bands[] and wholePage, by the device's page
// layout and bit depth.
void layoutBands(PrinterDevice& device, LONG n);

}  // namespace driver
