// Control wrappers over Win32 child windows (see controls_win32.h).
#include "controls_win32.h"

#include <commctrl.h>

namespace kvui::win32 {
namespace {

bool isRadio(HWND window) {
  LONG type = GetWindowLongW(window, GWL_STYLE) & BS_TYPEMASK;
  return type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON;
}

bool startsGroup(HWND window) { return (GetWindowLongW(window, GWL_STYLE) & WS_GROUP) != 0; }

// Text of a window of any length.
UiText windowText(HWND window) {
  int length = GetWindowTextLengthW(window);
  UiText text(static_cast<size_t>(length) + 1, WCHAR(0));
  int copied = GetWindowTextW(window, text.data(), length + 1);
  text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
  return text;
}

}  // namespace

bool HasWindowClass(HWND window, const WCHAR* name) {
  WCHAR buffer[64] = {};
  GetClassNameW(window, buffer, 64);
  return lstrcmpiW(buffer, name) == 0;
}

void CheckButton::setChecked(bool checked) {
  if (checked && isRadio(window())) {
    // The group runs from the sibling that carries WS_GROUP up to the next
    // one that does, in the dialog's tab order.
    HWND first = window();
    while (!startsGroup(first)) {
      HWND previous = GetWindow(first, GW_HWNDPREV);
      if (!previous) break;
      first = previous;
    }
    for (HWND sibling = first; sibling; sibling = GetWindow(sibling, GW_HWNDNEXT)) {
      if (sibling != first && startsGroup(sibling)) break;
      if (sibling != window() && isRadio(sibling)) SendMessageW(sibling, BM_SETCHECK, BST_UNCHECKED, 0);
    }
  }
  SendMessageW(window(), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool CheckButton::isChecked() const { return SendMessageW(window(), BM_GETCHECK, 0, 0) == BST_CHECKED; }

void Edit::setText(const UiText& text) { SetWindowTextW(window(), text.c_str()); }

UiText Edit::text() const { return windowText(window()); }

void Edit::setSpinRange(int low, int high) {
  // The up-down control bound to this box is the sibling whose buddy it is.
  for (HWND sibling = GetWindow(window(), GW_HWNDFIRST); sibling; sibling = GetWindow(sibling, GW_HWNDNEXT)) {
    if (HasWindowClass(sibling, UPDOWN_CLASSW) &&
        reinterpret_cast<HWND>(SendMessageW(sibling, UDM_GETBUDDY, 0, 0)) == window()) {
      SendMessageW(sibling, UDM_SETRANGE32, static_cast<WPARAM>(low), static_cast<LPARAM>(high));
    }
  }
}

void Edit::setFocus() {
  // Through the dialog, so that it moves the default-button highlight too.
  HWND dialog = GetParent(window());
  if (dialog) {
    SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(window()), TRUE);
  } else {
    SetFocus(window());
  }
}

ItemListControl::ItemListControl(HWND window) : WindowControl(window), combo_(HasWindowClass(window, WC_COMBOBOXW)) {}

void ItemListControl::clear() { SendMessageW(window(), combo_ ? CB_RESETCONTENT : LB_RESETCONTENT, 0, 0); }

int ItemListControl::add(const UiText& text) {
  LRESULT index = SendMessageW(window(), combo_ ? CB_ADDSTRING : LB_ADDSTRING, 0,
                               reinterpret_cast<LPARAM>(text.c_str()));
  return index < 0 ? -1 : static_cast<int>(index);
}

int ItemListControl::count() const {
  LRESULT n = SendMessageW(window(), combo_ ? CB_GETCOUNT : LB_GETCOUNT, 0, 0);
  return n < 0 ? 0 : static_cast<int>(n);
}

UiText ItemListControl::itemText(int index) const {
  LRESULT length = SendMessageW(window(), combo_ ? CB_GETLBTEXTLEN : LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
  if (length < 0) return {};
  UiText text(static_cast<size_t>(length) + 1, WCHAR(0));
  LRESULT copied = SendMessageW(window(), combo_ ? CB_GETLBTEXT : LB_GETTEXT, static_cast<WPARAM>(index),
                                reinterpret_cast<LPARAM>(text.data()));
  text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
  return text;
}

int ItemListControl::selectedIndex() const {
  LRESULT index = SendMessageW(window(), combo_ ? CB_GETCURSEL : LB_GETCURSEL, 0, 0);
  return index < 0 ? -1 : static_cast<int>(index);
}

void ItemListControl::select(int index) {
  SendMessageW(window(), combo_ ? CB_SETCURSEL : LB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void Progress::setRange(int low, int high) { SendMessageW(window(), PBM_SETRANGE32, low, high); }

void Progress::setPosition(int position) { SendMessageW(window(), PBM_SETPOS, static_cast<WPARAM>(position), 0); }

int Progress::position() const { return static_cast<int>(SendMessageW(window(), PBM_GETPOS, 0, 0)); }

void Status::setPanelText(int panel, const UiText& text) {
  SendMessageW(window(), SB_SETTEXTW, static_cast<WPARAM>(panel), reinterpret_cast<LPARAM>(text.c_str()));
}

UiText Status::panelText(int panel) const {
  LRESULT info = SendMessageW(window(), SB_GETTEXTLENGTHW, static_cast<WPARAM>(panel), 0);
  UiText text(static_cast<size_t>(LOWORD(info)) + 1, WCHAR(0));
  SendMessageW(window(), SB_GETTEXTW, static_cast<WPARAM>(panel), reinterpret_cast<LPARAM>(text.data()));
  text.resize(LOWORD(info));
  return text;
}

void WindowTimer::setInterval(UINT milliseconds) {
  interval_ = milliseconds;
  if (running_) SetTimer(window_, id_, interval_, nullptr);
}

void WindowTimer::start() { running_ = SetTimer(window_, id_, interval_, nullptr) != 0; }

void WindowTimer::stop() {
  if (running_) KillTimer(window_, id_);
  running_ = false;
}

}  // namespace kvui::win32
