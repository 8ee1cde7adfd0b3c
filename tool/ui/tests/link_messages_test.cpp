// How the windows word the printer link's failure reports: spooler
// failures with their codes and the start-up failures of the HID link, in
// plain boxes with the program's title.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <new>

#include "controls.h"
#include "fake_ui.h"
#include "link_fixture.h"
#include "printer_link.h"
#include "sim/module.h"
#include "sim/resource.h"
#include "sim/spool_client.h"
#include "sim/spooler.h"
#include "sim/world.h"

namespace {

using linktest::library;
using kvui::fake::U8;

class LinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    linktest::selectTestQueue();
    SetLinkShell(&shell_);
  }
  void TearDown() override {
    StopHidLink();
    SetLinkShell(nullptr);
    sim::reset();
  }
  kvui::fake::FakeShell shell_;
};

TEST_F(LinkTest, QueueThatCannotBeOpenedShowsItsMessageWithTheCode) {
  SetCurrentPrinterName("no such queue");
  EXPECT_EQ(StartSettingJob(kSettingJobName), -1);
  ASSERT_EQ(shell_.boxes().size(), 1u);
  EXPECT_EQ(U8(shell_.boxes()[0].text), "OpenPrinter fail! error 1801");
  EXPECT_EQ(CountQueueJobs(), -1);
  EXPECT_EQ(CancelQueueJobs(), 0);
  EXPECT_EQ(GetQueueDriverName(), "");
}

// ---- spooler failures and their messages ------------------------------------------

struct JobFailureCase {
  const char* label;
  sim::Api api;
  DWORD error;
  int result;               // of SendSettingJob
  std::string message;      // shown with the program's title; empty: none
  bool queuedAfterwards;    // the job stays in the (held) queue
};

class JobFailures : public LinkTest, public testing::WithParamInterface<JobFailureCase> {};

TEST_P(JobFailures, ShowTheirMessageWithTheCode) {
  const JobFailureCase& c = GetParam();
  sim::holdJobs(u"KV830 USB", true);
  sim::failNth(c.api, 1, c.error);
  EXPECT_EQ(SendSettingJob("DEF BZ=1\r\n"), c.result);
  std::vector<std::string> boxes;
  for (const auto& box : shell_.boxes()) boxes.push_back(U8(box.caption) + "|" + U8(box.text));
  std::vector<std::string> expected;
  if (!c.message.empty()) expected.push_back("kvtool|" + c.message);
  EXPECT_EQ(boxes, expected);
  EXPECT_EQ(sim::queuedJobs(u"KV830 USB").size(), c.queuedAfterwards ? 1u : 0u);
  EXPECT_EQ(sim::openPrinterHandles(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Calls, JobFailures,
    testing::Values(
        JobFailureCase{"StartDocPrinter", sim::api::StartDocPrinter, ERROR_ACCESS_DENIED, -1,
                       "StartDocPrinter fail! error 5", false},
        JobFailureCase{"WritePrinter", sim::api::WritePrinter, ERROR_NOT_READY, -1, "WritePrinter fail! error 21",
                       true},
        // A failing end of the document is shown; the queue is still closed.
        JobFailureCase{"EndDocPrinter", sim::api::EndDocPrinter, ERROR_NOT_READY, 1, "EndDocPrinter fail! error 21",
                       true},
        JobFailureCase{"ClosePrinter", sim::api::ClosePrinter, ERROR_INVALID_HANDLE, -1,
                       "ClosePrinter fail! error 6", true}),
    [](const testing::TestParamInfo<JobFailureCase>& info) { return std::string(info.param.label); });

TEST_F(LinkTest, LibraryMissingOneExportLeavesEveryHidOperationFailing) {
  sim::registerModule(library(false));
  EXPECT_FALSE(StartHidLink());
  ASSERT_EQ(shell_.boxes().size(), 1u);
  EXPECT_EQ(U8(shell_.boxes()[0].text), "Load VRDUSBHid.dll Error!");
  EXPECT_FALSE(EnsureHidOpen());
  EXPECT_EQ(HidSend("RESOL\r\n"), -1);
  char buffer[16] = {};
  EXPECT_EQ(HidReadUntilIdle(buffer, 15, 2000), -1);
  EXPECT_EQ(sim::moduleLoadCount("VRDUSBHid.dll"), 0);
}

// The link object is made with a non-throwing new; this binary's
// replacement of that form fails once when asked to.
bool g_failNextNothrowNew = false;

TEST_F(LinkTest, ALinkObjectThatCannotBeMadeIsReportedAndEveryHidOperationFails) {
  sim::registerModule(library(true));
  g_failNextNothrowNew = true;
  EXPECT_FALSE(StartHidLink());
  g_failNextNothrowNew = false;
  std::vector<std::string> boxes;
  for (const auto& box : shell_.boxes()) boxes.push_back(U8(box.caption) + "|" + U8(box.text));
  EXPECT_EQ(boxes, std::vector<std::string>{"kvtool|Create QornOCX Error!"});
  EXPECT_EQ(HidLink(), nullptr);
  EXPECT_FALSE(EnsureHidOpen());
  EXPECT_EQ(HidSend("RESOL\r\n"), -1);
}

TEST_F(LinkTest, FirstStartWritesTheEmbeddedLibraryAndTheSecondReusesIt) {
  auto dir = std::filesystem::temp_directory_path() / "kvtool_link_start";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  sim::setProgramPath((dir / "kvtool.exe").string());
  sim::setProgramResource("dll", "rc_VRDUSBHid", {'M', 'Z', 1, 2});
  sim::registerModule(library(true));
  EXPECT_TRUE(StartHidLink());
  EXPECT_TRUE(shell_.boxes().empty());
  auto read = [&] {
    std::ifstream f(dir / "VRDUSBHid.dll", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
  };
  EXPECT_EQ(read(), std::string("MZ\1\2"));
  StopHidLink();
  sim::setProgramResource("dll", "rc_VRDUSBHid", {'N', 'E', 'W'});
  EXPECT_TRUE(StartHidLink());
  EXPECT_EQ(read(), std::string("MZ\1\2"));
  std::filesystem::remove_all(dir);
}

}  // namespace

// The non-throwing new of this test binary (see g_failNextNothrowNew).
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  if (g_failNextNothrowNew) {
    g_failNextNothrowNew = false;
    return nullptr;
  }
  try {
    return ::operator new(size);
  } catch (...) {
    return nullptr;
  }
}
