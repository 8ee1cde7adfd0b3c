// The main window's behaviour: start-up, first activation, buttons, close.
#include "main_form.h"

#include <winspool.h>
#include <wtext.h>

#include <memory>

#include "form_steps.h"
#include "printer_commands.h"
#include "printer_link.h"
#include "read_printer_form.h"
#include "resource.h"
#include "select_print_form.h"
#include "file_sending.h"
#include "sensor_form.h"

namespace kvui {
namespace {

// Only queues of this driver on a parallel ("LPT") or USB ("Ne") port are
// listed. Both tests are case-sensitive.
const char kDriverName[] = "Varodyn KV830";
bool IsParallelPort(const std::string& port) { return port.find("LPT") != std::string::npos; }
bool IsListedPort(const std::string& port) { return IsParallelPort(port) || port.find("Ne") != std::string::npos; }

constexpr UINT kRestoreIntervalMs = 3000;

namespace at = printercmd::settingsAddress;

// One stored choice shown as a radio group, one radio per value (the
// value is the radio's index): its key in the settings file and the value
// a missing key gives, where the printer keeps it, the button that sends it
// and the command that does.
//
// A stored value outside the group selects its last radio. A settings-memory
// byte outside the group shows `imageOther`. Read back from the radios, the
// value is that of the first checked radio other than `otherwise`'s, and
// `otherwise` when none of them is checked.
struct RadioChoice {
  const WCHAR* key;
  int fallback;
  size_t address;
  int imageOther;
  int otherwise;
  UINT sendButton;
  std::string (*command)(int value);
  std::vector<UINT> radios;
};

const RadioChoice kRadioChoices[] = {
    {WTEXT("Buzzer"), 0, at::kBuzzer, 0, 1, IDC_MAIN_BUTTON1, printercmd::buzzer,
     {IDC_BUZZER_RADIOBUTTON, IDC_NOBUZZER_RADIOBUTTON}},
    {WTEXT("AutoHeadCheck"), 0, at::kAutoHeadCheck, 1, 0, IDC_MAIN_BUTTON4, printercmd::autoHeadCheck,
     {IDC_AUTOHEADCHECK_OFF_RADIOBUTTON, IDC_AUTOHEADCHECK_ON_RADIOBUTTON}},
    {WTEXT("AutoStopPos"), 2, at::kLabelStop, 2, 2, IDC_MAIN_BUTTON2, printercmd::labelStop,
     {IDC_AUTOSTOPPOS_OFF_RADIOBUTTON, IDC_AUTOSTOPPOS_ON_RADIOBUTTON, IDC_AUTOSTOPPOS_FEED_RADIOBUTTON}},
};

// The feed pair: two check boxes, each stored on its own (checked by any
// non-zero stored value, by a settings-memory byte of exactly 1) and sent
// together by one button.
struct CheckChoice {
  const WCHAR* key;
  int fallback;
  size_t address;
  UINT box;
};
const CheckChoice kFeedPair[] = {
    {WTEXT("AutoFeed"), 0, at::kFeedAtPowerOn, IDC_AUTOFEED_CHECKBOX},
    {WTEXT("CloseAction"), 1, at::kFeedOnHeadClose, IDC_CLOSEACTION_CHECKBOX},
};
constexpr UINT kFeedButton = IDC_MAIN_BUTTON3;

void showChoice(FormView& v, const RadioChoice& c, int value) {
  int last = int(c.radios.size()) - 1;
  v.check(c.radios[size_t(value >= 0 && value < last ? value : last)]).setChecked(true);
}

void showImageChoice(FormView& v, const RadioChoice& c, uint8_t byte) {
  showChoice(v, c, byte < c.radios.size() ? int(byte) : c.imageOther);
}

int chosenValue(FormView& v, const RadioChoice& c) {
  for (size_t value = 0; value < c.radios.size(); ++value)
    if (int(value) != c.otherwise && v.check(c.radios[value]).isChecked()) return int(value);
  return c.otherwise;
}

int checkedValue(FormView& v, const CheckChoice& c) { return v.check(c.box).isChecked() ? 1 : 0; }

// The port of a queue the enumeration gives none for: the queue's entry in
// the "Devices" section of the Windows profile reads "driver,port".
std::string PortFromProfile(const std::string& queue) {
  char value[1024] = {};
  GetProfileStringA("Devices", queue.c_str(), "", value, sizeof value);
  std::string entry = value;
  size_t comma = entry.find(',');
  return comma == std::string::npos ? std::string() : entry.substr(comma + 1);
}

}  // namespace

TUserMainForm::TUserMainForm(Shell& shell, TReadPrinterForm& readForm, TSelectPrintForm& selectForm)
    : Form(shell), readForm_(readForm), selectForm_(selectForm) {}

UINT TUserMainForm::dialogId() const { return IDD_MAIN; }

// ---- start-up -------------------------------------------------------------------

void TUserMainForm::onCreate() {
  SetLinkShell(&shell());
  Timer& timer = view().timer(IDT_MAIN_SYSTEMTIMER);
  timer.stop();
  timer.setInterval(kRestoreIntervalMs);
  view().list(IDC_MAIN_COMBOBOX1).clear();
  queues_.clear();
  parallelQueues_.clear();
  otherQueues_.clear();
  if (!listQueues()) {
    failStartup();
    return;
  }
  restoreChoices();
  view().setCaption(LoadUiText(IDS_MAIN_CAPTION));
  StartHidLink();
}

// Lists the queues of this printer model. False when Windows reports no
// printer at all or none of them is of this model.
bool TUserMainForm::listQueues() {
  DWORD needed = 0, count = 0;
  const DWORD flags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
  EnumPrintersA(flags, nullptr, 2, nullptr, 0, &needed, &count);
  if (needed == 0) return false;
  std::vector<BYTE> buffer(needed);
  if (!EnumPrintersA(flags, nullptr, 2, buffer.data(), needed, &needed, &count) || count == 0) return false;
  const auto* printers = reinterpret_cast<const PRINTER_INFO_2A*>(buffer.data());
  ItemList& combo = view().list(IDC_MAIN_COMBOBOX1);
  for (DWORD i = 0; i < count; ++i) {
    if (!printers[i].pPrinterName) continue;
    std::string name = printers[i].pPrinterName;
    std::string port = printers[i].pPortName && *printers[i].pPortName ? printers[i].pPortName
                                                                         : PortFromProfile(name);
    SetCurrentPrinterName(name.c_str());
    if (GetQueueDriverName().find(kDriverName) == std::string::npos || !IsListedPort(port)) continue;
    combo.add(FromAnsi(name));
    queues_.push_back({name, port});
    (IsParallelPort(port) ? parallelQueues_ : otherQueues_).push_back(name);
  }
  // The driver lookups went through every queue; none of them is chosen yet,
  // and no other program's queue may be taken for the one selected so far.
  SetCurrentPrinterName("");
  SetCurrentPrinterPort("");
  return !queues_.empty();
}

void TUserMainForm::failStartup() {
  shell().messageBox(LoadUiText(IDS_NO_PRINTER), LoadUiText(IDS_CAPTION_ERROR), MB_OK | MB_ICONERROR);
  firstActivation_ = false;
  shell().quit(0);
}

void TUserMainForm::restoreChoices() {
  FormView& v = view();
  for (const RadioChoice& c : kRadioChoices) showChoice(v, c, ReadSetting(c.key, c.fallback));
  for (const CheckChoice& c : kFeedPair) v.check(c.box).setChecked(ReadSetting(c.key, c.fallback) != 0);
}

// ---- first activation --------------------------------------------------------------

void TUserMainForm::onActivate() {
  if (!firstActivation_) return;
  firstActivation_ = false;
  view().edit(IDC_MAIN_FOCUSEDIT).setFocus();
  firstActivation();
  if (!readBack_)
    for (UINT id : {IDC_MAIN_BUTTON5, IDC_MAIN_BUTTON6, IDC_MAIN_BUTTON7}) view().button(id).setEnabled(false);
  selectPrinter();
  if (readBack_) view().timer(IDT_MAIN_SYSTEMTIMER).start();
}

void TUserMainForm::firstActivation() {
  if (otherQueues_.size() == 1) {
    readBack_ = true;
    selectByName(otherQueues_.front());
    selectPrinter();
    int result = readSettings();
    if (result == kResultCancel) {
      selectPrinter();
      if (selectedPortIsParallel()) warnParallelPort();
    } else if (result == kResultFailed) {
      ShowInfoBox(shell(), LoadUiText(IDS_READ_INFO_FAILED), MB_ICONERROR);
      if (!parallelQueues_.empty()) retryLoop();
    }
  } else if (otherQueues_.size() > 1) {
    readBack_ = true;
    if (choosePrinter(otherQueues_) == kResultOk) {
      int result = readSettings();
      if (result == kResultFailed) {
        ShowInfoBox(shell(), LoadUiText(IDS_READ_INFO_FAILED), MB_ICONERROR);
        retryLoop();
      } else if (result != kResultOk && selectedPortIsParallel()) {
        warnParallelPort();
      }
    } else {
      selectPrinter();
      if (selectedPortIsParallel()) warnParallelPort();
    }
  } else {
    if (parallelQueues_.size() == 1)
      selectByName(parallelQueues_.front());
    else
      choosePrinter(parallelQueues_);
    selectPrinter();
    warnParallelPort();
  }
}

void TUserMainForm::retryLoop() {
  std::vector<std::string> all;
  for (const Queue& q : queues_) all.push_back(q.name);
  for (;;) {
    int chosen = choosePrinter(all);
    if (chosen != kResultOk || selectedPortIsParallel()) {
      if (selectedPortIsParallel()) warnParallelPort();
      return;
    }
    if (readSettings() != kResultFailed) return;
  }
}

int TUserMainForm::choosePrinter(const std::vector<std::string>& names) {
  std::vector<UiText> shown;
  for (const std::string& n : names) shown.push_back(FromAnsi(n));
  selectForm_.SetPrinters(shown);
  selectForm_.Preselect(0);
  int result = shell().runModal(selectForm_);
  int chosen = selectForm_.SelectedIndex();
  // The list starts with its first entry selected; an emptied selection
  // keeps that entry.
  if (chosen < 0 || size_t(chosen) >= names.size()) chosen = 0;
  if (!names.empty()) {
    selectByName(names[size_t(chosen)]);
    // Reads go to the chosen queue from here on.
    selectPrinter();
  }
  return result;
}

void TUserMainForm::selectByName(const std::string& name) {
  for (size_t i = 0; i < queues_.size(); ++i)
    if (queues_[i].name == name) {
      view().list(IDC_MAIN_COMBOBOX1).select(int(i));
      return;
    }
}

int TUserMainForm::selectedIndex() {
  int index = view().list(IDC_MAIN_COMBOBOX1).selectedIndex();
  return index >= 0 && size_t(index) < queues_.size() ? index : -1;
}

// ComboBox1Change: the queue chosen so far is emptied, then the selected
// entry becomes the current printer.
void TUserMainForm::selectPrinter() {
  cancelOwnQueue();
  int index = selectedIndex();
  if (index < 0) return;
  SetCurrentPrinterName(queues_[size_t(index)].name.c_str());
  SetCurrentPrinterPort(queues_[size_t(index)].port.c_str());
}

// Only a queue this window listed is ever emptied: before a printer is
// chosen the current name is empty, and a queue of another driver keeps its
// jobs.
void TUserMainForm::cancelOwnQueue() {
  const std::string current = CurrentPrinterName();
  for (const Queue& q : queues_)
    if (q.name == current) {
      CancelQueueJobs();
      return;
    }
}

bool TUserMainForm::selectedPortIsParallel() {
  int index = selectedIndex();
  return index >= 0 && IsParallelPort(queues_[size_t(index)].port);
}

void TUserMainForm::warnParallelPort() {
  readBack_ = false;
  shell().messageBox(LoadUiText(IDS_PARALLEL_PORT_WARNING), LoadUiText(IDS_CAPTION_WARNING),
                     MB_OK | MB_ICONINFORMATION);
}

// ---- reading from the printer ---------------------------------------------------------

// The print-mode restore must not fire inside the read dialog's modal loop
// (its "USBS CLS" would cut the read's own sequence short): a pending
// restore waits until the read is over and is then due a full interval
// later.
int TUserMainForm::runRead(TReadPrinterForm::Mode mode, UINT captionId) {
  Timer& restore = view().timer(IDT_MAIN_SYSTEMTIMER);
  bool pending = restore.isRunning();
  restore.stop();
  readForm_.BeginRead(mode);
  readForm_.SetReadCaption(LoadUiText(captionId));
  int result = shell().runModal(readForm_);
  if (pending) restore.start();
  return result;
}

int TUserMainForm::readSettings() {
  int result = runRead(TReadPrinterForm::Mode::SystemSettings, IDS_READ_SETTINGS_CAPTION);
  if (result == kResultOk) showSettingsImage();
  readForm_.EndRead();
  return result;
}

void TUserMainForm::showSettingsImage() {
  const uint8_t* image = SettingsImage();
  FormView& v = view();
  for (const RadioChoice& c : kRadioChoices) showImageChoice(v, c, image[c.address]);
  for (const CheckChoice& c : kFeedPair) v.check(c.box).setChecked(image[c.address] == 1);
}

void TUserMainForm::readVersion() {
  int result = runRead(TReadPrinterForm::Mode::Version, IDS_VERSION_CAPTION);
  if (result == kResultOk) {
    printercmd::VersionInfo version;
    printercmd::parseVersion(readForm_.ReplyText(), &version);
    ShowInfoBox(shell(),
                LoadUiText(IDS_VERSION_SYSTEM) + FromAnsi(version.system) + WTEXT("\r\n") +
                    LoadUiText(IDS_VERSION_IPL) + FromAnsi(version.ipl),
                MB_ICONINFORMATION);
  } else if (result == kResultFailed) {
    ShowCommunicationFailure(shell());
  }
  readForm_.EndRead();
}

void TUserMainForm::readPrintDistance() {
  int result = runRead(TReadPrinterForm::Mode::PrintDistance, IDS_DISTANCE_CAPTION);
  if (result == kResultOk) {
    printercmd::DefInfo info;
    UiText text;
    if (printercmd::parseDefInfo(readForm_.ReplyText(), &info) == printercmd::kDefInfoFields)
      text = LoadUiText(IDS_DISTANCE_PREFIX) + FromAnsi(printercmd::formatPrintDistance(info.printDistanceMm())) +
             LoadUiText(IDS_DISTANCE_SUFFIX);
    ShowInfoBox(shell(), text, MB_ICONINFORMATION);
  } else if (result == kResultFailed) {
    ShowCommunicationFailure(shell());
  }
  readForm_.EndRead();
}

void TUserMainForm::checkPrintHead() {
  int result = runRead(TReadPrinterForm::Mode::HeadCheck, IDS_HEADCHECK_CAPTION);
  printercmd::HeadCheck head;
  if (result == kResultOk && printercmd::parseHeadCheck(readForm_.ReplyText(), &head) == printercmd::kHeadCheckFields) {
    switch (head.status()) {
      case 0:
        ShowInfoBox(shell(), LoadUiText(IDS_HEADCHECK_NORMAL), MB_ICONINFORMATION);
        break;
      case 1:
        ShowInfoBox(shell(), LoadUiText(IDS_HEADCHECK_DRIVER), MB_ICONERROR);
        break;
      case 2:
        ShowInfoBox(shell(),
                    LoadUiText(IDS_HEADCHECK_BROKEN) +
                        FormatUiText(IDS_HEADCHECK_BROKEN_AT,
                                     {head.brokenDot(), printercmd::headDotsToMm(head.brokenDot())}),
                    MB_ICONERROR);
        break;
      default:
        break;
    }
  } else if (result == kResultFailed) {
    ShowCommunicationFailure(shell());
  }
  readForm_.EndRead();
}

// ---- buttons ---------------------------------------------------------------------------

void TUserMainForm::onCommand(UINT id, UINT notification) {
  if (id == IDC_MAIN_COMBOBOX1) {
    if (notification == CBN_SELCHANGE) selectPrinter();
    return;
  }
  if (notification != BN_CLICKED) return;
  if (sendSetting(id)) return;
  switch (id) {
    case IDC_MAIN_BUTTON8:
    case IDC_MAIN_BUTTON10:
    case IDC_MAIN_BUTTON11:
      sendPrint(id);
      break;
    case IDC_MAIN_BUTTON5:
      readVersion();
      break;
    case IDC_MAIN_BUTTON6:
      readPrintDistance();
      break;
    case IDC_MAIN_BUTTON7:
      checkPrintHead();
      break;
    case IDC_MAIN_BUTTON14:
      factoryReset();
      break;
    case IDC_MAIN_BUTTON15:
      openSensorWindow();
      break;
    case IDM_FILE_SENDFILE:
    case IDC_MAIN_SENDFILE_BUTTON:
      SendFile(shell());
      break;
    case IDM_FILE_EXIT:
      view().close();
      break;
    default:
      break;
  }
}

bool TUserMainForm::sendSetting(UINT button) {
  FormView& v = view();
  std::string command;
  if (button == kFeedButton) command = printercmd::feed(checkedValue(v, kFeedPair[0]), checkedValue(v, kFeedPair[1]));
  for (const RadioChoice& c : kRadioChoices)
    if (c.sendButton == button) command = c.command(chosenValue(v, c));
  if (command.empty()) return false;
  SendCommandAndReport(shell(), command, DeliveryTexts::Setting);
  return true;
}

void TUserMainForm::sendPrint(UINT button) {
  std::string_view command = button == IDC_MAIN_BUTTON8    ? printercmd::kPrintSettings
                             : button == IDC_MAIN_BUTTON10 ? printercmd::kPrintIdentification
                                                           : printercmd::kPrintTestLabel;
  SendCommandAndReport(shell(), command, DeliveryTexts::Print);
}

void TUserMainForm::factoryReset() {
  if (!AskYes(shell(), IDS_FACTORY_RESET_ASK, IDS_FACTORY_RESET_CAPTION)) return;
  if (!AskYes(shell(), IDS_FACTORY_RESET_ASK_AGAIN, IDS_FACTORY_RESET_CAPTION)) return;
  SendCommandAndReport(shell(), printercmd::kFactoryReset, DeliveryTexts::Setting);
}

void TUserMainForm::openSensorWindow() {
  auto sensor = std::make_unique<TSensorForm>(shell(), readForm_, readBack_);
  Timer& timer = view().timer(IDT_MAIN_SYSTEMTIMER);
  timer.stop();
  shell().runModal(*sensor);
  sensor.reset();
  if (readBack_) timer.start();
}

// ---- timer and close -----------------------------------------------------------------

void TUserMainForm::onTimer(UINT id) {
  if (id != IDT_MAIN_SYSTEMTIMER) return;
  view().timer(IDT_MAIN_SYSTEMTIMER).stop();
  readForm_.RestorePrintMode();
}

void TUserMainForm::onClose() {
  FormView& v = view();
  for (const RadioChoice& c : kRadioChoices) WriteSetting(c.key, chosenValue(v, c));
  for (const CheckChoice& c : kFeedPair) WriteSetting(c.key, checkedValue(v, c));
  cancelOwnQueue();
}

}  // namespace kvui
