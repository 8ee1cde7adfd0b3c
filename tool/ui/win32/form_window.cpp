// Dialog windows that show the tool's forms (see form_window.h).
#include "form_window.h"

#include "guard.h"

namespace kvui::win32 {
namespace {

// Posted on activation, so that the form's activation handler runs after the
// dialog manager has finished activating (and restoring focus in) the window.
constexpr UINT kActivated = WM_APP + 1;

}  // namespace

FormWindow::~FormWindow() {
  if (form_.attached()) form_.attach(nullptr);
}

template <class Wrapper>
Wrapper& FormWindow::wrap(std::map<UINT, std::unique_ptr<Wrapper>>& cache, UINT id) {
  auto found = cache.find(id);
  if (found == cache.end()) {
    found = cache.emplace(id, std::make_unique<Wrapper>(GetDlgItem(window_, static_cast<int>(id)))).first;
  }
  return *found->second;
}

Button& FormWindow::button(UINT id) { return wrap(buttons_, id); }
CheckControl& FormWindow::check(UINT id) { return wrap(checks_, id); }
EditBox& FormWindow::edit(UINT id) { return wrap(edits_, id); }
ItemList& FormWindow::list(UINT id) { return wrap(lists_, id); }
ProgressBar& FormWindow::progress(UINT id) { return wrap(progress_, id); }
StatusBar& FormWindow::statusBar(UINT id) { return wrap(status_, id); }

Timer& FormWindow::timer(UINT id) {
  auto found = timers_.find(id);
  if (found == timers_.end()) found = timers_.emplace(id, std::make_unique<WindowTimer>(window_, id)).first;
  return *found->second;
}

void FormWindow::setCaption(const UiText& caption) { SetWindowTextW(window_, caption.c_str()); }

void FormWindow::endModal(int result) {
  if (kind_ != Kind::Modal || ending_ || !window_) return;
  ending_ = true;
  EndDialog(window_, result);
}

void FormWindow::userClose() {
  if (form_.attached()) form_.onClose();
  if (!window_) return;
  if (kind_ == Kind::Modal) {
    endModal(kResultCancel);  // unless onClose ended it with its own result
  } else {
    DestroyWindow(window_);
  }
}

void FormWindow::close() {
  if (window_) PostMessageW(window_, WM_CLOSE, 0, 0);
}

void FormWindow::created(HWND window) {
  window_ = window;
  ApplyLayout(window, form_.dialogId(), layout_);
  form_.attach(this);
  form_.onCreate();
  // A modal dialog is on screen before its first activation reaches the
  // form (the dialog manager would otherwise show it only once its message
  // queue runs empty, which a form busy in onActivate may never let happen).
  if (kind_ == Kind::Modal && window_ && !ending_) ShowWindow(window_, SW_SHOWNORMAL);
}

void FormWindow::destroyed() {
  for (auto& entry : timers_) entry.second->stop();
  form_.attach(nullptr);
  window_ = nullptr;
  if (kind_ == Kind::TopLevel) PostQuitMessage(0);
}

INT_PTR FormWindow::handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE) PostMessageW(window_, kActivated, 0, 0);
      return FALSE;  // the dialog manager still saves and restores focus
    case kActivated:
      if (form_.attached() && !ending_) form_.onActivate();
      return TRUE;
    case WM_COMMAND:
      // Esc in a modal dialog (IDCANCEL from no control) is its close box.
      if (kind_ == Kind::Modal && LOWORD(wParam) == IDCANCEL && lParam == 0) {
        userClose();
      } else if (form_.attached()) {
        form_.onCommand(LOWORD(wParam), HIWORD(wParam));
      }
      return TRUE;
    case WM_TIMER:
      if (form_.attached()) form_.onTimer(static_cast<UINT>(wParam));
      return TRUE;
    case WM_CLOSE:
      userClose();
      return TRUE;
    case WM_DESTROY:
      destroyed();
      return TRUE;
    default:
      return FALSE;
  }
}

INT_PTR CALLBACK FormWindow::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return support::guardedCall<INT_PTR>(FALSE, [&]() -> INT_PTR {
    if (message == WM_INITDIALOG) {
      auto* host = reinterpret_cast<FormWindow*>(lParam);
      SetWindowLongPtrW(window, GWLP_USERDATA, lParam);
      host->created(window);
      return TRUE;
    }
    auto* host = reinterpret_cast<FormWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!host || host->window_ != window) return FALSE;
    return host->handle(message, wParam, lParam);
  });
}

HWND CreateTopLevelWindow(HINSTANCE instance, FormWindow& host) {
  return CreateDialogParamW(instance, MAKEINTRESOURCEW(host.dialogId()), nullptr, FormWindow::DialogProc,
                            reinterpret_cast<LPARAM>(&host));
}

int RunMessageLoop(HWND topLevel) {
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (IsWindow(topLevel) && IsDialogMessageW(topLevel, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}

int RunModalDialog(HINSTANCE instance, Form& form, HWND owner) {
  FormWindow host(form, FormWindow::Kind::Modal);
  INT_PTR result = DialogBoxParamW(instance, MAKEINTRESOURCEW(form.dialogId()), owner, FormWindow::DialogProc,
                                   reinterpret_cast<LPARAM>(&host));
  return result <= 0 ? kResultFailed : static_cast<int>(result);
}

}  // namespace kvui::win32
