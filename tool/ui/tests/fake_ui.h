// Fakes of the tool's control interfaces for native tests: controls that
// remember what the form did to them, a view that makes controls on first
// use, timers ticked on the simulated host's virtual clock, and a shell
// that records message boxes and answers them from a script.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "controls.h"

namespace kvui::fake {

// UTF-8 -> UTF-16 and back, for readable assertions.
UiText W(const std::string& utf8);
std::string U8(const UiText& text);

class FakeButton : public Button {
 public:
  void setEnabled(bool enabled) override { enabled_ = enabled; }
  bool isEnabled() const override { return enabled_; }

 private:
  bool enabled_ = true;
};

class FakeView;

class FakeCheck : public CheckControl {
 public:
  FakeCheck(FakeView& view, UINT id) : view_(view), id_(id) {}
  void setEnabled(bool enabled) override { enabled_ = enabled; }
  bool isEnabled() const override { return enabled_; }
  // Checking a radio button unchecks the others of its group
  // (FakeView::radioGroup).
  void setChecked(bool checked) override;
  bool isChecked() const override { return checked_; }
  void setCheckedAlone(bool checked) { checked_ = checked; }

 private:
  FakeView& view_;
  UINT id_;
  bool enabled_ = true;
  bool checked_ = false;
};

class FakeEdit : public EditBox {
 public:
  void setEnabled(bool enabled) override { enabled_ = enabled; }
  bool isEnabled() const override { return enabled_; }
  void setText(const UiText& text) override { text_ = text; }
  UiText text() const override { return text_; }
  void setSpinRange(int low, int high) override { spin_ = {low, high}; }
  void setFocus() override { ++focusCount_; }

  std::optional<std::pair<int, int>> spinRange() const { return spin_; }
  int focusCount() const { return focusCount_; }

 private:
  bool enabled_ = true;
  UiText text_;
  std::optional<std::pair<int, int>> spin_;
  int focusCount_ = 0;
};

class FakeList : public ItemList {
 public:
  void setEnabled(bool enabled) override { enabled_ = enabled; }
  bool isEnabled() const override { return enabled_; }
  void clear() override {
    items_.clear();
    selected_ = -1;
  }
  int add(const UiText& text) override {
    items_.push_back(text);
    return int(items_.size()) - 1;
  }
  int count() const override { return int(items_.size()); }
  UiText itemText(int index) const override {
    return index >= 0 && index < count() ? items_[size_t(index)] : UiText();
  }
  int selectedIndex() const override { return selected_; }
  // An index outside the list clears the selection, as LB_SETCURSEL does.
  void select(int index) override { selected_ = index >= 0 && index < count() ? index : -1; }

  const std::vector<UiText>& items() const { return items_; }

 private:
  bool enabled_ = true;
  std::vector<UiText> items_;
  int selected_ = -1;
};

class FakeProgress : public ProgressBar {
 public:
  void setEnabled(bool enabled) override { enabled_ = enabled; }
  bool isEnabled() const override { return enabled_; }
  void setRange(int low, int high) override { range_ = {low, high}; }
  void setPosition(int position) override {
    position_ = position;
    history_.push_back(position);
  }
  int position() const override { return position_; }

  std::pair<int, int> range() const { return range_; }
  // Every position set, in order.
  const std::vector<int>& history() const { return history_; }

 private:
  bool enabled_ = true;
  std::pair<int, int> range_{0, 100};
  int position_ = 0;
  std::vector<int> history_;
};

class FakeStatusBar : public StatusBar {
 public:
  void setEnabled(bool enabled) override { enabled_ = enabled; }
  bool isEnabled() const override { return enabled_; }
  void setPanelText(int panel, const UiText& text) override {
    panels_[panel] = text;
    history_.emplace_back(panel, text);
  }
  UiText panelText(int panel) const override {
    auto it = panels_.find(panel);
    return it == panels_.end() ? UiText() : it->second;
  }
  // Every text set on `panel`, in order.
  std::vector<UiText> history(int panel) const;

 private:
  bool enabled_ = true;
  std::map<int, UiText> panels_;
  std::vector<std::pair<int, UiText>> history_;
};

// A window timer on the virtual clock: due `interval` ms after it was
// started (or last fired).
class FakeTimer : public Timer {
 public:
  void setInterval(UINT milliseconds) override { interval_ = milliseconds; }
  void start() override;
  void stop() override { running_ = false; }
  bool isRunning() const override { return running_; }

  UINT interval() const { return interval_; }
  ULONGLONG due() const { return due_; }
  int starts() const { return starts_; }
  void fired(ULONGLONG now) { due_ = now + interval_; }

 private:
  UINT interval_ = 0;
  bool running_ = false;
  ULONGLONG due_ = 0;
  int starts_ = 0;
};

// The window a form is attached to. Controls and timers come into being on
// first use, under their id, and stay for the life of the view.
class FakeView : public FormView {
 public:
  explicit FakeView(Form& form);
  // The form stays attached until the test (or runModal) detaches it.
  ~FakeView() override;

  Button& button(UINT id) override { return buttons_[id]; }
  CheckControl& check(UINT id) override;
  EditBox& edit(UINT id) override { return edits_[id]; }
  ItemList& list(UINT id) override { return lists_[id]; }
  ProgressBar& progress(UINT id) override { return progress_[id]; }
  StatusBar& statusBar(UINT id) override { return status_[id]; }
  Timer& timer(UINT id) override { return timers_[id]; }
  void setCaption(const UiText& caption) override { caption_ = caption; }
  void endModal(int result) override {
    if (!result_) result_ = result;
  }
  void close() override;

  // ---- inspection (typed access to the same controls) ---------------------
  FakeButton& fakeButton(UINT id) { return buttons_[id]; }
  FakeCheck& fakeCheck(UINT id) { return static_cast<FakeCheck&>(check(id)); }
  FakeEdit& fakeEdit(UINT id) { return edits_[id]; }
  FakeList& fakeList(UINT id) { return lists_[id]; }
  FakeProgress& fakeProgress(UINT id) { return progress_[id]; }
  FakeStatusBar& fakeStatusBar(UINT id) { return status_[id]; }
  FakeTimer& fakeTimer(UINT id) { return timers_[id]; }
  const UiText& caption() const { return caption_; }
  // The result given to endModal, if any (the first one counts).
  std::optional<int> result() const { return result_; }
  bool closed() const { return closed_; }
  Form& form() { return form_; }

  // Radio buttons that exclude each other.
  void radioGroup(std::vector<UINT> ids);
  const std::vector<UINT>* groupOf(UINT id) const;

  // ---- user actions -------------------------------------------------------
  void create() { form_.onCreate(); }
  void activate() { form_.onActivate(); }
  void click(UINT id) { form_.onCommand(id, BN_CLICKED); }
  void command(UINT id, UINT notification) { form_.onCommand(id, notification); }
  // The close box: onClose; a modal dialog it did not end ends with
  // kResultCancel.
  void userClose();

  // ---- time ---------------------------------------------------------------
  // Fires the running timer that is due first, moving the virtual clock to
  // its due time when that lies ahead. False when no timer runs.
  bool tick();
  // When the running timer that is due first fires; nothing when none runs.
  std::optional<ULONGLONG> nextDue() const;
  // Ticks until the virtual clock reaches `untilMs` or no timer runs; the
  // number of ticks.
  int runUntil(ULONGLONG untilMs);

 private:
  Form& form_;
  std::map<UINT, FakeButton> buttons_;
  std::map<UINT, std::unique_ptr<FakeCheck>> checks_;
  std::map<UINT, FakeEdit> edits_;
  std::map<UINT, FakeList> lists_;
  std::map<UINT, FakeProgress> progress_;
  std::map<UINT, FakeStatusBar> status_;
  std::map<UINT, FakeTimer> timers_;
  std::vector<std::vector<UINT>> groups_;
  UiText caption_;
  std::optional<int> result_;
  bool closed_ = false;
};

struct ShownBox {
  UiText text;
  UiText caption;
  UINT type = 0;
  int answer = 0;
};

struct ModalRun {
  UINT dialogId = 0;
  int result = 0;
  int ticks = 0;
  bool timedOut = false;  // the tick bound ended it
  std::shared_ptr<FakeView> view;  // the dialog's controls as it left them
};

class FakeShell : public Shell {
 public:
  // ---- message boxes ------------------------------------------------------
  // Answers in order; when none is left a box gets the answer of its default
  // button (what Enter would give).
  void answer(std::initializer_list<int> answers) { answers_.insert(answers_.end(), answers); }
  const std::vector<ShownBox>& boxes() const { return boxes_; }
  void clearBoxes() { boxes_.clear(); }

  // ---- open-file dialog ---------------------------------------------------
  void chooseNext(std::optional<std::string> path) { nextFile_ = std::move(path); }
  const std::vector<OpenFileDialog>& fileDialogs() const { return fileDialogs_; }

  // ---- modal dialogs ------------------------------------------------------
  // Runs before each tick of a modal dialog with the dialog's view and the
  // number of ticks so far; may act as the user (userClose, click, ...).
  using ModalHook = std::function<void(FakeView&, int tick)>;
  void duringModal(ModalHook hook) { hook_ = std::move(hook); }
  // Bound on the ticks of one modal run (it then ends with result -1).
  void setTickBound(int ticks) { tickBound_ = ticks; }
  const std::vector<ModalRun>& modals() const { return modals_; }
  // The view of the modal dialog running now (null outside one).
  FakeView* activeModal() { return active_.empty() ? nullptr : active_.back(); }
  // A top-level window of the thread: a modal loop dispatches its timers
  // too, as the real one does for every window of the thread. Registered
  // until removed.
  void addWindow(FakeView* view) { windows_.push_back(view); }
  void removeWindow(FakeView* view);

  // ---- end of the program -------------------------------------------------
  std::optional<int> quitCode() const { return quitCode_; }

  int messageBox(const UiText& text, const UiText& caption, UINT type) override;
  bool chooseFile(const OpenFileDialog& dialog, std::string& path) override;
  // onCreate, onActivate, then the dialog's running timers tick on the
  // virtual clock until it ends (or the bound is reached).
  int runModal(Form& form) override;
  void quit(int exitCode) override {
    if (!quitCode_) quitCode_ = exitCode;
  }

 private:
  std::deque<int> answers_;
  std::vector<ShownBox> boxes_;
  std::optional<std::string> nextFile_;
  std::vector<OpenFileDialog> fileDialogs_;
  ModalHook hook_;
  int tickBound_ = 100000;
  std::vector<ModalRun> modals_;
  std::vector<FakeView*> active_;
  std::vector<FakeView*> windows_;
  std::optional<int> quitCode_;
  // Fires the timer due first among the modal dialogs running and the
  // registered windows; false when none runs.
  bool tickThread();
};

// The answer Enter gives on a box of this type (its default button).
int defaultAnswer(UINT type);

}  // namespace kvui::fake
