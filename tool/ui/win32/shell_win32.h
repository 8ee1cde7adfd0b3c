// The window system's services for the tool's forms: message boxes, the
// open-file dialog and modal dialogs, through the Unicode (W) APIs.
#pragma once

#include <windows.h>

#include <string>

#include "controls.h"

namespace kvui::win32 {

class Win32Shell final : public Shell {
 public:
  explicit Win32Shell(HINSTANCE instance) : instance_(instance) {}

  // Owned by the active window of the program, if any.
  int messageBox(const UiText& text, const UiText& caption, UINT type) override;
  bool chooseFile(const OpenFileDialog& dialog, std::string& path) override;
  int runModal(Form& form) override;
  void quit(int exitCode) override;

  // Shows `form` as the program's top-level window and runs the message
  // loop until quit or until that window is closed; returns the exit code.
  // A form that quits while it is being created is never shown.
  int runMainWindow(Form& form, int show);

 private:
  HINSTANCE instance_;
  bool quitting_ = false;
};

// Turns a filter written as "name|patterns|name|patterns" into the
// zero-separated, double-zero-terminated form of OPENFILENAMEW.
UiText FileDialogFilter(const UiText& filter);

}  // namespace kvui::win32
