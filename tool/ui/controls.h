// The seam between the tool's window logic and whatever shows it.
//
// Every window of the tool (main window, read dialog, printer selection,
// sensor window) is a plain class derived from Form. It never touches a
// window handle: it reads and changes its controls through the small
// interfaces below, reached by control id through the FormView it is
// attached to, and it asks the Shell for message boxes, the open-file
// dialog and modal dialogs. The Win32 layer implements these interfaces
// over real controls and forwards WM_INITDIALOG / WM_ACTIVATE / WM_COMMAND /
// WM_TIMER / WM_CLOSE to the Form's handlers; native tests implement them
// with fakes that record what the form did and answer what it asks.
//
// Ids (controls, timers, dialogs, strings) come from the tool's resource
// header, shared with the .rc files. Texts are UTF-16 (WCHAR), loaded from
// the string table; no user-visible text is written in the logic.
#pragma once

#include <windows.h>

#include <string>

namespace kvui {

using UiText = std::basic_string<WCHAR>;

// The string-table entry `id` of the tool's module (LoadStringW); empty when
// there is none.
UiText LoadUiText(UINT id);

class Control {
 public:
  virtual ~Control() = default;
  virtual void setEnabled(bool enabled) = 0;
  virtual bool isEnabled() const = 0;
};

class Button : public Control {};

// Radio buttons and check boxes: checking one radio button of a group
// unchecks the others of that group, as the real control does.
class CheckControl : public Control {
 public:
  virtual void setChecked(bool checked) = 0;
  virtual bool isChecked() const = 0;
};
using RadioButton = CheckControl;
using CheckBox = CheckControl;

// An edit box, optionally bound to an up-down control whose range is set
// with setSpinRange (the edit's text is not clamped by it: a user can type
// anything).
class EditBox : public Control {
 public:
  virtual void setText(const UiText& text) = 0;
  virtual UiText text() const = 0;
  virtual void setSpinRange(int low, int high) = 0;
  virtual void setFocus() = 0;
};

// Combo boxes and list boxes: a list of texts and one selected index
// (-1 for none).
class ItemList : public Control {
 public:
  virtual void clear() = 0;
  virtual int add(const UiText& text) = 0;  // index of the new item
  virtual int count() const = 0;
  virtual UiText itemText(int index) const = 0;
  virtual int selectedIndex() const = 0;
  virtual void select(int index) = 0;  // -1 clears the selection
};
using ComboBox = ItemList;
using ListBox = ItemList;

class ProgressBar : public Control {
 public:
  virtual void setRange(int low, int high) = 0;
  virtual void setPosition(int position) = 0;
  virtual int position() const = 0;
};

class StatusBar : public Control {
 public:
  virtual void setPanelText(int panel, const UiText& text) = 0;
  virtual UiText panelText(int panel) const = 0;
};

// A window timer: while running, the host calls Form::onTimer(id) every
// interval. Stopping and starting again restarts the interval.
class Timer {
 public:
  virtual ~Timer() = default;
  virtual void setInterval(UINT milliseconds) = 0;
  virtual void start() = 0;
  virtual void stop() = 0;
  virtual bool isRunning() const = 0;
};

// The window a form is shown in.
class FormView {
 public:
  virtual ~FormView() = default;
  virtual Button& button(UINT id) = 0;
  virtual CheckControl& check(UINT id) = 0;  // radio buttons and check boxes
  virtual EditBox& edit(UINT id) = 0;
  virtual ItemList& list(UINT id) = 0;  // combo boxes and list boxes
  virtual ProgressBar& progress(UINT id) = 0;
  virtual StatusBar& statusBar(UINT id) = 0;
  virtual Timer& timer(UINT id) = 0;
  virtual void setCaption(const UiText& caption) = 0;
  // Ends a modal dialog: Shell::runModal returns `result`.
  virtual void endModal(int result) = 0;
  // Closes a top-level window (the host then calls Form::onClose).
  virtual void close() = 0;
};

// Modal results the forms use.
inline constexpr int kResultOk = 1;      // done / first choice confirmed
inline constexpr int kResultCancel = 2;  // closed by the user / second choice
inline constexpr int kResultFailed = 7;  // the exchange failed

class Form;

// What an open-file dialog shows. The filter is written as pairs of
// "description|patterns" joined by '|' (the host turns it into its own
// form); the first pair is selected; the dialog starts in `folder` (ANSI)
// with an empty file name.
struct OpenFileDialog {
  UiText title;
  UiText filter;
  std::string folder;
};

// Process-wide services of the window system.
class Shell {
 public:
  virtual ~Shell() = default;
  // MessageBoxW: `type` takes the MB_* button, icon and default-button flags;
  // returns IDOK, IDYES, IDNO, IDCANCEL, ...
  virtual int messageBox(const UiText& text, const UiText& caption, UINT type) = 0;
  // The open-file dialog; true with the chosen path (ANSI code page) when the
  // user picked a file.
  virtual bool chooseFile(const OpenFileDialog& dialog, std::string& path) = 0;
  // Shows `form` in its dialog (Form::dialogId) modally, owned by the active
  // window, and returns the result given to FormView::endModal. When the
  // user closes the dialog (close box, Esc) the host calls Form::onClose;
  // unless that handler ended the dialog with its own result, the dialog
  // ends with kResultCancel.
  virtual int runModal(Form& form) = 0;
  // Ends the program (PostQuitMessage): the message loop stops and the
  // windows still open are destroyed without their onClose.
  virtual void quit(int exitCode) = 0;
};

// Base of every window of the tool. The host attaches a view while the
// window exists; handlers run only while attached.
class Form {
 public:
  explicit Form(Shell& shell) : shell_(shell) {}
  virtual ~Form() = default;
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;

  // The dialog template this form is shown in.
  virtual UINT dialogId() const = 0;

  void attach(FormView* view) { view_ = view; }
  bool attached() const { return view_ != nullptr; }

  // Window created, controls exist (WM_INITDIALOG).
  virtual void onCreate() {}
  // Window activated (WM_ACTIVATE with WA_ACTIVE / WA_CLICKACTIVE); a form
  // that cares only about the first activation keeps its own flag.
  virtual void onActivate() {}
  // WM_COMMAND from a control or menu item: id and notification code
  // (BN_CLICKED, LBN_DBLCLK, CBN_SELCHANGE, ...).
  virtual void onCommand(UINT /*id*/, UINT /*notification*/) {}
  virtual void onTimer(UINT /*id*/) {}
  // The window is being closed (WM_CLOSE: close box, Esc in a dialog,
  // FormView::close). Not called when a dialog ends through endModal.
  virtual void onClose() {}

 protected:
  FormView& view() { return *view_; }
  Shell& shell() { return shell_; }

 private:
  Shell& shell_;
  FormView* view_ = nullptr;
};

}  // namespace kvui

// Where the printer link's failure reports are shown (form_steps.cpp words
// them), each in a plain box with the program's title: a spooler step's
// text followed by its decimal error code, or a start-up text. Without a
// shell nothing is shown. The shell must outlive its registration.
void SetLinkShell(kvui::Shell* shell);
