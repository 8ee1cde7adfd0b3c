// Layout tables of the tool's dialogs (see layout.h).
#include "layout.h"

#include <commctrl.h>
#include <wtext.h>

#include "controls_win32.h"
#include "resource.h"

namespace kvui::win32 {
namespace {

struct ClientSize {
  UINT dialog;
  int width;   // pixels at 96 dpi
  int height;
};

constexpr ClientSize kClientSizes[] = {
    {.dialog = IDD_MAIN, .width = 457, .height = 304},
    {.dialog = IDD_READ, .width = 287, .height = 137},
    {.dialog = IDD_SELECT, .width = 410, .height = 201},
    {.dialog = IDD_SENSOR, .width = 256, .height = 168},
};

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

// Templates are drawn in dialog units of 8-point "MS Sans Serif", whose base
// units are 6 x 13 pixels at 96 dpi. Every child is placed from its
// template rectangle at the system DPI with one rounding per value: its
// corner from the template's corner and its size from the template's size,
// so no error adds up along a row, equal template sizes give equal pixel
// sizes, and a substituted font with other metrics does not stretch the
// layout away from the window's pixel sizes.
constexpr int kNominalBaseX = 6;   // pixels per 4 horizontal dialog units at 96 dpi
constexpr int kNominalBaseY = 13;  // pixels per 8 vertical dialog units at 96 dpi

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
    int left = MulDiv(x, kNominalBaseX * dpi, 4 * 96);
    int top = MulDiv(y, kNominalBaseY * dpi, 8 * 96);
    int width = MulDiv(cx, kNominalBaseX * dpi, 4 * 96);
    int height = MulDiv(cy, kNominalBaseY * dpi, 8 * 96);
    SetWindowPos(child, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void sizeAndCentre(HWND dialog, const ClientSize& size, int dpi) {
  RECT frame = {0, 0, MulDiv(size.width, dpi, 96), MulDiv(size.height, dpi, 96)};
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
  for (const ClientSize& size : kClientSizes) {
    if (size.dialog == dialogId) sizeAndCentre(dialog, size, dpi);
  }
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
