// A kvui::Form shown in a real dialog window: builds the window from the
// form's dialog template, hands the form a FormView over its controls and
// forwards WM_INITDIALOG / WM_ACTIVATE / WM_COMMAND / WM_TIMER / WM_CLOSE
// to the form's handlers. Nothing here decides what the tool does.
#pragma once

#include <windows.h>

#include <map>
#include <memory>

#include "controls.h"
#include "controls_win32.h"
#include "layout.h"

namespace kvui::win32 {

class FormWindow final : public FormView {
 public:
  enum class Kind {
    TopLevel,  // modeless; closing it ends the message loop
    Modal,     // runs inside DialogBoxParamW
  };

  FormWindow(Form& form, Kind kind) : form_(form), kind_(kind) {}
  ~FormWindow() override;
  FormWindow(const FormWindow&) = delete;
  FormWindow& operator=(const FormWindow&) = delete;

  // The dialog procedure; the creation parameter is the FormWindow.
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  HWND window() const { return window_; }
  UINT dialogId() const { return form_.dialogId(); }

  Button& button(UINT id) override;
  CheckControl& check(UINT id) override;
  EditBox& edit(UINT id) override;
  ItemList& list(UINT id) override;
  ProgressBar& progress(UINT id) override;
  StatusBar& statusBar(UINT id) override;
  Timer& timer(UINT id) override;
  void setCaption(const UiText& caption) override;
  void endModal(int result) override;
  void close() override;

 private:
  INT_PTR handle(UINT message, WPARAM wParam, LPARAM lParam);
  void created(HWND window);
  // Close box, Esc in a modal dialog, or FormView::close: the form's
  // onClose, then the window goes (a modal dialog with kResultCancel unless
  // onClose ended it with its own result).
  void userClose();
  void destroyed();

  template <class Wrapper>
  Wrapper& wrap(std::map<UINT, std::unique_ptr<Wrapper>>& cache, UINT id);

  Form& form_;
  Kind kind_;
  HWND window_ = nullptr;
  bool ending_ = false;
  LayoutResources layout_;
  std::map<UINT, std::unique_ptr<PushButton>> buttons_;
  std::map<UINT, std::unique_ptr<CheckButton>> checks_;
  std::map<UINT, std::unique_ptr<Edit>> edits_;
  std::map<UINT, std::unique_ptr<ItemListControl>> lists_;
  std::map<UINT, std::unique_ptr<Progress>> progress_;
  std::map<UINT, std::unique_ptr<Status>> status_;
  std::map<UINT, std::unique_ptr<WindowTimer>> timers_;
};

// Creates the form's window as the program's top-level window (hidden);
// null when the template cannot be loaded.
HWND CreateTopLevelWindow(HINSTANCE instance, FormWindow& host);

// The message loop of the top-level window; returns the exit code given to
// PostQuitMessage.
int RunMessageLoop(HWND topLevel);

// Shows the form modally, owned by `owner`; the result given to endModal, or
// kResultCancel when closed by the user, or kResultFailed when the dialog
// could not be created.
int RunModalDialog(HINSTANCE instance, Form& form, HWND owner);

}  // namespace kvui::win32
