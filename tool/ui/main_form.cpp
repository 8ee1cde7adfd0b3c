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

// Keys of the settings file and their defaults when missing.
const WCHAR kBuzzerKey[] = WTEXT("Buzzer");
const WCHAR kHeadCheckKey[] = WTEXT("AutoHeadCheck");
const WCHAR kStopPosKey[] = WTEXT("AutoStopPos");
const WCHAR kFeedKey[] = WTEXT("AutoFeed");
const WCHAR kCloseActionKey[] = WTEXT("CloseAction");
constexpr int kBuzzerDefault = 0;
constexpr int kHeadCheckDefault = 0;
constexpr int kStopPosDefault = 2;
constexpr int kFeedDefault = 0;
constexpr int kCloseActionDefault = 1;

constexpr UINT kRestoreIntervalMs = 3000;

// Settings-memory addresses of the stored settings the window shows.
constexpr size_t kBuzzerAt = 100;         // 1 silent, other sounding
constexpr size_t kFeedAtPowerOnAt = 101;  // 1 on
constexpr size_t kFeedOnHeadCloseAt = 109;
constexpr size_t kHeadCheckAt = 122;      // 0 off, other on
constexpr size_t kStopPosAt = 135;        // 0 off, 1 automatic, other manual

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
  v.check(ReadSetting(kBuzzerKey, kBuzzerDefault) != 0 ? IDC_NOBUZZER_RADIOBUTTON : IDC_BUZZER_RADIOBUTTON)
      .setChecked(true);
  v.check(ReadSetting(kHeadCheckKey, kHeadCheckDefault) != 0 ? IDC_AUTOHEADCHECK_ON_RADIOBUTTON
                                                             : IDC_AUTOHEADCHECK_OFF_RADIOBUTTON)
      .setChecked(true);
  int stop = ReadSetting(kStopPosKey, kStopPosDefault);
  v.check(stop == 0   ? IDC_AUTOSTOPPOS_OFF_RADIOBUTTON
          : stop == 1 ? IDC_AUTOSTOPPOS_ON_RADIOBUTTON
                      : IDC_AUTOSTOPPOS_FEED_RADIOBUTTON)
      .setChecked(true);
  v.check(IDC_AUTOFEED_CHECKBOX).setChecked(ReadSetting(kFeedKey, kFeedDefault) != 0);
  v.check(IDC_CLOSEACTION_CHECKBOX).setChecked(ReadSetting(kCloseActionKey, kCloseActionDefault) != 0);
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
  v.check(image[kBuzzerAt] == 1 ? IDC_NOBUZZER_RADIOBUTTON : IDC_BUZZER_RADIOBUTTON).setChecked(true);
  v.check(image[kHeadCheckAt] != 0 ? IDC_AUTOHEADCHECK_ON_RADIOBUTTON : IDC_AUTOHEADCHECK_OFF_RADIOBUTTON).setChecked(true);
  v.check(image[kStopPosAt] == 0   ? IDC_AUTOSTOPPOS_OFF_RADIOBUTTON
          : image[kStopPosAt] == 1 ? IDC_AUTOSTOPPOS_ON_RADIOBUTTON
                            : IDC_AUTOSTOPPOS_FEED_RADIOBUTTON)
      .setChecked(true);
  v.check(IDC_AUTOFEED_CHECKBOX).setChecked(image[kFeedAtPowerOnAt] == 1);
  v.check(IDC_CLOSEACTION_CHECKBOX).setChecked(image[kFeedOnHeadCloseAt] == 1);
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
  switch (id) {
    case IDC_MAIN_BUTTON1:
    case IDC_MAIN_BUTTON2:
    case IDC_MAIN_BUTTON3:
    case IDC_MAIN_BUTTON4:
      sendSetting(id);
      break;
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

void TUserMainForm::sendSetting(UINT button) {
  FormView& v = view();
  std::string command;
  switch (button) {
    case IDC_MAIN_BUTTON1:
      command = printercmd::buzzer(v.check(IDC_BUZZER_RADIOBUTTON).isChecked() ? 0 : 1);
      break;
    case IDC_MAIN_BUTTON4:
      command = printercmd::autoHeadCheck(v.check(IDC_AUTOHEADCHECK_ON_RADIOBUTTON).isChecked() ? 1 : 0);
      break;
    case IDC_MAIN_BUTTON2:
      command = printercmd::labelStop(v.check(IDC_AUTOSTOPPOS_OFF_RADIOBUTTON).isChecked()  ? 0
                                      : v.check(IDC_AUTOSTOPPOS_ON_RADIOBUTTON).isChecked() ? 1
                                                                                             : 2);
      break;
    case IDC_MAIN_BUTTON3:
      command = printercmd::feed(v.check(IDC_AUTOFEED_CHECKBOX).isChecked() ? 1 : 0,
                                 v.check(IDC_CLOSEACTION_CHECKBOX).isChecked() ? 1 : 0);
      break;
    default:
      return;
  }
  SendCommandAndReport(shell(), command, DeliveryTexts::Setting);
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
  WriteSetting(kBuzzerKey, v.check(IDC_BUZZER_RADIOBUTTON).isChecked() ? 0 : 1);
  WriteSetting(kHeadCheckKey, v.check(IDC_AUTOHEADCHECK_ON_RADIOBUTTON).isChecked() ? 1 : 0);
  WriteSetting(kStopPosKey, v.check(IDC_AUTOSTOPPOS_OFF_RADIOBUTTON).isChecked()  ? 0
                            : v.check(IDC_AUTOSTOPPOS_ON_RADIOBUTTON).isChecked() ? 1
                                                                                   : 2);
  WriteSetting(kFeedKey, v.check(IDC_AUTOFEED_CHECKBOX).isChecked() ? 1 : 0);
  WriteSetting(kCloseActionKey, v.check(IDC_CLOSEACTION_CHECKBOX).isChecked() ? 1 : 0);
  cancelOwnQueue();
}

}  // namespace kvui
