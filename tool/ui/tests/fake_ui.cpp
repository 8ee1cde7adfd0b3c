// Fakes of the tool's control interfaces (see fake_ui.h).
#include "fake_ui.h"

#include <algorithm>

#include "sim/world.h"

namespace kvui::fake {

UiText W(const std::string& utf8) {
  UiText out;
  for (size_t i = 0; i < utf8.size();) {
    unsigned char c = static_cast<unsigned char>(utf8[i]);
    char32_t cp;
    int extra;
    if (c < 0x80) {
      cp = c;
      extra = 0;
    } else if ((c & 0xE0) == 0xC0) {
      cp = c & 0x1F;
      extra = 1;
    } else if ((c & 0xF0) == 0xE0) {
      cp = c & 0x0F;
      extra = 2;
    } else {
      cp = c & 0x07;
      extra = 3;
    }
    ++i;
    for (int k = 0; k < extra && i < utf8.size(); ++k, ++i) cp = (cp << 6) | (static_cast<unsigned char>(utf8[i]) & 0x3F);
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(WCHAR(0xD800 + (cp >> 10)));
      out.push_back(WCHAR(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(WCHAR(cp));
    }
  }
  return out;
}

std::string U8(const UiText& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t cp = text[i];
    if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < text.size()) cp = 0x10000 + ((cp - 0xD800) << 10) + (text[++i] - 0xDC00);
    if (cp < 0x80) {
      out.push_back(char(cp));
    } else if (cp < 0x800) {
      out.push_back(char(0xC0 | (cp >> 6)));
      out.push_back(char(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(char(0xE0 | (cp >> 12)));
      out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(char(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(char(0xF0 | (cp >> 18)));
      out.push_back(char(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(char(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

// ---- controls -------------------------------------------------------------

void FakeCheck::setChecked(bool checked) {
  checked_ = checked;
  if (!checked) return;
  if (const std::vector<UINT>* group = view_.groupOf(id_))
    for (UINT other : *group)
      if (other != id_) view_.fakeCheck(other).setCheckedAlone(false);
}

std::vector<UiText> FakeStatusBar::history(int panel) const {
  std::vector<UiText> out;
  for (const auto& [p, text] : history_)
    if (p == panel) out.push_back(text);
  return out;
}

void FakeTimer::start() {
  running_ = true;
  due_ = sim::nowMs() + interval_;
  ++starts_;
}

// ---- view -------------------------------------------------------------------

FakeView::FakeView(Form& form) : form_(form) { form_.attach(this); }

FakeView::~FakeView() = default;

CheckControl& FakeView::check(UINT id) {
  std::unique_ptr<FakeCheck>& c = checks_[id];
  if (!c) c = std::make_unique<FakeCheck>(*this, id);
  return *c;
}

void FakeView::close() {
  closed_ = true;
  form_.onClose();
}

void FakeView::radioGroup(std::vector<UINT> ids) { groups_.push_back(std::move(ids)); }

const std::vector<UINT>* FakeView::groupOf(UINT id) const {
  for (const std::vector<UINT>& g : groups_)
    if (std::find(g.begin(), g.end(), id) != g.end()) return &g;
  return nullptr;
}

void FakeView::userClose() {
  form_.onClose();
  closed_ = true;
  if (!result_) result_ = kResultCancel;
}

bool FakeView::tick() {
  FakeTimer* next = nullptr;
  UINT nextId = 0;
  for (auto& [id, t] : timers_)
    if (t.isRunning() && (!next || t.due() < next->due())) {
      next = &t;
      nextId = id;
    }
  if (!next) return false;
  ULONGLONG now = sim::nowMs();
  if (next->due() > now) sim::advanceMs(next->due() - now);
  next->fired(sim::nowMs());
  form_.onTimer(nextId);
  return true;
}

std::optional<ULONGLONG> FakeView::nextDue() const {
  std::optional<ULONGLONG> due;
  for (const auto& [id, t] : timers_)
    if (t.isRunning() && (!due || t.due() < *due)) due = t.due();
  return due;
}

int FakeView::runUntil(ULONGLONG untilMs) {
  int ticks = 0;
  for (;;) {
    bool any = false;
    ULONGLONG due = 0;
    for (auto& [id, t] : timers_)
      if (t.isRunning() && (!any || t.due() < due)) {
        due = t.due();
        any = true;
      }
    if (!any || due > untilMs) break;
    tick();
    ++ticks;
  }
  if (sim::nowMs() < untilMs) sim::advanceMs(untilMs - sim::nowMs());
  return ticks;
}

// ---- shell ------------------------------------------------------------------

int defaultAnswer(UINT type) {
  UINT buttons = type & MB_TYPEMASK;
  int second = (type & MB_DEFMASK) == MB_DEFBUTTON2;
  int third = (type & MB_DEFMASK) == MB_DEFBUTTON3;
  switch (buttons) {
    case MB_OKCANCEL:
      return second ? IDCANCEL : IDOK;
    case MB_YESNO:
      return second ? IDNO : IDYES;
    case MB_YESNOCANCEL:
      return third ? IDCANCEL : second ? IDNO : IDYES;
    case MB_RETRYCANCEL:
      return second ? IDCANCEL : IDRETRY;
    default:
      return IDOK;
  }
}

int FakeShell::messageBox(const UiText& text, const UiText& caption, UINT type) {
  int answer = defaultAnswer(type);
  if (!answers_.empty()) {
    answer = answers_.front();
    answers_.pop_front();
  }
  boxes_.push_back({text, caption, type, answer});
  return answer;
}

bool FakeShell::chooseFile(const OpenFileDialog& dialog, std::string& path) {
  fileDialogs_.push_back(dialog);
  std::optional<std::string> chosen = std::move(nextFile_);
  nextFile_.reset();
  if (!chosen) return false;
  path = *chosen;
  return true;
}

void FakeShell::removeWindow(FakeView* view) {
  windows_.erase(std::remove(windows_.begin(), windows_.end(), view), windows_.end());
}

bool FakeShell::tickThread() {
  FakeView* next = nullptr;
  std::optional<ULONGLONG> nextDue;
  auto consider = [&](FakeView* v) {
    std::optional<ULONGLONG> due = v->nextDue();
    if (due && (!nextDue || *due < *nextDue)) {
      next = v;
      nextDue = due;
    }
  };
  // The innermost dialog first: it wins a tie.
  for (auto it = active_.rbegin(); it != active_.rend(); ++it) consider(*it);
  for (FakeView* v : windows_) consider(v);
  return next && next->tick();
}

int FakeShell::runModal(Form& form) {
  auto view = std::make_shared<FakeView>(form);
  active_.push_back(view.get());
  ModalRun run;
  run.dialogId = form.dialogId();
  view->create();
  if (!view->result()) view->activate();
  while (!view->result()) {
    if (run.ticks >= tickBound_) {
      run.timedOut = true;
      break;
    }
    if (hook_) hook_(*view, run.ticks);
    if (view->result()) break;
    if (!tickThread()) {
      run.timedOut = true;  // nothing left that could end it
      break;
    }
    ++run.ticks;
  }
  run.result = view->result().value_or(-1);
  form.attach(nullptr);
  active_.pop_back();
  run.view = view;
  modals_.push_back(run);
  return run.result;
}

}  // namespace kvui::fake
