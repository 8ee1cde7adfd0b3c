// The spooler refusing the driver's output at each WritePrinter call of a
// three-page banded job: the document ends failed with the spooler's
// error, nothing after the refused call is written, the next document on
// the same device is written whole again, and disabling the device gives
// back everything it took.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "roundtrip_session.h"

namespace {

struct SweepJob {
  const char* name;
  LONG colorMode;  // 0 one bit, 1 grey
  Content content;
};

const SweepJob kJobs[] = {
    {"OneBit", 0, Content::Stripes},
    {"Grey", 1, Content::Random},
};

struct WriteFault {
  const char* name;
  sim::Api api;
  DWORD error;  // what the document ends with
};

const WriteFault kFaults[] = {
    {"Refused", sim::api::WritePrinter, ERROR_NOT_READY},
    {"TakesNothing", sim::api::WritePrinterZero, ERROR_WRITE_FAULT},
};

constexpr DWORD kJobId = 7;

// A device whose band bitmap holds about a quarter of the page, so each
// page is sent in several bands.
class BandedJob : public PrintSession {
 public:
  void TestBody() override {}

  bool enableBanded(const SweepJob& job) {
    auto edit = [&](PrivateSettings& p) { p.ColorMode = job.colorMode; };
    if (!enable(edit)) return false;
    const LONG stride = job.colorMode ? (pageWidth() + 3) / 4 * 4 : (pageWidth() + 31) / 32 * 4;
    const ULONG quarter = ULONG(stride) * ULONG(pageHeight() / 4 + 8);
    disable();
    sim::setBitmapByteLimit(quarter);
    return enable(edit) && device->bandingMode && device->bandCount >= 3;
  }

  // The WritePrinter calls of the job's document on a fresh host.
  int countWrites(const SweepJob& job) {
    SetUp();
    int calls = 0;
    if (enableBanded(job)) {
      const int before = sim::callCount(sim::api::WritePrinter);
      printDocument(pages(job), kJobId);
      calls = sim::callCount(sim::api::WritePrinter) - before;
    }
    TearDown();
    return calls;
  }

  std::vector<Page> pages(const SweepJob& job) const {
    std::vector<Page> p;
    for (unsigned seed = 1; seed <= 3; ++seed) p.push_back(makePage(pageWidth(), pageHeight(), job.content, job.colorMode != 0, seed));
    return p;
  }
};

struct SweepCase {
  const SweepJob* job;
  const WriteFault* fault;
  int position;  // the WritePrinter call that fails, from 1
};

// Every call position of each job, counted on a fault-free run.
std::vector<SweepCase> sweepCases() {
  std::vector<SweepCase> cases;
  for (const SweepJob& job : kJobs) {
    const int calls = BandedJob().countWrites(job);
    for (const WriteFault& fault : kFaults)
      for (int n = 1; n <= calls; ++n) cases.push_back({&job, &fault, n});
  }
  return cases;
}

class WriteSweep : public BandedJob, public ::testing::WithParamInterface<SweepCase> {};

TEST_P(WriteSweep, DocumentEndsFailedWritesNothingMoreAndTheNextIsWhole) {
  const SweepCase& c = GetParam();
  const size_t baseline = sim::liveAllocations();
  ASSERT_TRUE(enableBanded(*c.job));
  const std::vector<Page> pages = this->pages(*c.job);
  ASSERT_TRUE(printDocument(pages, kJobId));
  const std::vector<std::vector<BYTE>> whole = sim::writeCalls(queue);
  ASSERT_GE(whole.size(), size_t(c.position));
  const std::vector<BYTE> wholeBytes = written();

  sim::clearWritten(queue);
  const int before = sim::callCount(sim::api::WritePrinter);
  sim::failNth(c.fault->api, c.position, ERROR_NOT_READY);
  ASSERT_TRUE(dc->startDoc(reinterpret_cast<LPCWSTR>(u"label"), kJobId));
  for (const Page& page : pages) printPage(page);
  SetLastError(ERROR_SUCCESS);
  EXPECT_FALSE(dc->endDoc());
  EXPECT_EQ(GetLastError(), c.fault->error);
  EXPECT_EQ(sim::callCount(sim::api::WritePrinter) - before, c.position) << "calls after the refused one";
  const std::vector<std::vector<BYTE>> sent = sim::writeCalls(queue);
  const std::vector<std::vector<BYTE>> expected(whole.begin(), whole.begin() + (c.position - 1));
  EXPECT_EQ(sent, expected);

  sim::clearFaults();
  sim::clearWritten(queue);
  EXPECT_TRUE(printDocument(pages, kJobId));
  EXPECT_EQ(written(), wholeBytes);

  disable();
  EXPECT_EQ(sim::liveAllocations(), baseline);
  EXPECT_EQ(sim::liveSurfaces(), 0u);
  EXPECT_EQ(sim::livePalettes(), 0u);
}

INSTANTIATE_TEST_SUITE_P(EveryCall, WriteSweep, ::testing::ValuesIn(sweepCases()), [](const auto& info) {
  const SweepCase& c = info.param;
  return std::string(c.job->name) + c.fault->name + "At" + std::to_string(c.position);
});

}  // namespace
