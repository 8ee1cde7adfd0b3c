// Band layout and the band-count estimate.
#include "bands.h"

namespace driver {

namespace {

// Both work in 64 bits: a corrupt device mode or label file can ask for
// page sizes near the LONG range.
LONG roundUp(LONG v, LONG unit) {
  if (unit <= 1) return v;
  const long long rounded = ((long long)v + unit - 1) / unit * unit;
  return rounded > 0x7FFFFFFF ? LONG(0x7FFFFFFF / unit * unit) : LONG(rounded);
}
LONG ceilDiv(LONG a, LONG b) { return b <= 0 ? 0 : LONG(((long long)a + b - 1) / b); }
LONG clampBands(LONG d) { return d < 1 ? 1 : (d > kMaxBands ? kMaxBands : d); }

}  // namespace

LONG bandEstimate(LONG a, LONG b, LONG bytesPerDot) {
  if (a <= 0 || b <= 0) return 1;
  long long line = ((long long)a * bytesPerDot + 3) / 4 * 4;
  long long estimate = (line * b + kBandBudgetBytes - 1) / kBandBudgetBytes;
  return estimate > kMaxBands ? kMaxBands : (estimate < 1 ? 1 : LONG(estimate));
}

void layoutBands(PrinterDevice& device, LONG n) {
  n = clampBands(n);
  const PageGeometry& g = device.geometry;
  const LONG W = g.printableWidthDots > 0 ? g.printableWidthDots : 1;
  const LONG H = g.printableHeightDots > 0 ? g.printableHeightDots : 1;
  const bool oneBit = device.render.bitDepth == 1;
  const LONG A = device.banding.bandAlignment > 0 ? device.banding.bandAlignment : 1;
  const LONG unit = oneBit ? 32 : 4;
  auto scanBytes = [&](LONG width) { return oneBit ? width / 8 : width; };

  BandEntry& page = device.wholePage;
  page = BandEntry{0, 0, roundUp(W, unit), roundUp(H, A), W, H, scanBytes(roundUp(W, unit)), kBandEncode};

  ZeroMemory(device.bands, sizeof device.bands);
  if (device.render.layout == PageLayout::Portrait) {
    const LONG bandWidth = roundUp(W, unit);
    const LONG bandHeight = roundUp(ceilDiv(H, n), A);
    const LONG d = clampBands(ceilDiv(H, bandHeight));
    device.bandCount = d;
    device.bandSize = BandEntry{0, 0, bandWidth, bandHeight, W, bandHeight, scanBytes(bandWidth), kBandEncode};
    for (LONG j = 0; j < d; ++j) {
      LONG exactHeight = j == d - 1 ? H - (d - 1) * bandHeight : bandHeight;
      device.bands[j] = BandEntry{0, j * bandHeight, bandWidth, bandHeight, W, exactHeight, scanBytes(bandWidth), kBandEncode};
    }
    return;
  }
  // Landscape: vertical strips, numbered left to right (LandscapeRotated) or
  // right to left (LandscapeReversed).
  const LONG bandWidth = roundUp(ceilDiv(W, n), unit);
  const LONG bandHeight = roundUp(H, A);
  const LONG d = clampBands(ceilDiv(W, bandWidth));
  device.bandCount = d;
  device.bandSize = BandEntry{0, 0, bandWidth, bandHeight, bandWidth, H, scanBytes(bandWidth), kBandEncode};
  const bool reversed = device.render.layout == PageLayout::LandscapeReversed;
  for (LONG j = 0; j < d; ++j) {
    LONG strip = reversed ? d - 1 - j : j;  // position from the left
    LONG exactWidth = strip == d - 1 ? W - (d - 1) * bandWidth : bandWidth;
    device.bands[j] = BandEntry{strip * bandWidth, 0, bandWidth, bandHeight, exactWidth, H, scanBytes(bandWidth), kBandEncode};
  }
}

}  // namespace driver
