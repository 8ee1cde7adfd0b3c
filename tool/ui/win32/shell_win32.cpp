// Message boxes, the open-file dialog and modal dialogs (see shell_win32.h).
#include "shell_win32.h"

#include <commdlg.h>
#include <wtext.h>

#include <vector>

#include "form_window.h"

namespace kvui::win32 {
UiText FileDialogFilter(const UiText& filter) {
  UiText result = filter;
  for (WCHAR& c : result) {
    if (c == WCHAR('|')) c = WCHAR(0);
  }
  result.push_back(WCHAR(0));
  result.push_back(WCHAR(0));
  return result;
}

int Win32Shell::messageBox(const UiText& text, const UiText& caption, UINT type) {
  return MessageBoxW(GetActiveWindow(), text.c_str(), caption.c_str(), type);
}

bool Win32Shell::chooseFile(const OpenFileDialog& request, std::string& path) {
  UiText filter = FileDialogFilter(request.filter);
  UiText folder;
  if (!request.folder.empty()) {
    int size = MultiByteToWideChar(CP_ACP, 0, request.folder.c_str(), -1, nullptr, 0);
    if (size > 1) {
      folder.resize(static_cast<size_t>(size));
      MultiByteToWideChar(CP_ACP, 0, request.folder.c_str(), -1, folder.data(), size);
      folder.resize(static_cast<size_t>(size - 1));
    }
  }
  std::vector<WCHAR> file(32768, WCHAR(0));
  OPENFILENAMEW dialog = {};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = GetActiveWindow();
  dialog.lpstrFilter = filter.c_str();
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = file.data();
  dialog.nMaxFile = static_cast<DWORD>(file.size());
  dialog.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
  dialog.lpstrTitle = request.title.c_str();
  dialog.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
  if (!GetOpenFileNameW(&dialog)) return false;
  // The link layer opens files with the ANSI APIs. A name the code page
  // cannot hold comes out with substitutes and then fails to open, which the
  // caller reports.
  int size = WideCharToMultiByte(CP_ACP, 0, file.data(), -1, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return false;
  std::string converted(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, 0, file.data(), -1, converted.data(), size, nullptr, nullptr);
  converted.resize(static_cast<size_t>(size - 1));
  path = converted;
  return true;
}

int Win32Shell::runModal(Form& form) { return RunModalDialog(instance_, form, GetActiveWindow()); }

int Win32Shell::runMainWindow(Form& form, int show) {
  FormWindow host(form, FormWindow::Kind::TopLevel);
  HWND window = CreateTopLevelWindow(instance_, host);
  if (!window) return 1;
  if (!quitting_) ShowWindow(window, show);
  int exitCode = RunMessageLoop(window);
  // Windows still open at quit go without their onClose.
  form.attach(nullptr);
  if (IsWindow(window)) DestroyWindow(window);
  return exitCode;
}

void Win32Shell::quit(int exitCode) {
  quitting_ = true;
  PostQuitMessage(exitCode);
}

}  // namespace kvui::win32
