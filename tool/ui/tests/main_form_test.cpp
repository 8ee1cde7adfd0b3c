// The main window against the simulated spooler and the emulated printer:
// start-up, the settings file, first activation, the setting, print and
// query buttons, the factory reset and close.
#include "main_form.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "choice_cases.h"

#include "fake_ui.h"
#include "read_printer_form.h"
#include "resource.h"
#include "select_print_form.h"
#include "sim/profile.h"
#include "sim/resource.h"
#include "sim/spool_client.h"
#include "sim/spooler.h"
#include "sim/world.h"
#include "tool_session.h"

namespace kvui {
namespace {

using fake::FakeView;
using fake::U8;
using fake::W;

// ---- start-up ----------------------------------------------------------------------

struct QueueCase {
  const char* name;
  const char16_t* port;
  const char16_t* driver;
};

struct StartupCase {
  const char* label;
  std::vector<QueueCase> queues;
  std::vector<std::string> listed;  // ComboBox1, in order; empty: start-up fails
};

class MainStartup : public ToolSession, public testing::WithParamInterface<StartupCase> {};

TEST_P(MainStartup, ListsOnlyThisModelOnParallelOrUsbPorts) {
  for (const QueueCase& q : GetParam().queues) addQueue(q.name, q.port, q.driver);
  createMain();
  std::vector<std::string> listed;
  for (const UiText& item : mainView().fakeList(IDC_MAIN_COMBOBOX1).items()) listed.push_back(U8(item));
  EXPECT_EQ(listed, GetParam().listed);
  if (GetParam().listed.empty()) {
    ASSERT_EQ(shell.boxes().size(), 1u);
    EXPECT_EQ(U8(shell.boxes()[0].text), "请确认安装并口或者usb接口的KV830打印机!");
    EXPECT_EQ(U8(shell.boxes()[0].caption), "错误");
    EXPECT_EQ(shell.boxes()[0].type, UINT(MB_OK | MB_ICONERROR));
    EXPECT_EQ(shell.quitCode(), std::optional<int>(0));
    // The program ends: the first activation does nothing.
    mainView().activate();
    EXPECT_TRUE(shell.modals().empty());
    EXPECT_EQ(shell.boxes().size(), 1u);
  } else {
    EXPECT_FALSE(shell.quitCode());
    EXPECT_EQ(U8(mainView().caption()), "KV830设定工具(V1.1)");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Queues, MainStartup,
    testing::Values(
        StartupCase{"NoPrinterAtAll", {}, {}},
        StartupCase{"OtherDriverOnly", {{"Other", u"Ne00:", u"Varodyn TR7208"}}, {}},
        StartupCase{"PortWithoutLptOrNe", {{"File", u"FILE:", u"Varodyn KV830"}, {"Usb", u"USB001", u"Varodyn KV830"}}, {}},
        StartupCase{"MixedInEnumerationOrder",
                    {{"D usb", u"Ne01:", u"Varodyn KV830"},
                     {"A lpt", u"LPT1:", u"Varodyn KV830 (copy)"},
                     {"B other", u"Ne02:", u"Generic"},
                     {"C file", u"FILE:", u"Varodyn KV830"},
                     {"E lower", u"lpt2:", u"Varodyn KV830"}},
                    {"A lpt", "D usb"}}),
    [](const testing::TestParamInfo<StartupCase>& info) { return std::string(info.param.label); });

TEST_F(ToolSession, AQueueWithoutAnEnumeratedPortTakesItFromTheDevicesProfile) {
  addQueue("Profiled", u"", u"Varodyn KV830");
  addQueue("Unlisted", u"", u"Varodyn KV830");
  sim::writeUtf8File(sim::windowsFilePath(u"win.ini"), "[Devices]\r\nProfiled=winspool,Ne03:\r\nUnlisted=winspool\r\n");
  createMain();
  ASSERT_EQ(mainView().fakeList(IDC_MAIN_COMBOBOX1).items().size(), 1u);
  EXPECT_EQ(U8(mainView().fakeList(IDC_MAIN_COMBOBOX1).items()[0]), "Profiled");
  // A USB queue: it is read without asking and the port decides how the
  // printer leaves HID mode.
  printerOn("Profiled");
  mainView().activate();
  EXPECT_EQ(std::string(CurrentPrinterPort()), "Ne03:");
}

// ---- settings file -----------------------------------------------------------------

struct Choices {
  bool buzzer, noBuzzer, headOn, headOff, stopOff, stopManual, stopAuto, feed, closeAction;
};

void expectChoices(FakeView& v, const Choices& c) {
  EXPECT_EQ(v.fakeCheck(IDC_BUZZER_RADIOBUTTON).isChecked(), c.buzzer);
  EXPECT_EQ(v.fakeCheck(IDC_NOBUZZER_RADIOBUTTON).isChecked(), c.noBuzzer);
  EXPECT_EQ(v.fakeCheck(IDC_AUTOHEADCHECK_ON_RADIOBUTTON).isChecked(), c.headOn);
  EXPECT_EQ(v.fakeCheck(IDC_AUTOHEADCHECK_OFF_RADIOBUTTON).isChecked(), c.headOff);
  EXPECT_EQ(v.fakeCheck(IDC_AUTOSTOPPOS_OFF_RADIOBUTTON).isChecked(), c.stopOff);
  EXPECT_EQ(v.fakeCheck(IDC_AUTOSTOPPOS_FEED_RADIOBUTTON).isChecked(), c.stopManual);
  EXPECT_EQ(v.fakeCheck(IDC_AUTOSTOPPOS_ON_RADIOBUTTON).isChecked(), c.stopAuto);
  EXPECT_EQ(v.fakeCheck(IDC_AUTOFEED_CHECKBOX).isChecked(), c.feed);
  EXPECT_EQ(v.fakeCheck(IDC_CLOSEACTION_CHECKBOX).isChecked(), c.closeAction);
}

struct IniCase {
  const char* label;
  const char* ini;  // body of the section "Setting"; null: no file
  Choices shown;
};

class MainSettingsFile : public ToolSession, public testing::WithParamInterface<IniCase> {};

TEST_P(MainSettingsFile, DrivesTheChoicesAtStartUp) {
  addQueue("KV", u"Ne00:", u"Varodyn KV830");
  if (GetParam().ini) writeSettingsFile(std::string("[Setting]\r\n") + GetParam().ini);
  createMain();
  expectChoices(mainView(), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Files, MainSettingsFile,
    testing::Values(
        // Buzzer on, head check off, manual label stop, no start-up feed, close-action feed.
        IniCase{"NoFile", nullptr, {true, false, false, true, false, true, false, false, true}},
        IniCase{"AllSet",
                "Buzzer=1\r\nAutoHeadCheck=1\r\nAutoStopPos=1\r\nAutoFeed=1\r\nCloseAction=0\r\n",
                {false, true, true, false, false, false, true, true, false}},
        IniCase{"StopOffAndOtherNonZeroValues", "Buzzer=-3\r\nAutoHeadCheck=7\r\nAutoStopPos=0\r\nAutoFeed=9\r\n",
                {false, true, true, false, true, false, false, true, true}},
        IniCase{"StopValueOutsideTheChoices", "AutoStopPos=5\r\n", {true, false, false, true, false, true, false, false, true}},
        // A value that is not an integer counts as missing (its default).
        IniCase{"NotIntegers", "Buzzer=yes\r\nAutoHeadCheck=1x\r\nAutoStopPos=\r\nAutoFeed=0x1\r\nCloseAction=abc\r\n",
                {true, false, false, true, false, true, false, false, true}},
        IniCase{"BlanksAroundAnInteger", "Buzzer=  1 \r\nAutoStopPos= 0\r\n",
                {false, true, false, true, true, false, false, false, true}}),
    [](const testing::TestParamInfo<IniCase>& info) { return std::string(info.param.label); });

// ---- the printer's stored settings ---------------------------------------------------
// What the first activation's read shows, from the printer's settings
// memory: the buzzer is silent only for exactly 1, the feed boxes are
// checked only for exactly 1, head check is on for any non-zero byte, and a
// label-stop byte above 1 is manual.

struct ImageCase {
  const char* label;
  uint8_t buzzer, headCheck, labelStop, feedAtPowerOn, feedOnHeadClose;
  Choices shown;
};

class MainSettingsImage : public ToolSession, public testing::WithParamInterface<ImageCase> {};

TEST_P(MainSettingsImage, DrivesTheChoicesAfterTheFirstRead) {
  const ImageCase& c = GetParam();
  addQueue("KV830 USB", u"Ne00:", u"Varodyn KV830");
  emu::EmulatedPrinter& printer = printerOn("KV830 USB");
  printer.setSetting(emu::addr::kBuzzer, c.buzzer);
  printer.setSetting(emu::addr::kAutoHeadCheck, c.headCheck);
  printer.setSetting(emu::addr::kLabelStop, c.labelStop);
  printer.setSetting(emu::addr::kFeedAtPowerOn, c.feedAtPowerOn);
  printer.setSetting(emu::addr::kFeedOnHeadClose, c.feedOnHeadClose);
  createMain();
  mainView().activate();
  ASSERT_EQ(readCaptions(), std::vector<std::string>{"读出系统设置"});
  expectChoices(mainView(), c.shown);
}

INSTANTIATE_TEST_SUITE_P(
    Bytes, MainSettingsImage,
    testing::Values(ImageCase{"Zeroes", 0, 0, 0, 0, 0, {true, false, false, true, true, false, false, false, false}},
                    ImageCase{"Ones", 1, 1, 1, 1, 1, {false, true, true, false, false, false, true, true, true}},
                    ImageCase{"Twos", 2, 2, 2, 2, 2, {true, false, true, false, false, true, false, false, false}},
                    ImageCase{"High", 0xFF, 0x80, 0xFF, 0xFF, 0x80,
                              {true, false, true, false, false, true, false, false, false}}),
    [](const testing::TestParamInfo<ImageCase>& info) { return std::string(info.param.label); });

TEST_F(ToolSession, CloseWritesTheFiveKeysFromTheChoicesAndEmptiesTheQueue) {
  addQueue("KV", u"LPT1:", u"Varodyn KV830");
  createMain();
  mainView().activate();
  FakeView& v = mainView();
  v.fakeCheck(IDC_NOBUZZER_RADIOBUTTON).setChecked(true);
  v.fakeCheck(IDC_AUTOHEADCHECK_ON_RADIOBUTTON).setChecked(true);
  v.fakeCheck(IDC_AUTOSTOPPOS_ON_RADIOBUTTON).setChecked(true);
  v.fakeCheck(IDC_AUTOFEED_CHECKBOX).setChecked(true);
  v.fakeCheck(IDC_CLOSEACTION_CHECKBOX).setChecked(false);
  sim::holdJobs(u"KV", true);
  sim::addQueuedJob(u"KV", "left over");
  v.userClose();
  EXPECT_EQ(settingsKey("Buzzer"), "1");
  EXPECT_EQ(settingsKey("AutoHeadCheck"), "1");
  EXPECT_EQ(settingsKey("AutoStopPos"), "1");
  EXPECT_EQ(settingsKey("AutoFeed"), "1");
  EXPECT_EQ(settingsKey("CloseAction"), "0");
  EXPECT_TRUE(sim::queuedJobs(u"KV").empty());

  // Written values come back at the next start.
  resetForms();
  createMain();
  EXPECT_TRUE(mainView().fakeCheck(IDC_NOBUZZER_RADIOBUTTON).isChecked());
  EXPECT_TRUE(mainView().fakeCheck(IDC_AUTOSTOPPOS_ON_RADIOBUTTON).isChecked());
  EXPECT_FALSE(mainView().fakeCheck(IDC_CLOSEACTION_CHECKBOX).isChecked());
}

// ---- first activation --------------------------------------------------------------

struct ActivationCase {
  const char* label;
  std::vector<std::pair<std::string, std::u16string>> queues;  // name, port
  const char* printerQueue;                                     // where the emulated printer is; null: none
  std::vector<ToolSession::Selection> selections;
  // Expected:
  std::vector<std::vector<std::string>> lists;  // selection dialogs shown
  int reads;                                    // settings reads run
  std::vector<std::string> boxes;               // "caption|text"
  const char* current;                          // current printer afterwards
  bool readBack;
};

const char kReadFailed[] = "系统提示|获取打印机信息失败!";
const char kParallelWarning[] = "警告|选择并口打印机驱动，不能获取打印机信息 ";

class MainFirstActivation : public ToolSession, public testing::WithParamInterface<ActivationCase> {};

TEST_P(MainFirstActivation, ChoosesThePrinterAndReadsItsSettings) {
  const ActivationCase& c = GetParam();
  for (const auto& [name, port] : c.queues) addQueue(name, port, u"Varodyn KV830");
  if (c.printerQueue) {
    emu::EmulatedPrinter& printer = printerOn(c.printerQueue);
    printer.setSetting(emu::addr::kBuzzer, 1);
  }
  answerSelections(c.selections);
  createMain();
  mainView().activate();

  EXPECT_EQ(selectionLists(), c.lists);
  EXPECT_EQ(readCaptions(), std::vector<std::string>(size_t(c.reads), "读出系统设置"));
  EXPECT_EQ(boxTexts(), c.boxes);
  EXPECT_EQ(std::string(CurrentPrinterName()), c.current);
  EXPECT_EQ(mainForm().readBack(), c.readBack);
  for (UINT id : {IDC_MAIN_BUTTON5, IDC_MAIN_BUTTON6, IDC_MAIN_BUTTON7})
    EXPECT_EQ(mainView().fakeButton(id).isEnabled(), c.readBack) << id;
  EXPECT_EQ(mainView().fakeTimer(IDT_MAIN_SYSTEMTIMER).isRunning(), c.readBack);
  EXPECT_EQ(mainView().fakeEdit(IDC_MAIN_FOCUSEDIT).focusCount(), 1);
  // A successful read shows the printer's stored buzzer setting.
  bool read = c.printerQueue && c.reads > 0 && std::string(c.printerQueue) == c.current;
  EXPECT_EQ(mainView().fakeCheck(IDC_NOBUZZER_RADIOBUTTON).isChecked(), read);

  // Later activations change nothing.
  size_t modals = shell.modals().size(), boxes = shell.boxes().size();
  mainView().activate();
  EXPECT_EQ(shell.modals().size(), modals);
  EXPECT_EQ(shell.boxes().size(), boxes);
}

INSTANTIATE_TEST_SUITE_P(
    Queues, MainFirstActivation,
    testing::Values(
        ActivationCase{"OneUsbOneParallel", {{"Par", u"LPT1:"}, {"Usb", u"Ne00:"}}, "Usb", {},
                       {}, 1, {}, "Usb", true},
        ActivationCase{"TwoUsbRead", {{"U1", u"Ne00:"}, {"U2", u"Ne01:"}}, "U2", {{1, true}},
                       {{"U1", "U2"}}, 1, {}, "U2", true},
        ActivationCase{"TwoUsbSkip", {{"U1", u"Ne00:"}, {"U2", u"Ne01:"}}, "U1", {{0, false}},
                       {{"U1", "U2"}}, 0, {}, "U1", true},
        ActivationCase{"OneParallel", {{"P1", u"LPT1:"}}, nullptr, {}, {}, 0, {kParallelWarning}, "P1", false},
        ActivationCase{"TwoParallel", {{"P1", u"LPT1:"}, {"P2", u"LPT2:"}}, nullptr, {{1, false}},
                       {{"P1", "P2"}}, 0, {kParallelWarning}, "P2", false},
        // The read fails; the user retries the USB queue, which fails again
        // (no repeated box), then picks the parallel queue.
        ActivationCase{"RetryLoopEndsOnAParallelQueue", {{"Par", u"LPT1:"}, {"Usb", u"Ne00:"}}, nullptr,
                       {{1, true}, {0, true}}, {{"Par", "Usb"}, {"Par", "Usb"}}, 2,
                       {kReadFailed, kParallelWarning}, "Par", false},
        // The retry loop ends when the user skips; a USB queue keeps read-back.
        ActivationCase{"RetryLoopSkipped", {{"Par", u"LPT1:"}, {"Usb", u"Ne00:"}}, nullptr, {{1, false}},
                       {{"Par", "Usb"}}, 1, {kReadFailed}, "Usb", true},
        // With two USB queues the loop runs even without a parallel queue,
        // and a retry that succeeds ends it.
        ActivationCase{"RetryLoopReadsTheOtherQueue", {{"U1", u"Ne00:"}, {"U2", u"Ne01:"}}, "U2",
                       {{0, true}, {1, true}}, {{"U1", "U2"}, {"U1", "U2"}}, 2, {kReadFailed}, "U2", true},
        // One USB queue alone: a failed read is reported, no loop.
        ActivationCase{"OneUsbReadFails", {{"Usb", u"Ne00:"}}, nullptr, {}, {}, 1, {kReadFailed}, "Usb", true}),
    [](const testing::TestParamInfo<ActivationCase>& info) { return std::string(info.param.label); });

// ---- setting and print buttons ------------------------------------------------------

struct ButtonCase {
  const char* label;
  std::vector<UINT> checked;  // choices checked before the click
  std::vector<UINT> unchecked;
  UINT button;
  std::string job;
  const char* success;
};

const char kSettingSent[] = "设置发送成功!  ";
const char kPrintSent[] = "发送成功!  ";

class MainButtons : public ToolSession, public testing::WithParamInterface<ButtonCase> {
 protected:
  // A parallel queue: nothing is read at the first activation.
  void SetUp() override {
    ToolSession::SetUp();
    addQueue("KV", u"LPT1:", u"Varodyn KV830");
    createMain();
    mainView().activate();
    shell.clearBoxes();
    sim::clearWritten(u"KV");
  }
};

TEST_P(MainButtons, SendOneJobWithTheCommandAndReportDelivery) {
  const ButtonCase& c = GetParam();
  for (UINT id : c.checked) mainView().fakeCheck(id).setChecked(true);
  for (UINT id : c.unchecked) mainView().fakeCheck(id).setChecked(false);
  mainView().click(c.button);
  auto writes = sim::writeCalls(u"KV");
  std::string all;
  for (const auto& w : writes) all.append(w.begin(), w.end());
  EXPECT_EQ(all, c.job);
  EXPECT_EQ(boxTexts(), std::vector<std::string>{std::string("系统提示|") + c.success});
  ASSERT_EQ(shell.boxes().size(), 1u);
  EXPECT_EQ(shell.boxes()[0].type, UINT(MB_OK | MB_ICONINFORMATION));
  EXPECT_TRUE(sim::queuedJobs(u"KV").empty());
}

// The shared table's choices the main window sends, each made with the
// window's own radios and boxes; the sensor levels and the reset are the
// sensor window's and the two questions' below.
std::vector<ButtonCase> mainWindowCases() {
  using printercmd::cases::Choice;
  const UINT labelStopRadios[] = {IDC_AUTOSTOPPOS_OFF_RADIOBUTTON, IDC_AUTOSTOPPOS_ON_RADIOBUTTON,
                                  IDC_AUTOSTOPPOS_FEED_RADIOBUTTON};
  const std::pair<Choice, UINT> printButtons[] = {{Choice::PrintSettings, IDC_MAIN_BUTTON8},
                                                  {Choice::PrintIdentification, IDC_MAIN_BUTTON10},
                                                  {Choice::PrintTestLabel, IDC_MAIN_BUTTON11}};
  std::vector<ButtonCase> out;
  for (const printercmd::cases::ChoiceCase& c : printercmd::cases::kChoiceCases) {
    ButtonCase b{c.label, {}, {}, 0, c.bytes, kSettingSent};
    switch (c.choice) {
      case Choice::Buzzer:
        b.checked = {UINT(c.value ? IDC_NOBUZZER_RADIOBUTTON : IDC_BUZZER_RADIOBUTTON)};
        b.button = IDC_MAIN_BUTTON1;
        break;
      case Choice::HeadCheck:
        b.checked = {UINT(c.value ? IDC_AUTOHEADCHECK_ON_RADIOBUTTON : IDC_AUTOHEADCHECK_OFF_RADIOBUTTON)};
        b.button = IDC_MAIN_BUTTON4;
        break;
      case Choice::LabelStop:
        b.checked = {labelStopRadios[c.value]};
        b.button = IDC_MAIN_BUTTON2;
        break;
      case Choice::Feed:
        (c.value ? b.checked : b.unchecked).push_back(IDC_AUTOFEED_CHECKBOX);
        (c.second ? b.checked : b.unchecked).push_back(IDC_CLOSEACTION_CHECKBOX);
        b.button = IDC_MAIN_BUTTON3;
        break;
      case Choice::PrintSettings:
      case Choice::PrintIdentification:
      case Choice::PrintTestLabel:
        for (const auto& p : printButtons)
          if (p.first == c.choice) b.button = p.second;
        b.success = kPrintSent;
        break;
      case Choice::GapLevel:
      case Choice::MarkLevel:
      case Choice::FactoryReset:
        continue;
    }
    out.push_back(b);
  }
  return out;
}

INSTANTIATE_TEST_SUITE_P(
    SharedChoices, MainButtons, testing::ValuesIn(mainWindowCases()),
    [](const testing::TestParamInfo<ButtonCase>& info) { return std::string(info.param.label); });

TEST_F(MainButtons, AQueueThatDoesNotDrainIsReportedAndEmptied) {
  sim::holdJobs(u"KV", true);
  ULONGLONG before = sim::sleptMs();
  mainView().click(IDC_MAIN_BUTTON1);
  EXPECT_EQ(boxTexts(), std::vector<std::string>{"系统提示|设置发送失败!  "});
  EXPECT_TRUE(sim::queuedJobs(u"KV").empty());
  EXPECT_GE(sim::sleptMs() - before, 2000u);

  shell.clearBoxes();
  mainView().click(IDC_MAIN_BUTTON11);
  EXPECT_EQ(boxTexts(), std::vector<std::string>{"系统提示|发送失败!  "});
  EXPECT_TRUE(sim::queuedJobs(u"KV").empty());
}

TEST_F(MainButtons, ASpoolerThatNeverListsJobsStillReportsDelivery) {
  sim::failFrom(sim::api::EnumJobsA, 1, ERROR_NOT_SUPPORTED);
  mainView().click(IDC_MAIN_BUTTON1);
  EXPECT_EQ(boxTexts(), std::vector<std::string>{"系统提示|设置发送成功!  "});

  // A setting that stays queued there is reported and cancelled.
  shell.clearBoxes();
  sim::holdJobs(u"KV", true);
  mainView().click(IDC_MAIN_BUTTON1);
  EXPECT_EQ(boxTexts(), std::vector<std::string>{"系统提示|设置发送失败!  "});
  EXPECT_TRUE(sim::queuedJobs(u"KV").empty());
}

TEST_F(MainButtons, AJobThatCannotBeStartedIsNotDeliveredEvenWithAnEmptyQueue) {
  sim::failNth(sim::api::StartDocPrinter, 1, ERROR_ACCESS_DENIED);
  mainView().click(IDC_MAIN_BUTTON4);
  EXPECT_TRUE(sim::writeCalls(u"KV").empty());
  EXPECT_EQ(boxTexts(), (std::vector<std::string>{"kvtool|StartDocPrinter fail! error 5", "系统提示|设置发送失败!  "}));
}

TEST_F(MainButtons, AQueueThatCannotBeOpenedIsReportedAsNotDelivered) {
  sim::failFrom(sim::api::OpenPrinter, 1, ERROR_ACCESS_DENIED);
  mainView().click(IDC_MAIN_BUTTON4);
  EXPECT_TRUE(sim::writeCalls(u"KV").empty());
  ASSERT_FALSE(shell.boxes().empty());
  EXPECT_EQ(boxTexts().back(), "系统提示|设置发送失败!  ");
}

struct ResetCase {
  const char* label;
  std::vector<int> answers;
  int questions;
  bool sent;
};

class MainFactoryReset : public MainButtons {};

TEST_F(MainFactoryReset, NeedsTwoYesAnswers) {
  const ResetCase cases[] = {
      {"YesYes", {IDYES, IDYES}, 2, true},  {"YesNo", {IDYES, IDNO}, 2, false},
      {"YesCancel", {IDYES, IDCANCEL}, 2, false}, {"No", {IDNO}, 1, false},
      {"Enter", {}, 1, false},  // No is the default button
  };
  for (const ResetCase& c : cases) {
    SCOPED_TRACE(c.label);
    shell.clearBoxes();
    sim::clearWritten(u"KV");
    for (int a : c.answers) shell.answer({a});
    mainView().click(IDC_MAIN_BUTTON14);
    ASSERT_GE(shell.boxes().size(), size_t(c.questions));
    for (int i = 0; i < c.questions; ++i) {
      EXPECT_EQ(U8(shell.boxes()[size_t(i)].caption), "恢复出厂设置");
      EXPECT_EQ(shell.boxes()[size_t(i)].type, UINT(MB_YESNOCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2));
    }
    EXPECT_EQ(U8(shell.boxes()[0].text), "是否恢复出厂值?\r\n恢复出厂设置将修改当前打印机设定!  ");
    if (c.questions > 1) {
      EXPECT_EQ(U8(shell.boxes()[1].text), "请再次确认是否恢复出厂设置!");
    }
    auto writes = sim::writeCalls(u"KV");
    if (c.sent) {
      ASSERT_EQ(writes.size(), 1u);
      EXPECT_EQ(std::string(writes[0].begin(), writes[0].end()),
                printercmd::cases::bytesOf(printercmd::cases::Choice::FactoryReset));
      EXPECT_EQ(boxTexts().back(), "系统提示|设置发送成功!  ");
    } else {
      EXPECT_TRUE(writes.empty());
      EXPECT_EQ(shell.boxes().size(), size_t(c.questions));
    }
  }
}

// ---- read-back queries ----------------------------------------------------------------

class MainQueries : public ToolSession {
 protected:
  void SetUp() override {
    ToolSession::SetUp();
    addQueue("KV", u"Ne00:", u"Varodyn KV830");
    printer_ = &printerOn("KV");
    createMain();
    mainView().activate();
    mainView().tick();  // the print-mode restore after the first read
    shell.clearBoxes();
  }
  // Runs a query button; returns its boxes.
  std::vector<fake::ShownBox> query(UINT button) {
    shell.clearBoxes();
    mainView().click(button);
    return shell.boxes();
  }
  emu::EmulatedPrinter& printer() { return *printer_; }

 private:
  emu::EmulatedPrinter* printer_ = nullptr;
};

struct QueryCase {
  const char* label;
  UINT button;
  const char* command;  // the printer's reply to this line is replaced
  const char* reply;
  const char* caption;  // of the read dialog
  const char* box;      // null: no box
  UINT icon;
};

class MainQueryReplies : public MainQueries, public testing::WithParamInterface<QueryCase> {};

TEST_P(MainQueryReplies, ShowTheReplyInTheirBox) {
  const QueryCase& c = GetParam();
  printer().setReply(c.command, c.reply);
  auto boxes = query(c.button);
  EXPECT_EQ(readCaptions().back(), c.caption);
  if (!c.box) {
    EXPECT_TRUE(boxes.empty());
    return;
  }
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(U8(boxes[0].caption), "系统提示");
  EXPECT_EQ(U8(boxes[0].text), c.box);
  EXPECT_EQ(boxes[0].type, UINT(MB_OK | c.icon));
}

std::string Fields(int count, int twentieth) {
  std::string s;
  for (int i = 1; i <= count; ++i) s += (i > 1 ? "," : "") + std::to_string(i == 20 ? twentieth : i);
  return s + "\r\n";
}

const std::string kDistance27 = Fields(27, 12345);
const std::string kDistance26 = Fields(26, 12345);
const std::string kDistance28 = Fields(28, 12345);

INSTANTIATE_TEST_SUITE_P(
    Replies, MainQueryReplies,
    testing::Values(
        QueryCase{"Version", IDC_MAIN_BUTTON5, "VER", "KV830\r\nV2.10\r\nIPL 1.02\r\n", "获取版本号",
                  "System：V2.10\r\nIPL：   IPL 1.02", MB_ICONINFORMATION},
        QueryCase{"VersionWithoutIplLine", IDC_MAIN_BUTTON5, "VER", "KV830\r\nV2.10\r\n", "获取版本号",
                  "System：V2.10\r\nIPL：   ", MB_ICONINFORMATION},
        QueryCase{"VersionOfOneLine", IDC_MAIN_BUTTON5, "VER", "KV830", "获取版本号", "System：\r\nIPL：   ",
                  MB_ICONINFORMATION},
        QueryCase{"Distance", IDC_MAIN_BUTTON6, "GETDEF", kDistance27.c_str(), "获取打印距离",
                  "打印距离: 12.345 M   ", MB_ICONINFORMATION},
        QueryCase{"DistanceOf26ValuesShowsAnEmptyBox", IDC_MAIN_BUTTON6, "GETDEF", kDistance26.c_str(),
                  "获取打印距离", "", MB_ICONINFORMATION},
        QueryCase{"HeadNormal", IDC_MAIN_BUTTON7, "FSET CSET=13", "0,0,0,0,0,0\r\n", "检测打印头...",
                  "检测打印头:\r\n    正常", MB_ICONINFORMATION},
        QueryCase{"HeadDriverDamaged", IDC_MAIN_BUTTON7, "FSET CSET=13", "1,0,0,0,0,0\r\n", "检测打印头...",
                  "检测打印头:\r\n    驱动器损坏", MB_ICONERROR},
        QueryCase{"HeadBrokenDot97Is8mm", IDC_MAIN_BUTTON7, "FSET CSET=13", "2,97,0,0,0,0\r\n", "检测打印头...",
                  "检测打印头:\r\n    断线\r\n断线位置：97dot(8mm)", MB_ICONERROR},
        QueryCase{"HeadBrokenDot118Is9mm", IDC_MAIN_BUTTON7, "FSET CSET=13", "2,118,0,0,0,0\r\n", "检测打印头...",
                  "检测打印头:\r\n    断线\r\n断线位置：118dot(9mm)", MB_ICONERROR},
        QueryCase{"HeadOtherStatusShowsNothing", IDC_MAIN_BUTTON7, "FSET CSET=13", "3,0,0,0,0,0\r\n",
                  "检测打印头...", nullptr, 0},
        QueryCase{"HeadFiveFieldsShowNothing", IDC_MAIN_BUTTON7, "FSET CSET=13", "2,97,0,0,0\r\n", "检测打印头...",
                  nullptr, 0},
        // A reply with a field more than the command's count is not read.
        QueryCase{"HeadSevenFieldsShowNothing", IDC_MAIN_BUTTON7, "FSET CSET=13", "2,97,0,0,0,0,5\r\n",
                  "检测打印头...", nullptr, 0},
        QueryCase{"DistanceOf28ValuesShowsAnEmptyBox", IDC_MAIN_BUTTON6, "GETDEF", kDistance28.c_str(),
                  "获取打印距离", "", MB_ICONINFORMATION}),
    [](const testing::TestParamInfo<QueryCase>& info) { return std::string(info.param.label); });

TEST_F(MainQueries, AFailedReadShowsTheCommunicationFailureBox) {
  for (UINT button : {IDC_MAIN_BUTTON5, IDC_MAIN_BUTTON6, IDC_MAIN_BUTTON7}) {
    SCOPED_TRACE(button);
    printer().setReply("RESOL", "");  // the printer never tells its resolution
    auto boxes = query(button);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(U8(boxes[0].caption), "系统提示");
    EXPECT_EQ(U8(boxes[0].text),
              "\r\n通信失败!请检查确认一下：\r\n1.打印机是否处于联机状态（打印）\r\n2.USB的连接线是否正确连接到打印机上？"
              "\r\n3.是否正确选择了打印机名称（与实际编辑软件联机打印时选择的打印机匹配）");
    EXPECT_EQ(boxes[0].type, UINT(MB_OK | MB_ICONERROR));
  }
}

// ---- other printers' queues and the restore timer -----------------------------------

// Enumerated last, on a port the tool would list, with another driver.
const char16_t kOffice[] = u"Z office";

std::vector<std::string> commandsAfter(const emu::EmulatedPrinter& printer, size_t from) {
  const auto& all = printer.commands();
  return std::vector<std::string>(all.begin() + long(from), all.end());
}

TEST_F(ToolSession, AnotherDriversQueueKeepsItsJobsThroughTheWholeSession) {
  addQueue("KV", u"Ne00:", u"Varodyn KV830");
  addQueue("Z office", u"Ne09:", u"Office Laser 9000");
  sim::holdJobs(kOffice, true);
  sim::addQueuedJob(kOffice, "quarterly report");
  printerOn("KV");
  auto officeJobs = [] { return sim::queuedJobs(kOffice).size(); };
  createMain();
  EXPECT_EQ(officeJobs(), 1u) << "start-up";
  mainView().activate();
  EXPECT_EQ(officeJobs(), 1u) << "first activation";
  mainView().tick();
  for (UINT button : {IDC_MAIN_BUTTON5, IDC_MAIN_BUTTON6, IDC_MAIN_BUTTON7, IDC_MAIN_BUTTON1}) {
    mainView().click(button);
    EXPECT_EQ(officeJobs(), 1u) << button;
  }
  shell.duringModal([](FakeView& view, int) {
    if (view.form().dialogId() == IDD_SENSOR) view.userClose();
  });
  mainView().click(IDC_MAIN_BUTTON15);
  EXPECT_EQ(officeJobs(), 1u) << "sensor window";
  mainView().userClose();
  EXPECT_EQ(officeJobs(), 1u) << "close";
}

TEST_F(ToolSession, SelectingTheParallelQueueEmptiesIt) {
  addQueue("P1", u"LPT1:", u"Varodyn KV830");
  addQueue("Z office", u"LPT2:", u"Office Laser 9000");
  for (const char16_t* q : {u"P1", kOffice}) {
    sim::holdJobs(q, true);
    sim::addQueuedJob(q, "waiting");
  }
  createMain();
  mainView().activate();
  EXPECT_TRUE(sim::queuedJobs(u"P1").empty());
  EXPECT_EQ(sim::queuedJobs(kOffice).size(), 1u);
}

// The restore timer is due 3 s after the first activation; a query started
// before then runs its switch, probe and query without the restore's
// "USBS CLS" cutting in, and the restore follows once the read is over.
TEST_F(ToolSession, TheRestoreTimerNeverFiresInsideARead) {
  addQueue("KV", u"Ne00:", u"Varodyn KV830");
  emu::EmulatedPrinter& printer = printerOn("KV");
  createMain();
  mainView().activate();
  ASSERT_TRUE(mainView().fakeTimer(IDT_MAIN_SYSTEMTIMER).isRunning());
  mainView().runUntil(sim::nowMs() + 1000);
  size_t before = printer.commands().size();
  shell.clearBoxes();
  mainView().click(IDC_MAIN_BUTTON5);
  EXPECT_EQ(commandsAfter(printer, before),
            (std::vector<std::string>{"USBS CLS=1", "RESOL", "VER", "USBS CLS=0"}));
  ASSERT_EQ(shell.boxes().size(), 1u);
  EXPECT_EQ(U8(shell.boxes()[0].text).rfind("System：", 0), 0u);
  ASSERT_TRUE(mainView().fakeTimer(IDT_MAIN_SYSTEMTIMER).isRunning());
  mainView().tick();
  EXPECT_FALSE(mainView().fakeTimer(IDT_MAIN_SYSTEMTIMER).isRunning());
}

TEST_F(ToolSession, TheRestoreTimerNeverFiresWhileTheSensorWindowIsOpen) {
  addQueue("KV", u"Ne00:", u"Varodyn KV830");
  emu::EmulatedPrinter& printer = printerOn("KV");
  createMain();
  mainView().activate();
  mainView().runUntil(sim::nowMs() + 1000);
  size_t before = printer.commands().size();
  shell.duringModal([](FakeView& view, int) {
    if (view.form().dialogId() == IDD_SENSOR) view.userClose();
  });
  mainView().click(IDC_MAIN_BUTTON15);
  // The sensor values read, then the restore at close (the printer is in
  // printer mode already: nothing to send).
  EXPECT_EQ(commandsAfter(printer, before),
            (std::vector<std::string>{"USBS CLS=1", "RESOL", "FSET CSET=14", "USBS CLS=0"}));
  EXPECT_TRUE(mainView().fakeTimer(IDT_MAIN_SYSTEMTIMER).isRunning());
}

// The user closes the first settings read while the printer is in HID mode:
// the queue is selected again, nothing is reported, and the restore timer
// returns the printer to print mode.
TEST_F(ToolSession, AFirstReadClosedByTheUserIsUndoneByTheRestoreTimer) {
  addQueue("KV", u"Ne00:", u"Varodyn KV830");
  emu::UsbPrinter& printer = attachPrinter("KV");
  shell.duringModal([](FakeView& view, int tick) {
    if (view.form().dialogId() == IDD_READ && tick == 3) view.userClose();
  });
  createMain();
  mainView().activate();
  EXPECT_TRUE(boxTexts().empty());
  EXPECT_TRUE(mainForm().readBack());
  EXPECT_TRUE(printer.inHidMode());
  ASSERT_TRUE(mainView().fakeTimer(IDT_MAIN_SYSTEMTIMER).isRunning());
  mainView().tick();
  EXPECT_FALSE(printer.inHidMode());
  EXPECT_FALSE(mainView().fakeTimer(IDT_MAIN_SYSTEMTIMER).isRunning());
}

// Two USB queues, "读取信息", and the read closed by the user: no failure box,
// no retry loop, no parallel-port warning, read-back kept.
TEST_F(ToolSession, AConfirmedReadClosedByTheUserEndsTheFirstActivation) {
  addQueue("U1", u"Ne00:", u"Varodyn KV830");
  addQueue("U2", u"Ne01:", u"Varodyn KV830");
  printerOn("U2");
  shell.duringModal([](FakeView& view, int tick) {
    if (view.form().dialogId() == IDD_SELECT) {
      view.fakeList(IDC_SELECT_LIST).select(1);
      view.click(IDC_SELECT_READ);
    }
    if (view.form().dialogId() == IDD_READ && tick == 3) view.userClose();
  });
  createMain();
  mainView().activate();
  EXPECT_EQ(selectionLists().size(), 1u);
  EXPECT_EQ(readCaptions().size(), 1u);
  EXPECT_TRUE(boxTexts().empty());
  EXPECT_EQ(std::string(CurrentPrinterName()), "U2");
  EXPECT_TRUE(mainForm().readBack());
}

TEST_F(ToolSession, ExitInTheMenuClosesTheWindowAndSavesTheChoices) {
  addQueue("KV", u"LPT1:", u"Varodyn KV830");
  createMain();
  mainView().activate();
  mainView().fakeCheck(IDC_NOBUZZER_RADIOBUTTON).setChecked(true);
  mainView().click(IDM_FILE_EXIT);
  EXPECT_TRUE(mainView().closed());
  EXPECT_EQ(settingsKey("Buzzer"), "1");
}

TEST_F(ToolSession, TheMenuItemAndTheHiddenButtonBothSendAFile) {
  addQueue("KV", u"LPT1:", u"Varodyn KV830");
  createMain();
  mainView().activate();
  for (UINT id : {UINT(IDM_FILE_SENDFILE), UINT(IDC_MAIN_SENDFILE_BUTTON)}) {
    SCOPED_TRACE(id);
    size_t dialogs = shell.fileDialogs().size();
    mainView().click(id);
    ASSERT_EQ(shell.fileDialogs().size(), dialogs + 1);
    EXPECT_EQ(U8(shell.fileDialogs().back().title), "选择发送文件");
  }
}

// ---- the whole session --------------------------------------------------------------

TEST_F(ToolSession, ASessionReadsChangesAndReadsBackTheBuzzer) {
  addQueue("KV830 USB", u"Ne00:", u"Varodyn KV830");
  emu::EmulatedPrinter& printer = printerOn("KV830 USB");
  printer.setSetting(emu::addr::kBuzzer, 0);
  printer.setSetting(emu::addr::kLabelStop, 1);
  createMain();
  mainView().activate();
  FakeView& v = mainView();
  EXPECT_TRUE(v.fakeCheck(IDC_BUZZER_RADIOBUTTON).isChecked());
  EXPECT_TRUE(v.fakeCheck(IDC_AUTOSTOPPOS_ON_RADIOBUTTON).isChecked());
  EXPECT_TRUE(boxTexts().empty());
  // The restore timer returns the printer to print mode once.
  ASSERT_TRUE(v.fakeTimer(IDT_MAIN_SYSTEMTIMER).isRunning());
  v.tick();
  EXPECT_FALSE(v.fakeTimer(IDT_MAIN_SYSTEMTIMER).isRunning());
  EXPECT_EQ(printer.usbClass(), 0);

  v.fakeCheck(IDC_NOBUZZER_RADIOBUTTON).setChecked(true);
  v.click(IDC_MAIN_BUTTON1);
  EXPECT_EQ(boxTexts(), std::vector<std::string>{"系统提示|设置发送成功!  "});
  EXPECT_EQ(printer.settings()[emu::addr::kBuzzer], 1);

  // Show the sounding choice again, then read back what the printer kept.
  v.fakeCheck(IDC_BUZZER_RADIOBUTTON).setChecked(true);
  v.userClose();
  resetForms();
  createMain();
  EXPECT_TRUE(mainView().fakeCheck(IDC_BUZZER_RADIOBUTTON).isChecked());  // from the settings file
  mainView().activate();
  EXPECT_TRUE(mainView().fakeCheck(IDC_NOBUZZER_RADIOBUTTON).isChecked());
  EXPECT_EQ(readCaptions().size(), 2u);
}

}  // namespace
}  // namespace kvui
