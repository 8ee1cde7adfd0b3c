// Layout tables of the tool's dialogs (see layout.h).
#include "layout.h"

#include <commctrl.h>
#include <wtext.h>

#include "controls_win32.h"
#include "layout_grid.h"
#include "resource.h"

namespace kvui::win32 {
namespace {

struct StatusPanels {
  UINT control;
  int firstWidth;  // pixels at 96 dpi; the second panel takes the rest
};

constexpr StatusPanels kStatusPanels[] = {
    {.control = IDC_READ_STATUS, .firstWidth = 50},
};

struct ControlFont {
  UINT control;
  int points;
  const WCHAR* face;
};

const ControlFont kControlFonts[] = {
    // SimSun under its Chinese name, as the font is registered on Chinese
    // systems and substituted elsewhere.
    {.control = IDC_SELECT_INFO, .points = 10, .face = WTEXT("\u5B8B\u4F53")},
};

int systemDpi() {
  HDC screen = GetDC(nullptr);
  int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen) ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

// Every child is placed from its template rectangle at the system DPI
// (gridToPixels), so a substituted font with other metrics does not stretch
// the layout away from the window's pixel sizes either.

void placeOnGrid(HWND dialog, int dpi) {
  // The base units the dialog manager used: exact, as it multiplies whole
  // base units.
  RECT probe = {0, 0, 400, 800};
  if (!MapDialogRect(dialog, &probe) || probe.right < 500 || probe.bottom < 500) return;
  const int baseX = probe.right / 100;
  const int baseY = probe.bottom / 100;
  for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (HasWindowClass(child, STATUSCLASSNAMEW)) continue;  // docks itself
    RECT box;
    GetWindowRect(child, &box);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&box), 2);
    if (HasWindowClass(child, WC_COMBOBOXW)) {
      // A combo box's height includes its drop-down list.
      RECT dropped;
      if (SendMessageW(child, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&dropped))) {
        box.bottom = box.top + (dropped.bottom - dropped.top);
      }
    }
    // Back to template units (exact while a base unit spans more than one
    // pixel per dialog unit), then to pixels at this DPI.
    int x = MulDiv(box.left, 4, baseX), y = MulDiv(box.top, 8, baseY);
    int cx = MulDiv(box.right - box.left, 4, baseX), cy = MulDiv(box.bottom - box.top, 8, baseY);
    PixelRect at = gridToPixels(x, y, cx, cy, dpi);
    SetWindowPos(child, nullptr, at.left, at.top, at.right - at.left, at.bottom - at.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void sizeAndCentre(HWND dialog, int width96, int height96, int dpi) {
  RECT frame = {0, 0, scaleToDpi(width96, dpi), scaleToDpi(height96, dpi)};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongW(dialog, GWL_STYLE)), GetMenu(dialog) != nullptr,
                     static_cast<DWORD>(GetWindowLongW(dialog, GWL_EXSTYLE)));
  int width = frame.right - frame.left;
  int height = frame.bottom - frame.top;
  MONITORINFO monitor = {};
  monitor.cbSize = sizeof monitor;
  RECT area = {0, 0, width, height};
  if (GetMonitorInfoW(MonitorFromWindow(dialog, MONITOR_DEFAULTTOPRIMARY), &monitor)) area = monitor.rcWork;
  int x = area.left + ((area.right - area.left) - width) / 2;
  int y = area.top + ((area.bottom - area.top) - height) / 2;
  SetWindowPos(dialog, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

LayoutResources::~LayoutResources() {
  for (HFONT font : fonts_) DeleteObject(font);
}

void ApplyLayout(HWND dialog, UINT dialogId, LayoutResources& resources) {
  int dpi = systemDpi();
  placeOnGrid(dialog, dpi);
  int width = 0, height = 0;
  if (clientSize96(dialogId, &width, &height)) sizeAndCentre(dialog, width, height, dpi);
  for (const StatusPanels& panels : kStatusPanels) {
    HWND bar = GetDlgItem(dialog, static_cast<int>(panels.control));
    if (!bar) continue;
    SendMessageW(bar, WM_SIZE, 0, 0);  // back to the bottom edge after the resize
    int edges[2] = {MulDiv(panels.firstWidth, dpi, 96), -1};
    SendMessageW(bar, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(edges));
  }
  for (const ControlFont& wanted : kControlFonts) {
    HWND control = GetDlgItem(dialog, static_cast<int>(wanted.control));
    if (!control) continue;
    HFONT font = CreateFontW(-MulDiv(wanted.points, dpi, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                             GB2312_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                             DEFAULT_PITCH | FF_DONTCARE, wanted.face);
    if (!font) continue;
    resources.keep(font);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  }
}

}  // namespace kvui::win32
