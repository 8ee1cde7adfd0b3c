// The read dialog against the emulated printer through the simulated
// spooler and HID bus and the real HID link library: every read mode end to
// end, the step table row by row, and what a settings dump does to the
// settings-memory image.
#include "read_printer_form.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>

#include "fake_ui.h"
#include "printer_link.h"
#include "resource.h"
#include "sim/spool_client.h"
#include "sim/spooler.h"
#include "sim/world.h"
#include "tool_session.h"

namespace kvui {
namespace {

using fake::U8;
using fake::W;
using Mode = TReadPrinterForm::Mode;

const char kToHid[] = "转换打印机为USB HID模式";
const char kInHid[] = "打印机处于USB HID模式";
const char k200dpi[] = "打印机为 200dpi";
const char k300dpi[] = "打印机为 300dpi";
const char kProcessing[] = "处理中...";
const char kToPrinter[] = "转换打印机为USB 打印模式";

// The queue "KV" with the emulated printer on it, selected as the current
// printer, and the HID link started.
class ReadDialog : public ToolSession {
 protected:
  emu::UsbPrinter& start(const char* port = "USB001", emu::PrinterModel model = emu::PrinterModel::KV830) {
    addQueue("KV", std::u16string(port, port + std::strlen(port)), u"Varodyn KV830");
    emu::UsbPrinter& printer = attachPrinter("KV", model);
    SetCurrentPrinterName("KV");
    SetCurrentPrinterPort(port);
    SetLinkShell(&shell);
    EXPECT_TRUE(StartHidLink());
    return printer;
  }
  void TearDown() override {
    SetLinkShell(nullptr);
    ToolSession::TearDown();
  }

  // Begin read, the modal dialog, end read; the modal result.
  int read(Mode mode) {
    form.BeginRead(mode);
    form.SetReadCaption(W("读出"));
    int result = shell.runModal(form);
    form.EndRead();
    return result;
  }
  const fake::ModalRun& run() const { return shell.modals().back(); }
  std::vector<std::string> statusTexts() const {
    std::vector<std::string> texts;
    for (const UiText& t : run().view->fakeStatusBar(IDC_READ_STATUS).history(1))
      if (!t.empty()) texts.push_back(U8(t));
    return texts;
  }

  TReadPrinterForm form{shell};
};

// ---- every mode, end to end --------------------------------------------------------

struct ModeCase {
  const char* label;
  Mode mode;
  std::function<void(emu::EmulatedPrinter&)> script;
  const char* query;  // the command line the printer receives, without CR LF
  std::string reply;  // the reply text after post-processing
  std::string level;  // what the level box shows afterwards
};

std::string settingsDump(const emu::EmulatedPrinter& p) {
  std::string hex;
  char pair[3];
  for (size_t a = 0; a < 512; ++a) {
    std::snprintf(pair, sizeof pair, "%02X", p.settings()[a]);
    hex += pair;
  }
  return hex + "\r\n";
}

class ReadModes : public ReadDialog, public testing::WithParamInterface<ModeCase> {};

TEST_P(ReadModes, SwitchProbeQueryAndSwitchBack) {
  const ModeCase& c = GetParam();
  emu::UsbPrinter& printer = start();
  if (c.script) c.script(printer.device());
  fake::FakeEdit levelBox;
  form.SetLevelBox(&levelBox);
  std::fill(SettingsImage(), SettingsImage() + kSettingsImageSize, 0x5A);

  EXPECT_EQ(read(c.mode), kResultOk);
  EXPECT_EQ(printer.device().commands(),
            (std::vector<std::string>{"USBS CLS=1", "RESOL", c.query, "USBS CLS=0"}));
  std::string reply = c.mode == Mode::SystemSettings ? settingsDump(printer.device()) : c.reply;
  EXPECT_EQ(form.ReplyText(), reply);
  EXPECT_EQ(U8(levelBox.text()), c.level);
  EXPECT_EQ(statusTexts(), (std::vector<std::string>{kToHid, kInHid, k300dpi, kProcessing, kToPrinter}));
  EXPECT_EQ(run().view->fakeProgress(IDC_READ_PROGRESS).history(), (std::vector<int>{0, 20, 40, 60, 80, 100}));
  EXPECT_FALSE(run().view->fakeTimer(IDT_READ_STEP).isRunning());
  if (c.mode == Mode::SystemSettings) {
    // The dump and its line end: 512 bytes and one more (CR LF -> 0xEF).
    EXPECT_EQ(SettingsImage()[100], 1);
    EXPECT_EQ(SettingsImage()[135], 2);
    EXPECT_EQ(SettingsImage()[122], 0);
    EXPECT_EQ(SettingsImage()[512], 0xEF);
    EXPECT_EQ(SettingsImage()[513], 0x5A);
  } else {
    EXPECT_EQ(SettingsImage()[100], 0x5A);
  }
  // Back in printer mode: the printer leaves the HID bus, jobs reach it.
  printer.settle();
  EXPECT_FALSE(printer.inHidMode());
  EXPECT_FALSE(printer.onHidBus());
  EXPECT_TRUE(sim::queuedJobs(u"KV").empty());
  EXPECT_TRUE(shell.boxes().empty());
}

INSTANTIATE_TEST_SUITE_P(
    EveryMode, ReadModes,
    testing::Values(
        ModeCase{"SystemSettings", Mode::SystemSettings,
                 [](emu::EmulatedPrinter& p) {
                   p.setSetting(emu::addr::kBuzzer, 1);
                   p.setSetting(emu::addr::kLabelStop, 2);
                   p.setSetting(emu::addr::kAutoHeadCheck, 0);
                 },
                 "FSET CSET=4,ADD=0,LEN=512", "", ""},
        ModeCase{"GapLevel", Mode::GapLevel, [](emu::EmulatedPrinter& p) { p.setCalibrationResult(57, 45); },
                 "FSET CSET=9,ADD=2,CHK=30", "57", "57"},
        ModeCase{"MarkLevel", Mode::MarkLevel, [](emu::EmulatedPrinter& p) { p.setCalibrationResult(30, 63); },
                 "FSET CSET=9,ADD=0,CHK=30", "63", "63"},
        ModeCase{"GapLevelZeroIsNoReply", Mode::GapLevel, [](emu::EmulatedPrinter& p) { p.setCalibrationResult(0, 45); },
                 "FSET CSET=9,ADD=2,CHK=30", "", ""},
        ModeCase{"MarkLevelNotANumber", Mode::MarkLevel,
                 [](emu::EmulatedPrinter& p) { p.setReply("FSET CSET=9,ADD=0,CHK=30", "ERR\r\n"); },
                 "FSET CSET=9,ADD=0,CHK=30", "", ""},
        ModeCase{"VersionKeepsItsLineEnds", Mode::Version,
                 [](emu::EmulatedPrinter& p) { p.setVersion("V3.01", "IPL 2.00"); }, "VER",
                 "KV830\r\nV3.01\r\nIPL 2.00\r\n", ""},
        ModeCase{"PrintDistanceIsTrimmed", Mode::PrintDistance,
                 [](emu::EmulatedPrinter& p) { p.setPrintDistanceMm(4321); }, "GETDEF",
                 "12,0,1,1,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,4321,0,0,0,0,0,0,0", ""},
        ModeCase{"HeadCheck", Mode::HeadCheck, [](emu::EmulatedPrinter& p) { p.setHeadCondition({2, 97}); },
                 "FSET CSET=13", "2,97,0,0,0,0", ""},
        ModeCase{"SensorValuesFromTheStoredLevels", Mode::SensorValues,
                 [](emu::EmulatedPrinter& p) {
                   p.setSetting(emu::addr::kGapSensorLevel, 77);
                   p.setSetting(emu::addr::kMarkSensorLevel, 12);
                 },
                 "FSET CSET=14", "77,12,0", ""},
        // A reply made only of a line end is a reply; trimming leaves nothing.
        ModeCase{"LineEndOnlyReply", Mode::SensorValues,
                 [](emu::EmulatedPrinter& p) { p.setReply("FSET CSET=14", "\r\n"); }, "FSET CSET=14", "", ""}),
    [](const testing::TestParamInfo<ModeCase>& info) { return std::string(info.param.label); });

// ---- resolution and port -----------------------------------------------------------

struct PrinterCase {
  const char* label;
  emu::PrinterModel model;
  const char* port;
  const char* resolutionText;
  const char* leave;  // the command that returns the printer
  int usbClassAfter;
};

class ReadPrinters : public ReadDialog, public testing::WithParamInterface<PrinterCase> {};

TEST_P(ReadPrinters, ProbeNamesTheResolutionAndTheLeaveCommandFollowsThePort) {
  const PrinterCase& c = GetParam();
  emu::UsbPrinter& printer = start(c.port, c.model);
  EXPECT_EQ(read(Mode::Version), kResultOk);
  EXPECT_EQ(printer.device().commands(), (std::vector<std::string>{"USBS CLS=1", "RESOL", "VER", c.leave}));
  EXPECT_EQ(statusTexts(), (std::vector<std::string>{kToHid, kInHid, c.resolutionText, kProcessing, kToPrinter}));
  EXPECT_EQ(printer.device().usbClass(), c.usbClassAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Printers, ReadPrinters,
    testing::Values(PrinterCase{"Usb300dpi", emu::PrinterModel::KV830, "USB001", k300dpi, "USBS CLS=0", 0},
                    PrinterCase{"Usb200dpi", emu::PrinterModel::TR7208, "Ne00:", k200dpi, "USBS CLS=0", 0},
                    PrinterCase{"ParallelPort", emu::PrinterModel::KV830, "LPT1:", k300dpi, "USBS CLS=2", 2}),
    [](const testing::TestParamInfo<PrinterCase>& info) { return std::string(info.param.label); });

// ---- the step table ----------------------------------------------------------------

struct FailureCase {
  const char* label;
  Mode mode;
  std::function<void(emu::UsbPrinter&)> script;
  std::vector<std::string> commands;  // what reached the printer
  int ticks;                          // of the modal run
  bool emptiesTheQueue = false;       // before end read: the HID switch timed out
};

class ReadFailures : public ReadDialog, public testing::WithParamInterface<FailureCase> {};

TEST_P(ReadFailures, EndWithResultSevenAndAnEmptyQueue) {
  const FailureCase& c = GetParam();
  emu::UsbPrinter& printer = start();
  c.script(printer);
  // Another program's job arrives while the dialog waits: the failed read
  // leaves nothing queued either way.
  shell.duringModal([](fake::FakeView&, int tick) {
    if (tick == 3) sim::addQueuedJob(u"KV", "other");
  });
  form.BeginRead(c.mode);
  EXPECT_EQ(shell.runModal(form), kResultFailed);
  if (c.emptiesTheQueue) {
    EXPECT_TRUE(sim::queuedJobs(u"KV").empty());
  }
  form.EndRead();
  EXPECT_EQ(printer.device().commands(), c.commands);
  EXPECT_EQ(run().ticks, c.ticks);
  EXPECT_EQ(form.ReplyText(), "");
  EXPECT_TRUE(sim::queuedJobs(u"KV").empty());
  EXPECT_FALSE(run().view->fakeTimer(IDT_READ_STEP).isRunning());
  EXPECT_TRUE(shell.boxes().empty());
}

const std::vector<std::string> kFiveProbes = {"USBS CLS=1", "RESOL", "RESOL", "RESOL",
                                              "RESOL",      "RESOL", "USBS CLS=0"};

INSTANTIATE_TEST_SUITE_P(
    Rows, ReadFailures,
    testing::Values(
        // Step 1: the 102nd tick without a link ends the read (step 0 took one).
        FailureCase{"NeverOnHid", Mode::Version, [](emu::UsbPrinter& p) { p.setNeverOnHid(true); }, {"USBS CLS=1"},
                    103, true},
        FailureCase{"StuckQueue", Mode::Version, [](emu::UsbPrinter& p) { p.setStuckQueue(true); }, {}, 103, true},
        // Step 2: five unrecognised replies, then the failure exit.
        FailureCase{"WrongResolution", Mode::Version,
                    [](emu::UsbPrinter& p) { p.device().setReply("RESOL", "99\r\n"); }, kFiveProbes, 9},
        FailureCase{"ResolutionWithoutLineEnd", Mode::Version,
                    [](emu::UsbPrinter& p) { p.device().setReply("RESOL", "8"); }, kFiveProbes, 9},
        FailureCase{"SilentPrinter", Mode::Version, [](emu::UsbPrinter& p) { p.device().setSilent(true); },
                    kFiveProbes, 9},
        // Step 3: an empty reply, a reply larger than the buffer, the link
        // breaking while the reply is read.
        FailureCase{"EmptyReply", Mode::HeadCheck, [](emu::UsbPrinter& p) { p.device().setReply("FSET CSET=13", ""); },
                    {"USBS CLS=1", "RESOL", "FSET CSET=13", "USBS CLS=0"}, 5},
        FailureCase{"ReplyOfExactlyTheCapacity", Mode::Version,
                    [](emu::UsbPrinter& p) { p.device().setReply("VER", std::string(kReplyCapacity, 'V')); },
                    {"USBS CLS=1", "RESOL", "VER", "USBS CLS=0"}, 5},
        FailureCase{"LinkBreaksMidExchange", Mode::SensorValues,
                    [](emu::UsbPrinter& p) { p.loseHidAfter("FSET CSET=14"); },
                    {"USBS CLS=1", "RESOL", "FSET CSET=14"}, 5}),
    [](const testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.label); });

// Another program's document still being written on the queue: the printer
// cannot take it, and it would stand before the switch job.
TEST_F(ReadDialog, AJobLeftInTheQueueIsCancelledBeforeTheSwitchJob) {
  start();
  char name[] = "KV", document[] = "left over", datatype[] = "RAW";
  HANDLE other = nullptr;
  ASSERT_TRUE(OpenPrinterA(name, &other, nullptr));
  DOC_INFO_1A info{document, nullptr, datatype};
  ASSERT_NE(StartDocPrinterA(other, 1, reinterpret_cast<LPBYTE>(&info)), 0u);
  std::vector<std::string> queuedAfterSwitch;
  shell.duringModal([&](fake::FakeView&, int tick) {
    if (tick != 1) return;
    for (const sim::QueuedJob& j : sim::queuedJobs(u"KV")) queuedAfterSwitch.push_back(j.document);
  });
  EXPECT_EQ(read(Mode::Version), kResultOk);
  EXPECT_TRUE(queuedAfterSwitch.empty());
  ClosePrinter(other);
}

TEST_F(ReadDialog, ReplyOneByteBelowTheCapacityIsKept) {
  emu::UsbPrinter& printer = start();
  printer.device().setReply("VER", std::string(kReplyCapacity - 1, 'V'));
  EXPECT_EQ(read(Mode::Version), kResultOk);
  EXPECT_EQ(form.ReplyText().size(), size_t(kReplyCapacity - 1));
}

TEST_F(ReadDialog, SwitchJobThatCannotBeStartedFailsAtOnce) {
  emu::UsbPrinter& printer = start();
  sim::failFrom(sim::api::OpenPrinter, 1, ERROR_ACCESS_DENIED);
  EXPECT_EQ(read(Mode::Version), kResultFailed);
  EXPECT_EQ(run().ticks, 1);
  EXPECT_TRUE(printer.device().commands().empty());
  ASSERT_EQ(shell.boxes().size(), 1u);
  EXPECT_EQ(U8(shell.boxes()[0].text), "OpenPrinter fail! error 5");
}

TEST_F(ReadDialog, LinkLostInStepThreeKeepsTickingUntilItComesBack) {
  emu::UsbPrinter& printer = start();
  int lostAt = -1;
  shell.duringModal([&](fake::FakeView&, int tick) {
    if (form.step() == TReadPrinterForm::kStepQuery && lostAt < 0) {
      lostAt = tick;
      printer.unplug();
    }
    if (lostAt >= 0 && tick == lostAt + 10) printer.replug();
  });
  EXPECT_EQ(read(Mode::SensorValues), kResultOk);
  EXPECT_EQ(form.ReplyText(), "30,45,0");
  EXPECT_EQ(printer.device().commands(),
            (std::vector<std::string>{"USBS CLS=1", "RESOL", "FSET CSET=14", "USBS CLS=0"}));
  // Ten ticks in step 3 without a link, then the query and the exit.
  const std::vector<int>& progress = run().view->fakeProgress(IDC_READ_PROGRESS).history();
  EXPECT_EQ(std::count(progress.begin(), progress.end(), 80), 11);
}

TEST_F(ReadDialog, UserClosingEndsWithTwoAndTheRestoreSendsThePrinterBack) {
  emu::UsbPrinter& printer = start();
  shell.duringModal([](fake::FakeView& view, int tick) {
    if (tick == 2) view.userClose();  // in step 2, the printer in HID mode
  });
  EXPECT_EQ(read(Mode::Version), kResultCancel);
  EXPECT_EQ(run().ticks, 2);
  EXPECT_FALSE(run().view->fakeTimer(IDT_READ_STEP).isRunning());
  EXPECT_TRUE(printer.inHidMode());

  ULONGLONG before = sim::sleptMs();
  form.RestorePrintMode();
  EXPECT_GE(sim::sleptMs() - before, kLeaveHidModePauseMs);
  EXPECT_EQ(printer.device().commands().back(), "USBS CLS=0");
  EXPECT_FALSE(printer.inHidMode());

  // Not on HID any more: the restore does nothing.
  printer.settle();
  before = sim::sleptMs();
  size_t commands = printer.device().commands().size();
  form.RestorePrintMode();
  EXPECT_EQ(sim::sleptMs(), before);
  EXPECT_EQ(printer.device().commands().size(), commands);
}

// ---- settings sent as jobs, read back ------------------------------------------------

struct SettingCase {
  const char* label;
  std::vector<std::string> jobs;  // each one setting job, as the windows send it
  Mode mode;                      // the read that shows the result
  std::vector<std::pair<size_t, uint8_t>> image;  // SystemSettings: image bytes
  std::string reply;                              // SensorValues: the levels
  std::vector<int> selfPrints;
};

class SettingsReadBack : public ReadDialog, public testing::WithParamInterface<SettingCase> {};

TEST_P(SettingsReadBack, EverySettingJobIsAppliedByThePrinter) {
  const SettingCase& c = GetParam();
  emu::UsbPrinter& printer = start();
  for (const std::string& job : c.jobs) {
    ASSERT_EQ(SendSettingJob(job), 1) << job;
    EXPECT_TRUE(WaitForDelivery()) << job;
  }
  EXPECT_EQ(printer.device().selfPrints(), c.selfPrints);
  std::fill(SettingsImage(), SettingsImage() + kSettingsImageSize, 0x5A);
  ASSERT_EQ(read(c.mode), kResultOk);
  for (const auto& [offset, value] : c.image) EXPECT_EQ(SettingsImage()[offset], value) << offset;
  if (c.mode == Mode::SensorValues) {
    EXPECT_EQ(form.ReplyText(), c.reply);
  }
  // The printer is back in printer mode: the next setting is delivered.
  printer.settle();
  EXPECT_EQ(SendSettingJob("DEF BZ=0\r\n"), 1);
  EXPECT_TRUE(WaitForDelivery());
}

using emu::addr::kAutoHeadCheck;
using emu::addr::kBuzzer;
using emu::addr::kFeedAtPowerOn;
using emu::addr::kFeedOnHeadClose;
using emu::addr::kLabelStop;

INSTANTIATE_TEST_SUITE_P(
    Settings, SettingsReadBack,
    testing::Values(
        SettingCase{"BuzzerSilent", {"DEF BZ=1\r\n"}, Mode::SystemSettings, {{kBuzzer, 1}}, "", {}},
        SettingCase{"BuzzerSounding", {"DEF BZ=1\r\n", "DEF BZ=0\r\n"}, Mode::SystemSettings, {{kBuzzer, 0}}, "", {}},
        SettingCase{"HeadCheckOff", {"DEF HC=0\r\n"}, Mode::SystemSettings, {{kAutoHeadCheck, 0}}, "", {}},
        SettingCase{"HeadCheckOn", {"DEF HC=0\r\n", "DEF HC=1\r\n"}, Mode::SystemSettings, {{kAutoHeadCheck, 1}}, "",
                    {}},
        SettingCase{"LabelStopOff", {"DEF AP=0\r\n"}, Mode::SystemSettings, {{kLabelStop, 0}}, "", {}},
        SettingCase{"LabelStopManual", {"DEF AP=2\r\nFSET CSET=16,ADD=1\r\n"}, Mode::SystemSettings,
                    {{kLabelStop, 2}}, "", {}},
        SettingCase{"FeedBoth", {"DEF AF=1,CH=1\r\n"}, Mode::SystemSettings,
                    {{kFeedAtPowerOn, 1}, {kFeedOnHeadClose, 1}}, "", {}},
        SettingCase{"FeedOnHeadCloseOnly", {"DEF AF=0,CH=1\r\n"}, Mode::SystemSettings,
                    {{kFeedAtPowerOn, 0}, {kFeedOnHeadClose, 1}}, "", {}},
        SettingCase{"FactoryReset", {"DEF BZ=1\r\n", "DEF HC=0\r\n", "DEF AP=0\r\n", "FSET CSET=12\r\n"},
                    Mode::SystemSettings, {{kBuzzer, 0}, {kAutoHeadCheck, 1}, {kLabelStop, 1}}, "", {}},
        SettingCase{"GapLevel", {"FSET SG=77\r\n"}, Mode::SensorValues, {}, "77,45,0", {}},
        SettingCase{"MarkLevel", {"FSET SM=12\r\n"}, Mode::SensorValues, {}, "30,12,0", {}},
        SettingCase{"PrintRequests", {"FSET CSET=6\r\n", "FSET CSET=8\r\n", "FSET CSET=11\r\n"}, Mode::SensorValues,
                    {}, "30,45,0", {6, 8, 11}}),
    [](const testing::TestParamInfo<SettingCase>& info) { return std::string(info.param.label); });

// ---- the settings-memory image -----------------------------------------------------

struct DumpCase {
  const char* label;
  std::string reply;
  int result;
  bool decoded;
};

class SettingsDump : public ReadDialog, public testing::WithParamInterface<DumpCase> {};

TEST_P(SettingsDump, OnlyAWellFormedDumpChangesTheImage) {
  const DumpCase& c = GetParam();
  emu::UsbPrinter& printer = start();
  printer.device().setReply("FSET CSET=4,ADD=0,LEN=512", c.reply);
  std::fill(SettingsImage(), SettingsImage() + kSettingsImageSize, 0x5A);
  EXPECT_EQ(read(Mode::SystemSettings), c.result);
  EXPECT_TRUE(form.ReplyText() == (c.result == kResultOk ? c.reply : "")) << form.ReplyText().size();
  if (c.decoded) {
    EXPECT_EQ(SettingsImage()[0], 0x0A);
    EXPECT_EQ(SettingsImage()[1], 0xFF);
  } else {
    EXPECT_TRUE(std::all_of(SettingsImage(), SettingsImage() + kSettingsImageSize, [](uint8_t b) { return b == 0x5A; }));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Replies, SettingsDump,
    testing::Values(DumpCase{"MixedCase", "0aFf\r\n", kResultOk, true},
                    DumpCase{"WithoutLineEnd", "0AFF", kResultOk, true},
                    DumpCase{"OddLength", "0AF\r\n", kResultOk, false},
                    DumpCase{"NotHex", "0AFG\r\n", kResultOk, false},
                    DumpCase{"LineEndInside", "0A\r\nFF", kResultOk, false},
                    // A whole 8192-byte dump does not fit the reply buffer:
                    // the read fails before anything is decoded.
                    DumpCase{"WholeMemory", "0AFF" + std::string(16380, '0') + "\r\n", kResultFailed, false}),
    [](const testing::TestParamInfo<DumpCase>& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace kvui
