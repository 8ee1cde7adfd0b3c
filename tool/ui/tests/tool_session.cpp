// The configuration tool's test session.
#include <wtext.h>
#include "tool_session.h"

#include <filesystem>

#include "hidlink_module.h"

#include "resource.h"
#include "sim/profile.h"
#include "sim/resource.h"
#include "sim/spooler.h"
#include "sim/world.h"

namespace kvui {

using fake::U8;
using fake::W;

emu::UsbPrinter& ToolSession::attachPrinter(const std::string& queue, emu::PrinterModel model) {
  auto printer = emu::UsbPrinter::create(model);
  printers_.push_back(printer);
  UiText wide = W(queue);
  printer->attachQueue(std::u16string(wide.begin(), wide.end()));
  return *printer;
}

emu::EmulatedPrinter& ToolSession::printerOn(const std::string& queue) { return attachPrinter(queue).device(); }

void ToolSession::SetUp() {
  sim::reset();
  std::u16string windows = sim::makeTempWindowsDirectory();
  // The program lives in a folder of its own inside the temporary Windows
  // directory, so both go away at the next reset.
  std::filesystem::path program = std::filesystem::path(U8(UiText(windows.begin(), windows.end()))) / "tool";
  std::filesystem::create_directories(program);
  dir_ = program.string();
  sim::setProgramPath(dir_ + "/kvtool.exe");
  ASSERT_TRUE(hidlink::registerSimModule());
  // The library is loaded by name from the registered module; the embedded
  // copy only has to exist to be written beside the program.
  sim::setProgramResource("dll", "rc_VRDUSBHid", {'M', 'Z'});
  shell.duringModal([this](fake::FakeView& view, int) {
    if (view.form().dialogId() != IDD_SELECT || nextSelection_ >= selections_.size()) return;
    Selection s = selections_[nextSelection_++];
    view.fakeList(IDC_SELECT_LIST).select(s.index);
    view.click(s.confirm ? IDC_SELECT_READ : IDC_SELECT_SKIP);
  });
}

void ToolSession::TearDown() {
  resetForms();
  StopHidLink();
  sim::reset();
  printers_.clear();
}

void ToolSession::addQueue(const std::string& name, const std::u16string& port, const std::u16string& driver) {
  sim::QueueSetup q;
  UiText wide = W(name);
  q.name.assign(wide.begin(), wide.end());
  q.port = port;
  q.driver = driver;
  sim::addQueue(q);
}

void ToolSession::createMain() {
  resetForms();
  read_ = std::make_unique<TReadPrinterForm>(shell);
  select_ = std::make_unique<TSelectPrintForm>(shell);
  main_ = std::make_unique<TUserMainForm>(shell, *read_, *select_);
  mainView_ = std::make_unique<fake::FakeView>(*main_);
  shell.addWindow(mainView_.get());
  // The window's radio groups, as its template groups them.
  mainView_->radioGroup({IDC_BUZZER_RADIOBUTTON, IDC_NOBUZZER_RADIOBUTTON});
  mainView_->radioGroup({IDC_AUTOHEADCHECK_ON_RADIOBUTTON, IDC_AUTOHEADCHECK_OFF_RADIOBUTTON});
  mainView_->radioGroup(
      {IDC_AUTOSTOPPOS_OFF_RADIOBUTTON, IDC_AUTOSTOPPOS_FEED_RADIOBUTTON, IDC_AUTOSTOPPOS_ON_RADIOBUTTON});
  mainView_->create();
}

void ToolSession::resetForms() {
  shell.removeWindow(mainView_.get());
  mainView_.reset();
  main_.reset();
  select_.reset();
  read_.reset();
}

void ToolSession::writeSettingsFile(const std::string& utf8) { sim::writeUtf8File(dir_ + "/kvtool.ini", utf8); }

std::optional<std::string> ToolSession::settingsKey(const std::string& key) {
  UiText path = W(dir_ + "/kvtool.ini"), name = W(key);
  WCHAR value[256];
  DWORD n = GetPrivateProfileStringW(WTEXT("Setting"), name.c_str(), WTEXT("<missing>"), value, 256, path.c_str());
  std::string text = U8(UiText(value, n));
  if (text == "<missing>") return std::nullopt;
  return text;
}

void ToolSession::answerSelections(std::vector<Selection> answers) {
  selections_ = std::move(answers);
  nextSelection_ = 0;
}

std::vector<std::vector<std::string>> ToolSession::selectionLists() const {
  std::vector<std::vector<std::string>> lists;
  for (const fake::ModalRun& run : shell.modals()) {
    if (run.dialogId != IDD_SELECT) continue;
    std::vector<std::string> items;
    for (const UiText& item : run.view->fakeList(IDC_SELECT_LIST).items()) items.push_back(U8(item));
    lists.push_back(items);
  }
  return lists;
}

std::vector<std::string> ToolSession::readCaptions() const {
  std::vector<std::string> captions;
  for (const fake::ModalRun& run : shell.modals())
    if (run.dialogId == IDD_READ) captions.push_back(U8(run.view->caption()));
  return captions;
}

std::vector<std::string> ToolSession::boxTexts() const {
  std::vector<std::string> texts;
  for (const fake::ShownBox& box : shell.boxes()) texts.push_back(U8(box.caption) + "|" + U8(box.text));
  return texts;
}

}  // namespace kvui
