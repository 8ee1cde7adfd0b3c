// Image placement on the page.
#include "image_page.h"

#include <algorithm>

namespace printerapp {

namespace {

// The image turned by `turns` quarter turns counter-clockwise.
GreyImage turned(const GreyImage& in, int turns) {
  turns &= 3;
  if (turns == 0) return in;
  GreyImage out;
  out.width = turns == 2 ? in.width : in.height;
  out.height = turns == 2 ? in.height : in.width;
  out.pixels.resize(in.pixels.size());
  for (int y = 0; y < in.height; ++y)
    for (int x = 0; x < in.width; ++x) {
      int ox, oy;
      switch (turns) {
        case 1:  // counter-clockwise
          ox = y;
          oy = in.width - 1 - x;
          break;
        case 2:
          ox = in.width - 1 - x;
          oy = in.height - 1 - y;
          break;
        default:  // clockwise
          ox = in.height - 1 - y;
          oy = x;
          break;
      }
      out.pixels[size_t(oy) * out.width + ox] = in.pixels[size_t(y) * in.width + x];
    }
  return out;
}

}  // namespace

void thresholdRow(const uint8_t* grey, long dots, uint8_t* bits) {
  std::fill(bits, bits + (dots + 7) / 8, uint8_t(0));
  for (long x = 0; x < dots; ++x)
    if (grey[x] < 128) bits[x / 8] |= uint8_t(0x80 >> (x % 8));
}

int quarterTurnsOf(int orientationRequested) {
  switch (orientationRequested) {
    case 4:  // landscape
      return 1;
    case 5:  // reverse-landscape
      return 3;
    case 6:  // reverse-portrait
      return 2;
    default:
      return 0;
  }
}

std::vector<uint8_t> placeImage(const GreyImage& source, PageDots page, Scaling scaling, int quarterTurns) {
  const LONG bytesPerRow = (page.width + 7) / 8;
  std::vector<uint8_t> rows(size_t(std::max<LONG>(bytesPerRow, 0)) * size_t(std::max<LONG>(page.height, 0)), 0);
  if (source.width <= 0 || source.height <= 0 || page.width <= 0 || page.height <= 0) return rows;
  const GreyImage image = turned(source, quarterTurns);
  const bool larger = image.width > page.width || image.height > page.height;
  if (scaling == Scaling::AutoFit) scaling = larger ? Scaling::Fit : Scaling::None;
  // Dots per image pixel as a fraction num / den.
  long long num = 1, den = 1;
  if (scaling != Scaling::None) {
    // Fit: the smaller of the two ratios; fill: the larger.
    const bool widthRules = (static_cast<long long>(page.width) * image.height <
                             static_cast<long long>(page.height) * image.width) == (scaling == Scaling::Fit);
    num = widthRules ? page.width : page.height;
    den = widthRules ? image.width : image.height;
  }
  const long long drawnW = image.width * num / den, drawnH = image.height * num / den;
  // Centred; a drawing larger than the page is cut evenly on both sides.
  const long long left = (page.width - drawnW) / 2, top = (page.height - drawnH) / 2;
  for (LONG y = 0; y < page.height; ++y) {
    const long long dy = y - top;
    if (dy < 0 || dy >= drawnH) continue;
    const int iy = static_cast<int>(std::min<long long>(dy * den / num, image.height - 1));
    const uint8_t* line = image.pixels.data() + size_t(iy) * image.width;
    uint8_t* out = rows.data() + size_t(y) * bytesPerRow;
    for (LONG x = 0; x < page.width; ++x) {
      const long long dx = x - left;
      if (dx < 0 || dx >= drawnW) continue;
      const int ix = static_cast<int>(std::min<long long>(dx * den / num, image.width - 1));
      if (line[ix] < 128) out[x / 8] |= uint8_t(0x80 >> (x % 8));
    }
  }
  return rows;
}

}  // namespace printerapp
