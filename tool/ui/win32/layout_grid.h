// Where the tool's controls land in pixels: the dialog templates' rectangles
// (dialog units of 8-point "MS Sans Serif") and the windows' client sizes
// (pixels at 96 dpi), at any display DPI. Plain arithmetic, no window.
#pragma once

#include <windows.h>

namespace kvui::win32 {

struct PixelRect {
  int left, top, right, bottom;
};

// A template rectangle in pixels at `dpi`: its corner from the template's
// corner and its size from the template's size, each rounded once to the
// nearest pixel, so equal template sizes give equal pixel sizes and no
// rounding error adds up along a row or column.
PixelRect gridToPixels(int x, int y, int cx, int cy, int dpi);

// A length in pixels at 96 dpi, at `dpi` (rounded to the nearest pixel).
int scaleToDpi(int pixels96, int dpi);

// The client size of dialog `dialogId` in pixels at 96 dpi; false for a
// dialog without one.
bool clientSize96(UINT dialogId, int* width, int* height);

}  // namespace kvui::win32
