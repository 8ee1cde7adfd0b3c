// The tool's printer link against the simulated spooler and module loader.
#include "printer_link.h"

#include <gtest/gtest.h>

#include <vector>

#include "link_fixture.h"
#include "sim/module.h"
#include "sim/resource.h"
#include "sim/spool_client.h"
#include "sim/spooler.h"
#include "sim/world.h"

namespace {

using linktest::g_reads;
using linktest::library;

// What the link reported, in order.
struct Report {
  LinkStep step;
  DWORD code;
  bool operator==(const Report&) const = default;
};
std::vector<Report> g_reports;
void record(LinkStep step, DWORD code) { g_reports.push_back({step, code}); }

class LinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    linktest::selectTestQueue();
    g_reports.clear();
    SetLinkReporter(record);
  }
  void TearDown() override {
    StopHidLink();
    SetLinkReporter(nullptr);
    sim::reset();
  }
};

TEST_F(LinkTest, EmptyDocumentNameStartsTheDefaultJob) {
  sim::holdJobs(u"KV830 USB", true);
  ASSERT_EQ(StartSettingJob(""), 1);
  EXPECT_EQ(WriteSettingJob("DEF BZ=1\r\n", 10), 10);
  EXPECT_EQ(EndSettingJob(), 1);
  auto jobs = sim::queuedJobs(u"KV830 USB");
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0].document, "TR7208 Extra PrintJob");
  EXPECT_EQ(jobs[0].datatype, "RAW");
  EXPECT_EQ(sim::written(u"KV830 USB"), (std::vector<BYTE>{'D', 'E', 'F', ' ', 'B', 'Z', '=', '1', '\r', '\n'}));
  EXPECT_EQ(sim::openPrinterHandles(), 0u);
}

TEST_F(LinkTest, CountingStopsAt127JobsAndCancellingEmptiesTheQueue) {
  for (int i = 0; i < 200; ++i) sim::addQueuedJob(u"KV830 USB", "other");
  EXPECT_EQ(CountQueueJobs(), 127);
  EXPECT_EQ(CancelQueueJobs(), 1);
  EXPECT_EQ(CountQueueJobs(), 73);
}

// ---- the delivery check of one setting job ---------------------------------------
// The setting goes out as the windows send it, the check runs, and a setting
// that was not delivered has its queue emptied.

enum class Fault { None, Nth, From };

struct DeliveryCase {
  const char* label;
  bool stays;                // the queue holds its finished jobs
  sim::Api api;              // which spooler call is scripted to fail
  Fault fault;
  int call;                  // counted from the setting's start
  DWORD error;
  bool delivered;
  ULONGLONG sleptMs;
};

class DeliveryCheck : public LinkTest, public testing::WithParamInterface<DeliveryCase> {};

TEST_P(DeliveryCheck, CountsOnlyASettingThatLeftTheQueue) {
  const DeliveryCase& c = GetParam();
  sim::holdJobs(u"KV830 USB", c.stays);
  if (c.fault == Fault::Nth) sim::failNth(c.api, c.call, c.error);
  if (c.fault == Fault::From) sim::failFrom(c.api, c.call, c.error);
  SendSettingJob("DEF BZ=1\r\n");
  bool delivered = WaitForDelivery();
  EXPECT_EQ(delivered, c.delivered);
  EXPECT_EQ(sim::sleptMs(), c.sleptMs);
  if (!delivered) CancelQueueJobs();
  sim::clearFaults();
  EXPECT_TRUE(sim::queuedJobs(u"KV830 USB").empty());
}

// Each poll lists the jobs in two EnumJobsA calls (size, then the list); the
// twenty polls make calls 1 to 40, emptying the queue after a failure 41 and 42.
INSTANTIATE_TEST_SUITE_P(
    Faults, DeliveryCheck,
    testing::Values(
        DeliveryCase{"Drains", false, sim::api::EnumJobsA, Fault::None, 0, 0, true, 100},
        DeliveryCase{"Stays", true, sim::api::EnumJobsA, Fault::None, 0, 0, false, 2000},
        DeliveryCase{"SizeCallFailsJobGone", false, sim::api::EnumJobsA, Fault::Nth, 1, ERROR_GEN_FAILURE, true, 100},
        DeliveryCase{"SizeCallFailsJobStays", true, sim::api::EnumJobsA, Fault::Nth, 1, ERROR_GEN_FAILURE, false, 2000},
        DeliveryCase{"ListCallFailsJobGone", false, sim::api::EnumJobsA, Fault::Nth, 2, ERROR_GEN_FAILURE, true, 100},
        DeliveryCase{"ListCallFailsJobStays", true, sim::api::EnumJobsA, Fault::Nth, 2, ERROR_GEN_FAILURE, false,
                     2000},
        DeliveryCase{"LastPollFailsJobStays", true, sim::api::EnumJobsA, Fault::Nth, 40, ERROR_GEN_FAILURE, false,
                     2000},
        // A spooler whose EnumJobsA never works (Wine's is a stub).
        DeliveryCase{"NeverListsJobGone", false, sim::api::EnumJobsA, Fault::From, 1, ERROR_NOT_SUPPORTED, true, 100},
        DeliveryCase{"NeverListsJobStays", true, sim::api::EnumJobsA, Fault::From, 1, ERROR_NOT_SUPPORTED, false,
                     2000},
        DeliveryCase{"EmptyingCannotListJobStays", true, sim::api::EnumJobsA, Fault::From, 41, ERROR_NOT_SUPPORTED,
                     false, 2000},
        // The queue cannot be opened at the first poll: failed at once (the
        // setting's own job took the first OpenPrinter).
        DeliveryCase{"QueueCannotBeOpened", false, sim::api::OpenPrinter, Fault::From, 2, ERROR_ACCESS_DENIED, false,
                     100},
        // A job that never started was not delivered, whatever the queue holds.
        DeliveryCase{"JobNeverStarted", false, sim::api::StartDocPrinter, Fault::Nth, 1, ERROR_ACCESS_DENIED, false,
                     0}),
    [](const testing::TestParamInfo<DeliveryCase>& info) { return std::string(info.param.label); });

TEST_F(LinkTest, WithoutJobListsNothingCanTellAQueuedSettingFromADeliveredOne) {
  sim::holdJobs(u"KV830 USB", true);
  sim::failFrom(sim::api::EnumJobsA, 1, ERROR_NOT_SUPPORTED);
  sim::failFrom(sim::api::GetJobA, 1, ERROR_ACCESS_DENIED);
  SendSettingJob("DEF BZ=1\r\n");
  EXPECT_FALSE(WaitForDelivery());
  EXPECT_EQ(sim::sleptMs(), 2000u);
}

// ---- failures the link reports ---------------------------------------------------
// Each failed spooler step is reported once, with the system's last error;
// the windows word it (their tests check the texts).

struct ReportCase {
  const char* label;
  sim::Api api;  // fails at its first call; nothing fails for the first case's
  DWORD error;
  bool queueMissing;  // the current queue does not exist
  std::vector<Report> reports;
};

class LinkReports : public LinkTest, public testing::WithParamInterface<ReportCase> {};

TEST_P(LinkReports, NameTheStepAndItsCode) {
  const ReportCase& c = GetParam();
  if (c.queueMissing) SetCurrentPrinterName("no such queue");
  if (c.error) sim::failNth(c.api, 1, c.error);
  SendSettingJob("DEF BZ=1\r\n");
  EXPECT_EQ(g_reports, c.reports);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, LinkReports,
    testing::Values(
        ReportCase{"Delivered", sim::api::StartDocPrinter, 0, false, {}},
        ReportCase{"OpenPrinter", sim::api::OpenPrinter, 0, true, {{LinkStep::OpenQueue, ERROR_INVALID_PRINTER_NAME}}},
        ReportCase{"StartDocPrinter", sim::api::StartDocPrinter, ERROR_ACCESS_DENIED, false,
                   {{LinkStep::StartDocument, ERROR_ACCESS_DENIED}}},
        ReportCase{"WritePrinter", sim::api::WritePrinter, ERROR_NOT_READY, false,
                   {{LinkStep::WriteJob, ERROR_NOT_READY}}},
        ReportCase{"EndDocPrinter", sim::api::EndDocPrinter, ERROR_NOT_READY, false,
                   {{LinkStep::EndDocument, ERROR_NOT_READY}}},
        ReportCase{"ClosePrinter", sim::api::ClosePrinter, ERROR_INVALID_HANDLE, false,
                   {{LinkStep::CloseQueue, ERROR_INVALID_HANDLE}}}),
    [](const testing::TestParamInfo<ReportCase>& info) { return std::string(info.param.label); });

TEST_F(LinkTest, AWriteWithoutAStartedJobIsReportedAsAnInvalidHandle) {
  EXPECT_EQ(WriteSettingJob("x", 1), -1);
  EXPECT_EQ(g_reports, (std::vector<Report>{{LinkStep::WriteJob, ERROR_INVALID_HANDLE}}));
}

TEST_F(LinkTest, ALibraryThatDoesNotAnswerIsReportedAtStartUp) {
  sim::registerModule(library(false));
  EXPECT_FALSE(StartHidLink());
  EXPECT_EQ(g_reports, (std::vector<Report>{{LinkStep::LoadHidLibrary, 0}}));
  StopHidLink();
  g_reports.clear();
  sim::registerModule(library(true));
  EXPECT_TRUE(StartHidLink());
  EXPECT_TRUE(g_reports.empty());
}

// Names are cut to their 1024-byte buffers with the terminator; a document
// name longer than that (a deep file path) still starts a job.
TEST_F(LinkTest, LongNamesAreCutWithinTheirBuffers) {
  const std::string longName(3000, 'q');
  SetCurrentPrinterPort(longName.c_str());
  EXPECT_EQ(std::string(CurrentPrinterPort()), longName.substr(0, kPrinterNameSize - 1));
  SetCurrentPrinterName(longName.c_str());
  EXPECT_EQ(std::string(CurrentPrinterName()), longName.substr(0, kPrinterNameSize - 1));
  EXPECT_EQ(StartSettingJob(kSettingJobName), -1);  // no queue of that name

  SetCurrentPrinterName("KV830 USB");
  sim::holdJobs(u"KV830 USB", true);
  ASSERT_EQ(StartSettingJob(longName.c_str()), 1);
  EXPECT_EQ(EndSettingJob(), 1);
  auto jobs = sim::queuedJobs(u"KV830 USB");
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0].document, longName.substr(0, kPrinterNameSize - 1));
}

TEST_F(LinkTest, DriverNameComesFromTheQueue) { EXPECT_EQ(GetQueueDriverName(), "Varodyn KV830"); }

// A printer that never answers: each reader gives up after its idle limit
// (a negative limit counts as none) with nothing read.
TEST_F(LinkTest, SilentPrinterEndsEachReadAfterItsIdleLimit) {
  sim::registerModule(library(true));
  ASSERT_TRUE(StartHidLink());
  ASSERT_TRUE(EnsureHidOpen());
  const struct {
    int idleMs;
    ULONGLONG sleptMs;
  } cases[] = {{2000, 2010}, {15, 20}, {0, 10}, {-10, 10}, {-2000, 10}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.idleMs);
    for (bool untilLine : {false, true}) {
      const ULONGLONG before = sim::sleptMs();
      char buffer[16] = {};
      EXPECT_EQ(untilLine ? HidReadUntil(buffer, 15, c.idleMs, "\r\n") : HidReadUntilIdle(buffer, 15, c.idleMs), 0);
      EXPECT_EQ(sim::sleptMs() - before, c.sleptMs);
    }
  }
}

// ---- reply readers ----------------------------------------------------------------

struct ReaderCase {
  const char* label;
  std::vector<std::string> reads;
  const char* terminator;  // null: HidReadUntilIdle
  int capacity;
  int result;
  std::string text;      // the buffer's text afterwards
  ULONGLONG sleptMs;     // on the virtual clock
  size_t left;           // reads the printer still has
};

class Readers : public LinkTest, public testing::WithParamInterface<ReaderCase> {};

TEST_P(Readers, CollectTheReplyWithinTheirBounds) {
  const ReaderCase& c = GetParam();
  sim::registerModule(library(true));
  ASSERT_TRUE(StartHidLink());
  ASSERT_TRUE(EnsureHidOpen());
  g_reads.assign(c.reads.begin(), c.reads.end());
  std::vector<char> buffer(size_t(c.capacity) + 1, 0);
  ULONGLONG before = sim::sleptMs();
  int n = c.terminator ? HidReadUntil(buffer.data(), c.capacity, 2000, c.terminator)
                       : HidReadUntilIdle(buffer.data(), c.capacity, 2000);
  EXPECT_EQ(n, c.result);
  if (n >= 0) {
    EXPECT_EQ(std::string(buffer.data()), c.text);
  }
  EXPECT_EQ(sim::sleptMs() - before, c.sleptMs);
  EXPECT_EQ(g_reads.size(), c.left);
  EXPECT_EQ(buffer.back(), 0);  // nothing past the capacity
  g_reads.clear();
}

INSTANTIATE_TEST_SUITE_P(
    Replies, Readers,
    testing::Values(
        // A silent printer costs the idle limit once: 201 sleeps of 10 ms.
        ReaderCase{"SilentUntilIdle", {}, nullptr, 15, 0, "", 2010, 0},
        ReaderCase{"SilentUntilLine", {}, "\r\n", 15, 0, "", 2010, 0},
        // Data resets the idle budget; the read ends 2010 ms after the last.
        ReaderCase{"IdleAfterTwoChunks", {"12", "", "", "\r\n"}, nullptr, 15, 4, "12\r\n", 2030, 0},
        // The line reader returns at CR LF although more is on its way.
        ReaderCase{"LineEndsTheRead", {"30,4", "", "5,0\r", "\nMORE", "MORE"}, "\r\n", 63, 13, "30,45,0\r\nMORE",
                   10, 1},
        // A chunk that leaves no room for the terminating zero fails the read.
        ReaderCase{"ExactlyTheCapacity", {"123456789012345"}, nullptr, 15, -1, "", 0, 0},
        ReaderCase{"OneBelowTheCapacity", {"12345678901234"}, nullptr, 15, 14, "12345678901234", 2010, 0},
        ReaderCase{"OverflowInALaterChunk", {"1234567890", "12345"}, "\r\n", 15, -1, "", 0, 0},
        // A failing read ends the reply with what came so far.
        ReaderCase{"ReadFailureEndsIt", {"12", std::string(70000, 'x'), "\r\n"}, nullptr, 15, 2, "12", 0, 1}),
    [](const testing::TestParamInfo<ReaderCase>& info) { return std::string(info.param.label); });

TEST_F(LinkTest, ReadersFailWithoutAnOpenLink) {
  sim::registerModule(library(true));
  ASSERT_TRUE(StartHidLink());
  char buffer[16] = {};
  EXPECT_EQ(HidReadUntilIdle(buffer, 15, 2000), -1);
  EXPECT_EQ(HidReadUntil(buffer, 15, 2000, "\r\n"), -1);
  EXPECT_EQ(sim::sleptMs(), 0u);
}

}  // namespace

