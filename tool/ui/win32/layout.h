// What the dialog templates cannot say: exact client sizes in pixels,
// status-bar panels and per-control fonts. Applied when a dialog is created.
#pragma once

#include <windows.h>

#include <vector>

namespace kvui::win32 {

// Fonts created for one dialog, deleted with it.
class LayoutResources {
 public:
  LayoutResources() = default;
  ~LayoutResources();
  LayoutResources(const LayoutResources&) = delete;
  LayoutResources& operator=(const LayoutResources&) = delete;
  void keep(HFONT font) { fonts_.push_back(font); }

 private:
  std::vector<HFONT> fonts_;
};

// Sizes the client area of dialog `dialogId` (pixels at 96 dpi, scaled to
// the system DPI), centres the window on its monitor's work area, splits its
// status bars into panels and gives controls their own fonts.
void ApplyLayout(HWND dialog, UINT dialogId, LayoutResources& resources);

}  // namespace kvui::win32
