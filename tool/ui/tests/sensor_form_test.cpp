// The sensor window opened from the main window, against the simulated
// spooler and the emulated printer: first activation, automatic and manual
// set for both sensors, close.
#include "sensor_form.h"

#include <gtest/gtest.h>

#include <iterator>
#include <string>

#include "choice_cases.h"
#include "fake_ui.h"
#include "resource.h"
#include "sim/spool_client.h"
#include "sim/spooler.h"
#include "sim/world.h"
#include "tool_session.h"

namespace kvui {
namespace {

using fake::FakeView;
using fake::U8;

const char kCommFailure[] =
    "系统提示|\r\n通信失败!请检查确认一下：\r\n1.打印机是否处于联机状态（打印）\r\n2.USB的连接线是否正确连接到打印机上？"
    "\r\n3.是否正确选择了打印机名称（与实际编辑软件联机打印时选择的打印机匹配）";

// The main window on one queue; the sensor window is opened with its
// button and acted on while it is shown.
class SensorWindow : public ToolSession {
 protected:
  void start(const std::u16string& port, bool printerPresent) {
    addQueue("KV", port, u"Varodyn KV830");
    if (printerPresent) printer_ = &printerOn("KV");
    createMain();
    mainView().activate();
    if (mainView().fakeTimer(IDT_MAIN_SYSTEMTIMER).isRunning()) mainView().tick();
    shell.clearBoxes();
    sim::clearWritten(u"KV");
    modalsBefore_ = shell.modals().size();
  }
  // Opens the window; `act` runs once it is shown (after its first
  // activation), then the user closes it.
  void open(std::function<void(FakeView&)> act = nullptr) {
    sensorOpened_ = false;
    shell.duringModal([this, act](FakeView& view, int) {
      if (view.form().dialogId() != IDD_SENSOR || sensorOpened_) return;
      sensorOpened_ = true;
      sensorView_ = &view;
      if (act) act(view);
      view.userClose();
    });
    mainView().click(IDC_MAIN_BUTTON15);
  }
  const fake::ModalRun& sensorRun() {
    for (const fake::ModalRun& run : shell.modals())
      if (run.dialogId == IDD_SENSOR) last_ = &run;
    return *last_;
  }
  std::string gapText() { return U8(sensorRun().view->fakeEdit(IDC_SENSORLEVELGAP_EDIT).text()); }
  std::string markText() { return U8(sensorRun().view->fakeEdit(IDC_SENSORLEVELMARK_EDIT).text()); }
  std::string written() {
    std::string all;
    for (const auto& w : sim::writeCalls(u"KV")) all.append(w.begin(), w.end());
    return all;
  }
  emu::EmulatedPrinter& printer() { return *printer_; }

  size_t modalsBefore_ = 0;

 private:
  emu::EmulatedPrinter* printer_ = nullptr;
  bool sensorOpened_ = false;
  FakeView* sensorView_ = nullptr;
  const fake::ModalRun* last_ = nullptr;
};

TEST_F(SensorWindow, WithoutReadBackShowsTheSavedLevelsAndDisablesAutomaticSetting) {
  start(u"LPT1:", false);
  open();
  const fake::ModalRun& run = sensorRun();
  EXPECT_EQ(U8(run.view->caption()), "传感器设置");
  EXPECT_EQ(gapText(), "27");
  EXPECT_EQ(markText(), "45");
  EXPECT_EQ(run.view->fakeEdit(IDC_SENSORLEVELGAP_EDIT).spinRange(), std::make_pair(1, 100));
  EXPECT_EQ(run.view->fakeEdit(IDC_SENSORLEVELMARK_EDIT).spinRange(), std::make_pair(1, 100));
  EXPECT_FALSE(run.view->fakeButton(IDC_SENSOR_BUTTON13).isEnabled());
  EXPECT_FALSE(run.view->fakeButton(IDC_SENSOR_BUTTON12).isEnabled());
  EXPECT_TRUE(run.view->fakeButton(IDC_SENSOR_BUTTON1).isEnabled());
  EXPECT_TRUE(readCaptions().empty());
  // The restore timer stays off for a printer without read-back.
  EXPECT_FALSE(mainView().fakeTimer(IDT_MAIN_SYSTEMTIMER).isRunning());
  EXPECT_EQ(settingsKey("SensorLevelGap"), "27");
  EXPECT_EQ(settingsKey("SensorLevelMark"), "45");
}

struct ValuesCase {
  const char* label;
  const char* reply;
  const char* gap;
  const char* mark;
};

class SensorValues : public SensorWindow, public testing::WithParamInterface<ValuesCase> {};

TEST_P(SensorValues, OnlyThreeNumbersSetBothBoxes) {
  start(u"Ne00:", true);
  writeSettingsFile("[Setting]\r\nSensorLevelGap=12\r\nSensorLevelMark=34\r\n");
  printer().setReply("FSET CSET=14", GetParam().reply);
  open();
  EXPECT_EQ(readCaptions().back(), "获取传感器值");
  EXPECT_EQ(gapText(), GetParam().gap);
  EXPECT_EQ(markText(), GetParam().mark);
  EXPECT_TRUE(boxTexts().empty());
  // The restore timer runs again once the window is closed.
  EXPECT_TRUE(mainView().fakeTimer(IDT_MAIN_SYSTEMTIMER).isRunning());
}

INSTANTIATE_TEST_SUITE_P(Replies, SensorValues,
                         testing::Values(ValuesCase{"Three", "30,45,0\r\n", "30", "45"},
                                         ValuesCase{"Four", "30,45,0,1\r\n", "12", "34"},
                                         ValuesCase{"Five", "30,45,0,1,2\r\n", "12", "34"},
                                         ValuesCase{"Two", "30,45\r\n", "12", "34"}),
                         [](const testing::TestParamInfo<ValuesCase>& info) { return std::string(info.param.label); });

TEST_F(SensorWindow, AFailedValuesReadShowsTheCommunicationFailure) {
  start(u"Ne00:", false);
  open();
  EXPECT_EQ(boxTexts(), std::vector<std::string>{kCommFailure});
  EXPECT_EQ(gapText(), "27");
}

struct AutoCase {
  const char* label;
  UINT button;
  const char* command;  // the calibration line whose reply is scripted
  const char* reply;
  const char* caption;
  const char* box;
  const char* gap;
  const char* mark;
};

class SensorAutomatic : public SensorWindow, public testing::WithParamInterface<AutoCase> {};

TEST_P(SensorAutomatic, MeasuresTheLevelAndSavesItAtClose) {
  const AutoCase& c = GetParam();
  start(u"Ne00:", true);
  printer().setReply("FSET CSET=14", "20,40,0\r\n");
  printer().setReply(c.command, c.reply);
  open([&](FakeView& view) {
    shell.clearBoxes();
    view.click(c.button);
  });
  EXPECT_EQ(readCaptions().back(), c.caption);
  EXPECT_EQ(boxTexts(), std::vector<std::string>{std::string("系统提示|") + c.box});
  EXPECT_EQ(shell.boxes()[0].type, UINT(MB_OK | MB_ICONINFORMATION));
  EXPECT_EQ(gapText(), c.gap);
  EXPECT_EQ(markText(), c.mark);
  EXPECT_EQ(settingsKey("SensorLevelGap"), c.gap);
  EXPECT_EQ(settingsKey("SensorLevelMark"), c.mark);
}

INSTANTIATE_TEST_SUITE_P(
    Sensors, SensorAutomatic,
    testing::Values(AutoCase{"Gap", IDC_SENSOR_BUTTON13, "FSET CSET=9,ADD=2,CHK=30", "33\r\n", "读出透光传感器灵敏度",
                             "自动设置成功!  ", "33", "40"},
                    AutoCase{"Mark", IDC_SENSOR_BUTTON12, "FSET CSET=9,ADD=0,CHK=30", "57\r\n",
                             "读出黑标传感器灵敏度", "自动设置成功!  ", "20", "57"},
                    AutoCase{"GapZeroFails", IDC_SENSOR_BUTTON13, "FSET CSET=9,ADD=2,CHK=30", "0\r\n",
                             "读出透光传感器灵敏度", "自动设置失败!  ", "20", "40"},
                    AutoCase{"MarkNotANumberFails", IDC_SENSOR_BUTTON12, "FSET CSET=9,ADD=0,CHK=30", "ERR\r\n",
                             "读出黑标传感器灵敏度", "自动设置失败!  ", "20", "40"}),
    [](const testing::TestParamInfo<AutoCase>& info) { return std::string(info.param.label); });

struct ManualCase {
  const char* label;
  UINT button;
  std::string gapText;
  std::string markText;
  std::vector<int> answers;
  std::string job;                  // empty: nothing sent
  std::vector<std::string> boxes;   // after the question
};

const char kAsk[] = "设置传感器值|是否手动设置传感器值! 强制修改可能影响标签的打印！ ";

class SensorManual : public SensorWindow, public testing::WithParamInterface<ManualCase> {};

TEST_P(SensorManual, SendsTheTypedLevelAfterAYes) {
  const ManualCase& c = GetParam();
  start(u"LPT1:", false);
  ULONGLONG slept = 0;
  open([&](FakeView& view) {
    shell.clearBoxes();
    view.fakeEdit(IDC_SENSORLEVELGAP_EDIT).setText(fake::W(c.gapText));
    view.fakeEdit(IDC_SENSORLEVELMARK_EDIT).setText(fake::W(c.markText));
    for (int a : c.answers) shell.answer({a});
    ULONGLONG before = sim::sleptMs();
    view.click(c.button);
    slept = sim::sleptMs() - before;
    ASSERT_FALSE(shell.boxes().empty());
    EXPECT_EQ(shell.boxes()[0].type, UINT(MB_YESNOCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2));
  });
  std::vector<std::string> boxes = boxTexts();
  ASSERT_FALSE(boxes.empty());
  EXPECT_EQ(boxes[0], kAsk);
  std::vector<std::string> rest(boxes.begin() + 1, boxes.end());
  // Closing checks the boxes again: an invalid level is reported twice.
  EXPECT_EQ(rest, c.boxes);
  EXPECT_EQ(written(), c.job);
  if (c.job.empty()) {
    EXPECT_EQ(slept, 0u);  // no delivery wait, no print-mode restore
  }
}

const char kSent[] = "系统提示|设置发送成功!  ";
const char kGapInvalid[] = "错误|透光传感器的值无效!\r\n请输入 1 - 100 之间的整数。";
const char kMarkInvalid[] = "错误|黑标传感器的值无效!\r\n请输入 1 - 100 之间的整数。";

// The shared table's levels, typed into their box (the other box holds a
// valid level) and sent with a yes.
std::vector<ManualCase> manualCases() {
  using printercmd::cases::Choice;
  std::vector<ManualCase> out;
  for (const printercmd::cases::ChoiceCase& c : printercmd::cases::kChoiceCases) {
    if (c.choice == Choice::GapLevel)
      out.push_back({c.label, IDC_SENSOR_BUTTON1, std::to_string(c.value), "45", {IDYES}, c.bytes, {kSent}});
    else if (c.choice == Choice::MarkLevel)
      out.push_back({c.label, IDC_SENSOR_BUTTON2, "27", std::to_string(c.value), {IDYES}, c.bytes, {kSent}});
  }
  // What sends nothing: a level outside 1..100 or not a number, and any
  // answer but yes.
  const ManualCase unsent[] = {
      {"GapZero", IDC_SENSOR_BUTTON1, "0", "45", {IDYES}, "", {kGapInvalid, kGapInvalid}},
      {"GapAboveTheRange", IDC_SENSOR_BUTTON1, "101", "45", {IDYES}, "", {kGapInvalid, kGapInvalid}},
      {"MarkLargestInteger", IDC_SENSOR_BUTTON2, "27", "2147483647", {IDYES}, "", {kMarkInvalid, kMarkInvalid}},
      {"GapNo", IDC_SENSOR_BUTTON1, "64", "45", {IDNO}, "", {}},
      {"MarkCancel", IDC_SENSOR_BUTTON2, "27", "71", {IDCANCEL}, "", {}},
      {"Enter", IDC_SENSOR_BUTTON2, "27", "71", {}, "", {}},
      {"GapNotAnInteger", IDC_SENSOR_BUTTON1, "6x", "45", {IDYES}, "", {kGapInvalid, kGapInvalid}},
      {"MarkEmpty", IDC_SENSOR_BUTTON2, "27", "", {IDYES}, "", {kMarkInvalid, kMarkInvalid}},
      {"MarkNegative", IDC_SENSOR_BUTTON2, "27", "-5", {IDYES}, "", {kMarkInvalid, kMarkInvalid}},
  };
  out.insert(out.end(), std::begin(unsent), std::end(unsent));
  return out;
}

INSTANTIATE_TEST_SUITE_P(Answers, SensorManual, testing::ValuesIn(manualCases()),
                         [](const testing::TestParamInfo<ManualCase>& info) { return std::string(info.param.label); });

// A printer left in HID mode would hold the setting job in its queue: the
// manual set switches it back first, and the setting is delivered.
TEST_F(SensorWindow, ManualSetReturnsThePrinterToPrintModeFirst) {
  start(u"Ne00:", true);
  printer().setReply("FSET CSET=9,ADD=2,CHK=30", "33\r\n");
  open([&](FakeView& view) {
    view.click(IDC_SENSOR_BUTTON13);
    printer().hostWrite(reinterpret_cast<const uint8_t*>("USBS CLS=1\r\n"), 12);
    shell.clearBoxes();
    shell.answer({IDYES});
    view.click(IDC_SENSOR_BUTTON1);
  });
  EXPECT_EQ(boxTexts(), (std::vector<std::string>{kAsk, kSent}));
  const auto& commands = printer().commands();
  ASSERT_GE(commands.size(), 3u);
  EXPECT_EQ(std::vector<std::string>(commands.end() - 3, commands.end()),
            (std::vector<std::string>{"USBS CLS=1", "USBS CLS=0", "FSET SG=33"}));
}

TEST_F(SensorWindow, CloseSavesBothBoxesOnlyWhenBothHoldALevel) {
  start(u"LPT1:", false);
  open([](FakeView& view) {
    view.fakeEdit(IDC_SENSORLEVELGAP_EDIT).setText(fake::W("61"));
    view.fakeEdit(IDC_SENSORLEVELMARK_EDIT).setText(fake::W(" 62 "));
  });
  EXPECT_EQ(settingsKey("SensorLevelGap"), "61");
  EXPECT_EQ(settingsKey("SensorLevelMark"), "62");
  EXPECT_TRUE(boxTexts().empty());

  // Saved levels come back at the next opening.
  open([](FakeView& view) {
    EXPECT_EQ(U8(view.fakeEdit(IDC_SENSORLEVELGAP_EDIT).text()), "61");
    view.fakeEdit(IDC_SENSORLEVELMARK_EDIT).setText(fake::W("sixty"));
  });
  EXPECT_EQ(boxTexts(), std::vector<std::string>{kMarkInvalid});
  EXPECT_EQ(settingsKey("SensorLevelGap"), "61");
  EXPECT_EQ(settingsKey("SensorLevelMark"), "62");
}

TEST_F(SensorWindow, CloseReturnsThePrinterToPrintMode) {
  start(u"Ne00:", true);
  open([&](FakeView& view) {
    view.click(IDC_SENSOR_BUTTON13);  // leaves the printer switched back already
    printer().hostWrite(reinterpret_cast<const uint8_t*>("USBS CLS=1\r\n"), 12);
  });
  EXPECT_EQ(printer().usbClass(), 0);
}

}  // namespace
}  // namespace kvui
