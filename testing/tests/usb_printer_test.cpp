// The emulated printer on the simulated USB: jobs of its queue in printer
// mode, the switch to HID and back, and its scripted faults.
#include "usb_printer.h"

#include <gtest/gtest.h>

#include <winspool.h>

#include <string>
#include <vector>

#include "sim/spool_client.h"
#include "sim/spooler.h"
#include "sim/world.h"

namespace {

// One raw job on the queue, through the spooler's client calls.
void job(const std::string& data) {
  HANDLE printer = nullptr;
  char name[] = "KV";
  ASSERT_TRUE(OpenPrinterA(name, &printer, nullptr));
  char document[] = "KV830 Setting", datatype[] = "RAW";
  DOC_INFO_1A info{document, nullptr, datatype};
  ASSERT_NE(StartDocPrinterA(printer, 1, reinterpret_cast<LPBYTE>(&info)), 0u);
  StartPagePrinter(printer);
  DWORD written = 0;
  EXPECT_TRUE(WritePrinter(printer, const_cast<char*>(data.data()), DWORD(data.size()), &written));
  EXPECT_EQ(written, data.size());
  EndPagePrinter(printer);
  EndDocPrinter(printer);
  ClosePrinter(printer);
}

// An output report carrying `text` (at most 63 bytes) and the feature
// report that reads the printer's answer, as the HID link library sends them.
bool sendOverHid(emu::UsbPrinter& p, const std::string& text) {
  BYTE report[65] = {};
  report[1] = BYTE(text.size());
  std::copy(text.begin(), text.end(), report + 2);
  return p.outputReport(report, sizeof report);
}
std::string answerOverHid(emu::UsbPrinter& p) {
  BYTE report[65] = {};
  if (!p.featureReport(report, sizeof report)) return "<failed>";
  return std::string(report + 8, report + 8 + report[7]);
}

class UsbPrinterTest : public testing::Test {
 protected:
  void SetUp() override {
    sim::reset();
    sim::addQueue({.name = u"KV", .port = u"USB001", .driver = u"Varodyn KV830"});
    printer = emu::UsbPrinter::create();
    printer->attachQueue(u"KV");
  }
  void TearDown() override { sim::reset(); }
  size_t queued() const { return sim::queuedJobs(u"KV").size(); }

  std::shared_ptr<emu::UsbPrinter> printer;
};

TEST_F(UsbPrinterTest, InPrinterModeJobsReachThePrinterAndLeaveTheQueue) {
  job("DEF BZ=1\r\n");
  EXPECT_EQ(printer->device().settings()[emu::addr::kBuzzer], 1);
  EXPECT_EQ(queued(), 0u);
  EXPECT_FALSE(printer->onHidBus());
  EXPECT_FALSE(sendOverHid(*printer, "RESOL\r\n"));  // no HID interface yet
}

TEST_F(UsbPrinterTest, SwitchesToHidByJobAndBackOverHid) {
  job("USBS CLS=1\r\n");
  EXPECT_TRUE(printer->inHidMode());
  EXPECT_TRUE(printer->onHidBus());
  EXPECT_EQ(queued(), 0u);  // the switch job itself was delivered

  // A job now finds no printer-class interface: it stays queued, unseen.
  job("DEF BZ=1\r\n");
  EXPECT_EQ(queued(), 1u);
  EXPECT_EQ(printer->device().settings()[emu::addr::kBuzzer], 0);

  ASSERT_TRUE(sendOverHid(*printer, "RESOL\r\n"));
  EXPECT_EQ(answerOverHid(*printer), "12\r\n");

  // Back to printer mode: reports fail at once, the bus notices at the
  // next settle point.
  ASSERT_TRUE(sendOverHid(*printer, "USBS CLS=0\r\n"));
  EXPECT_FALSE(printer->inHidMode());
  EXPECT_EQ(answerOverHid(*printer), "<failed>");
  EXPECT_TRUE(printer->onHidBus());
  printer->settle();
  EXPECT_FALSE(printer->onHidBus());
  // The job that waited reaches the printer now, and new ones as written.
  EXPECT_EQ(printer->device().settings()[emu::addr::kBuzzer], 1);
  EXPECT_EQ(queued(), 0u);
  job("DEF HC=0\r\n");
  EXPECT_EQ(printer->device().settings()[emu::addr::kAutoHeadCheck], 0);
  EXPECT_EQ(queued(), 0u);
}

TEST_F(UsbPrinterTest, JobsCancelledWhileInHidModeNeverReachThePrinter) {
  printer->enterHidMode();
  job("DEF BZ=1\r\n");
  auto jobs = sim::queuedJobs(u"KV");
  ASSERT_EQ(jobs.size(), 1u);
  HANDLE handle = nullptr;
  char name[] = "KV";
  ASSERT_TRUE(OpenPrinterA(name, &handle, nullptr));
  ASSERT_TRUE(SetJobA(handle, jobs[0].id, 0, nullptr, JOB_CONTROL_CANCEL));
  ClosePrinter(handle);
  ASSERT_TRUE(sendOverHid(*printer, "USBS CLS=0\r\n"));
  printer->settle();
  EXPECT_EQ(printer->device().settings()[emu::addr::kBuzzer], 0);
  EXPECT_EQ(printer->device().commands(), std::vector<std::string>{"USBS CLS=0"});
}

TEST_F(UsbPrinterTest, ReplyToAQuerySentAsJobDataDoesNotTurnUpOverHid) {
  job("VER\r\nUSBS CLS=1\r\n");
  ASSERT_TRUE(printer->onHidBus());
  EXPECT_EQ(answerOverHid(*printer), "");
}

TEST_F(UsbPrinterTest, StuckQueueKeepsEveryJobFromThePrinter) {
  printer->setStuckQueue(true);
  job("USBS CLS=1\r\n");
  EXPECT_EQ(queued(), 1u);
  EXPECT_FALSE(printer->inHidMode());
  printer->setStuckQueue(false);
  job("DEF BZ=1\r\n");
  // The switch job that was stuck went first.
  EXPECT_TRUE(printer->inHidMode());
  EXPECT_EQ(printer->device().settings()[emu::addr::kBuzzer], 0);
  EXPECT_EQ(queued(), 1u);
}

TEST_F(UsbPrinterTest, PrinterThatNeverShowsUpOnHid) {
  printer->setNeverOnHid(true);
  job("USBS CLS=1\r\n");
  EXPECT_TRUE(printer->inHidMode());
  EXPECT_FALSE(printer->onHidBus());
  EXPECT_FALSE(sendOverHid(*printer, "RESOL\r\n"));
  printer->setNeverOnHid(false);
  EXPECT_TRUE(printer->onHidBus());
}

TEST_F(UsbPrinterTest, LinkLostAfterACommandUntilPluggedBackIn) {
  printer->enterHidMode();
  printer->loseHidAfter("FSET CSET=14");
  ASSERT_TRUE(sendOverHid(*printer, "FSET CSET=14\r\n"));
  EXPECT_EQ(answerOverHid(*printer), "<failed>");
  EXPECT_FALSE(sendOverHid(*printer, "RESOL\r\n"));
  printer->settle();
  EXPECT_FALSE(printer->onHidBus());
  printer->replug();
  EXPECT_TRUE(printer->onHidBus());
  // The reply the printer had ready is still there.
  EXPECT_EQ(answerOverHid(*printer), "30,45,0\r\n");
}

TEST_F(UsbPrinterTest, UnplugAndReplugMoveItOnAndOffTheBus) {
  printer->enterHidMode();
  ASSERT_TRUE(printer->onHidBus());
  printer->unplug();
  EXPECT_FALSE(printer->onHidBus());
  EXPECT_FALSE(sendOverHid(*printer, "RESOL\r\n"));
  printer->replug();
  EXPECT_TRUE(printer->onHidBus());
  EXPECT_TRUE(sendOverHid(*printer, "RESOL\r\n"));
}

}  // namespace
