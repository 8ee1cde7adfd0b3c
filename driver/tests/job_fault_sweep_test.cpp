// Faults at every position of a three-page job, one case each:
// - the spooler refusing the driver's output at each WritePrinter call:
//   the document ends failed with the spooler's error, nothing after the
//   refused call is written, the next document on the same device is
//   written whole again, and disabling the device gives back everything;
// - each engine service, and the heap, failing at each of its calls over
//   the device's whole life (enable, print, disable): nothing leaks, and
//   the next device prints the same job byte for byte.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "roundtrip_session.h"

using namespace driver;

namespace {

struct SweepJob {
  const char* name;
  LONG colorMode;  // 0 one bit, 1 grey
  bool banded;     // sent in several bands under a bitmap limit
  Content content;
};

// A grey page is cut into as many bands as its bitmap limit needs. A
// one-bit page is always one bitmap: the band search tries a single band
// for it, so under any limit too small for the page the surface cannot be
// made at all, and the one-bit job is three pages of one band each.
const SweepJob kJobs[] = {
    {"Grey", 1, true, Content::Random},
    {"OneBit", 0, false, Content::Random},
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

// A device for one of the jobs: for a banded job its band bitmap holds
// about a quarter of the page, so each page is sent in several bands.
class BandedJob : public PrintSession {
 public:
  void TestBody() override {}

  // A bitmap size limit under which the job's pages are sent in several
  // bands (a quarter of the page, or a third or a half when the driver
  // allows no more bands); 0 when there is none.
  ULONG bandLimit(const SweepJob& job) {
    if (!enable(edit(job))) return 0;
    const LONG stride = job.colorMode ? (pageWidth() + 3) / 4 * 4 : (pageWidth() + 31) / 32 * 4;
    const LONG height = pageHeight();
    disable();
    for (LONG parts = 4; parts >= 2; --parts) {
      const ULONG limit = ULONG(stride) * ULONG(height / parts + 8);
      sim::setBitmapByteLimit(limit);
      const bool banded = enable(edit(job)) && device->bandingMode && device->bandCount >= 2;
      disable();
      if (banded) return limit;
    }
    sim::setBitmapByteLimit(0);
    return 0;
  }

  // The bitmap limit the job is printed under (0: none).
  ULONG jobLimit(const SweepJob& job) { return job.banded ? bandLimit(job) : 0; }

  // Enables the job's device; whether it has the bands the job's row says.
  bool enableJob(const SweepJob& job, ULONG limit) {
    sim::setBitmapByteLimit(limit);
    if (!enable(edit(job))) return false;
    return job.banded ? device->bandingMode && device->bandCount >= 2 : !device->bandingMode && device->bandCount == 1;
  }
  bool enableJob(const SweepJob& job) { return enableJob(job, jobLimit(job)); }

  // A device's whole life: enabled, the three pages printed as one
  // document, disabled. Whether every entry point succeeded.
  bool printLife(const SweepJob& job, ULONG limit) {
    sim::setBitmapByteLimit(limit);
    bool ok = enable(edit(job)) != nullptr;
    if (ok) ok = printDocument(pages(job), kJobId);
    disable();
    return ok;
  }

  static std::function<void(PrivateSettings&)> edit(const SweepJob& job) {
    return [colorMode = job.colorMode](PrivateSettings& p) { p.ColorMode = colorMode; };
  }

  // The WritePrinter calls of the job's document on a fresh host.
  int countWrites(const SweepJob& job) {
    SetUp();
    int calls = 0;
    if (enableJob(job)) {
      const int before = sim::callCount(sim::api::WritePrinter);
      printDocument(pages(job), kJobId);
      calls = sim::callCount(sim::api::WritePrinter) - before;
    }
    TearDown();
    return calls;
  }

  std::vector<Page> pages(const SweepJob& job) const {
    if (!device) return {};
    std::vector<Page> p;
    for (unsigned seed = 1; seed <= 3; ++seed) p.push_back(makePage(pageWidth(), pageHeight(), job.content, job.colorMode != 0, seed));
    return p;
  }
};

using BandedJobTest = BandedJob;

TEST_F(BandedJobTest, EachJobHasTheBandsItsRowSays) {
  for (const SweepJob& job : kJobs) {
    SCOPED_TRACE(job.name);
    EXPECT_EQ(bandLimit(job) != 0, job.banded);
    ASSERT_TRUE(enableJob(job));
    EXPECT_EQ(device->bandingMode != FALSE, job.banded);
    disable();
  }
}

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
  ASSERT_TRUE(enableJob(*c.job));
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

// ---- engine services and the heap -----------------------------------------

const sim::Api kServices[] = {
    sim::api::HeapAlloc,
    sim::api::EngCreateBitmap,     sim::api::EngAssociateSurface, sim::api::EngMarkBandingSurface,
    sim::api::EngEraseSurface,     sim::api::EngDeleteSurface,    sim::api::EngLockSurface,
    sim::api::EngCreatePalette,    sim::api::EngDeletePalette,    sim::api::EngBitBlt,
    sim::api::EngStretchBlt,       sim::api::EngStretchBltROP,    sim::api::EngCopyBits,
    sim::api::EngAlphaBlend,       sim::api::EngGradientFill,     sim::api::EngTransparentBlt,
    sim::api::EngPlgBlt,           sim::api::EngTextOut,          sim::api::EngStrokePath,
    sim::api::EngFillPath,         sim::api::EngStrokeAndFillPath, sim::api::EngLineTo,
    sim::api::EngPaint,            sim::api::BRUSHOBJ_pvAllocRbrush, sim::api::BRUSHOBJ_pvGetRbrush,
};

struct EngineCase {
  const SweepJob* job;
  sim::Api api;
  int nth;
};

class EngineLife : public BandedJob {
 public:
  // Each service's calls over one clean life of the job's device.
  std::vector<int> countCalls(const SweepJob& job) {
    SetUp();
    const ULONG limit = jobLimit(job);
    const bool usable = limit != 0 || !job.banded;
    std::vector<int> before, counts;
    for (const sim::Api& api : kServices) before.push_back(sim::callCount(api));
    if (usable) printLife(job, limit);
    for (size_t i = 0; i < std::size(kServices); ++i)
      counts.push_back(usable ? sim::callCount(kServices[i]) - before[i] : 0);
    TearDown();
    return counts;
  }
};

std::vector<EngineCase> engineCases() {
  std::vector<EngineCase> cases;
  for (const SweepJob& job : kJobs) {
    const std::vector<int> counts = EngineLife().countCalls(job);
    for (size_t i = 0; i < counts.size(); ++i)
      for (int n = 1; n <= counts[i]; ++n) cases.push_back({&job, kServices[i], n});
  }
  return cases;
}

class EngineSweep : public BandedJob, public ::testing::WithParamInterface<EngineCase> {};

TEST_P(EngineSweep, NothingLeaksAndTheNextDevicePrintsTheSameJob) {
  const EngineCase& c = GetParam();
  const ULONG limit = jobLimit(*c.job);
  if (c.job->banded) {
    ASSERT_NE(limit, 0u);
  }
  const size_t baseline = sim::liveAllocations();
  ASSERT_TRUE(printLife(*c.job, limit));
  const std::vector<BYTE> whole = written();
  ASSERT_FALSE(whole.empty());

  sim::clearWritten(queue);
  sim::failNth(c.api, c.nth, ERROR_NOT_ENOUGH_MEMORY);
  printLife(*c.job, limit);
  sim::clearFaults();
  EXPECT_EQ(sim::liveAllocations(), baseline);
  // A delete the engine refused leaves its object; nothing else may stay.
  if (std::string(c.api.name) != sim::api::EngDeleteSurface.name) {
    EXPECT_EQ(sim::liveSurfaces(), 0u);
  }
  if (std::string(c.api.name) != sim::api::EngDeletePalette.name) {
    EXPECT_EQ(sim::livePalettes(), 0u);
  }

  sim::clearWritten(queue);
  EXPECT_TRUE(printLife(*c.job, limit));
  EXPECT_EQ(written(), whole);
}

INSTANTIATE_TEST_SUITE_P(EveryCall, EngineSweep, ::testing::ValuesIn(engineCases()), [](const auto& info) {
  const EngineCase& c = info.param;
  return std::string(c.job->name) + c.api.name + "Call" + std::to_string(c.nth);
});

}  // namespace
