// Template and client geometry at any DPI (see layout_grid.h).
#include "layout_grid.h"

#include "resource.h"

namespace kvui::win32 {
namespace {

// Base units of 8-point "MS Sans Serif" at 96 dpi: 6 pixels per 4
// horizontal and 13 pixels per 8 vertical dialog units.
constexpr long long kBaseX = 6, kBaseY = 13;

// value * num / den to the nearest integer, halves away from zero.
int roundedRatio(long long value, long long num, long long den) {
  long long product = value * num;
  return static_cast<int>(product >= 0 ? (product + den / 2) / den : -((-product + den / 2) / den));
}

struct ClientSize {
  UINT dialog;
  int width;  // pixels at 96 dpi
  int height;
};

constexpr ClientSize kClientSizes[] = {
    {.dialog = IDD_MAIN, .width = 457, .height = 304},
    {.dialog = IDD_READ, .width = 287, .height = 137},
    {.dialog = IDD_SELECT, .width = 410, .height = 201},
    {.dialog = IDD_SENSOR, .width = 256, .height = 168},
};

}  // namespace

PixelRect gridToPixels(int x, int y, int cx, int cy, int dpi) {
  int left = roundedRatio(x, kBaseX * dpi, 4 * 96);
  int top = roundedRatio(y, kBaseY * dpi, 8 * 96);
  return {left, top, left + roundedRatio(cx, kBaseX * dpi, 4 * 96), top + roundedRatio(cy, kBaseY * dpi, 8 * 96)};
}

int scaleToDpi(int pixels96, int dpi) { return roundedRatio(pixels96, dpi, 96); }

bool clientSize96(UINT dialogId, int* width, int* height) {
  for (const ClientSize& size : kClientSizes)
    if (size.dialog == dialogId) {
      *width = size.width;
      *height = size.height;
      return true;
    }
  return false;
}

}  // namespace kvui::win32
