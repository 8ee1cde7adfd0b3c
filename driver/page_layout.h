// How the page lies on the label, the one name for it that the geometry,
// the band layout, the drawing hooks and the raster encoder share.
#pragma once

#include <windows.h>

namespace driver {

// The values are the band-layout codes the device record has always kept.
enum class PageLayout : LONG {
  Portrait = 17,           // horizontal bands; GRAPH rows are scanlines
  LandscapeRotated = 18,   // LandscapeRotation on: page turned clockwise, strips left to right
  LandscapeReversed = 34,  // LandscapeRotation off: turned counter-clockwise, strips right to left
};

// The layout of a device-mode orientation (DMORIENT_PORTRAIT or landscape)
// and the LandscapeRotation setting.
inline constexpr PageLayout pageLayoutOf(LONG orientation, bool landscapeRotation) {
  if (orientation == DMORIENT_PORTRAIT) return PageLayout::Portrait;
  return landscapeRotation ? PageLayout::LandscapeRotated : PageLayout::LandscapeReversed;
}

inline constexpr bool isLandscape(PageLayout layout) { return layout != PageLayout::Portrait; }

}  // namespace driver
