// The control interfaces of the tool's windows over real Win32 controls.
// Each object wraps one child window of a dialog; it only draws and
// reports, it decides nothing.
#pragma once

#include <windows.h>

#include "controls.h"

namespace kvui::win32 {

// True when `window` is of the window class `name` (case-insensitive).
bool HasWindowClass(HWND window, const WCHAR* name);

// Enable state shared by every wrapped control.
template <class Interface>
class WindowControl : public Interface {
 public:
  explicit WindowControl(HWND window) : window_(window) {}
  void setEnabled(bool enabled) override { EnableWindow(window_, enabled ? TRUE : FALSE); }
  bool isEnabled() const override { return IsWindowEnabled(window_) != FALSE; }

 protected:
  HWND window() const { return window_; }

 private:
  HWND window_;
};

class PushButton final : public WindowControl<Button> {
 public:
  using WindowControl::WindowControl;
};

// Radio buttons and check boxes. Checking a radio button from the program
// unchecks the other radio buttons of its group (BM_SETCHECK alone does not;
// only a click does).
class CheckButton final : public WindowControl<CheckControl> {
 public:
  using WindowControl::WindowControl;
  void setChecked(bool checked) override;
  bool isChecked() const override;
};

// An edit box; setSpinRange reaches the up-down control whose buddy it is.
class Edit final : public WindowControl<EditBox> {
 public:
  using WindowControl::WindowControl;
  void setText(const UiText& text) override;
  UiText text() const override;
  void setSpinRange(int low, int high) override;
  void setFocus() override;
};

// A combo box or a list box, told apart by window class.
class ItemListControl final : public WindowControl<ItemList> {
 public:
  explicit ItemListControl(HWND window);
  void clear() override;
  int add(const UiText& text) override;
  int count() const override;
  UiText itemText(int index) const override;
  int selectedIndex() const override;
  void select(int index) override;

 private:
  bool combo_;
};

class Progress final : public WindowControl<ProgressBar> {
 public:
  using WindowControl::WindowControl;
  void setRange(int low, int high) override;
  void setPosition(int position) override;
  int position() const override;
};

class Status final : public WindowControl<StatusBar> {
 public:
  using WindowControl::WindowControl;
  void setPanelText(int panel, const UiText& text) override;
  UiText panelText(int panel) const override;
};

// A window timer (SetTimer with the timer's id on the owning window).
class WindowTimer final : public Timer {
 public:
  WindowTimer(HWND window, UINT id) : window_(window), id_(id) {}
  void setInterval(UINT milliseconds) override;
  void start() override;
  void stop() override;
  bool isRunning() const override { return running_; }

 private:
  HWND window_;
  UINT id_;
  UINT interval_ = 1000;
  bool running_ = false;
};

}  // namespace kvui::win32
