// Tests of the simulated spooler's document and job calls.
#include <gtest/gtest.h>

#include "sim/spool_client.h"
#include "sim/spool_driver.h"
#include "sim/spooler.h"
#include "sim/world.h"

namespace {

class SpoolClient : public testing::Test {
 protected:
  void SetUp() override {
    sim::reset();
    sim::QueueSetup q;
    q.name = u"KV830";
    q.driver = u"Varodyn KV830";
    sim::addQueue(q);
    CHAR name[] = "KV830";
    ASSERT_TRUE(OpenPrinterA(name, &printer, nullptr));
  }
  void TearDown() override { ClosePrinter(printer); }

  DWORD start(const char* document) {
    std::string d = document;
    CHAR type[] = "RAW";
    DOC_INFO_1A info{d.data(), nullptr, type};
    return StartDocPrinterA(printer, 1, reinterpret_cast<LPBYTE>(&info));
  }

  HANDLE printer = nullptr;
};

TEST_F(SpoolClient, AJobLeavesTheQueueAtItsEndUnlessTheQueueHoldsIt) {
  DWORD id = start("KV830 Setting");
  ASSERT_NE(id, 0u);
  ASSERT_TRUE(StartPagePrinter(printer));
  BYTE cmd[] = "DEF BZ=1\r\n";
  DWORD n = 0;
  ASSERT_TRUE(WritePrinter(printer, cmd, 10, &n));
  ASSERT_TRUE(EndPagePrinter(printer));
  auto jobs = sim::queuedJobs(u"KV830");
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0].document, "KV830 Setting");
  EXPECT_EQ(jobs[0].pages, 1u);
  ASSERT_TRUE(EndDocPrinter(printer));
  EXPECT_TRUE(sim::queuedJobs(u"KV830").empty());

  sim::holdJobs(u"KV830", true);
  ASSERT_NE(start("held"), 0u);
  ASSERT_TRUE(EndDocPrinter(printer));
  ASSERT_EQ(sim::queuedJobs(u"KV830").size(), 1u);
  sim::releaseJobs(u"KV830");
  EXPECT_TRUE(sim::queuedJobs(u"KV830").empty());
}

TEST_F(SpoolClient, DriverAndClientCallsShareOneJobListPerQueue) {
  DWORD started = start("KV830 Setting");
  ASSERT_NE(started, 0u);
  sim::addJob(u"kv830", sim::JobSetup{50, u"Invoice"});

  // GetJobW finds the started document ...
  std::vector<BYTE> buffer(512);
  DWORD needed = 0;
  ASSERT_TRUE(GetJobW(printer, started, 1, buffer.data(), DWORD(buffer.size()), &needed));
  auto* info = reinterpret_cast<JOB_INFO_1W*>(buffer.data());
  EXPECT_EQ(std::u16string(info->pDocument), u"KV830 Setting");
  // ... and EnumJobsA lists the driver's job after it.
  auto jobs = sim::queuedJobs(u"KV830");
  ASSERT_EQ(jobs.size(), 2u);
  EXPECT_EQ(jobs[1].id, 50u);
  EXPECT_EQ(jobs[1].document, "Invoice");
  ASSERT_TRUE(EnumJobsA(printer, 0, 127, 2, buffer.data(), DWORD(buffer.size()), &needed, &needed));
  EXPECT_EQ(reinterpret_cast<JOB_INFO_2A*>(buffer.data())[1].JobId, 50u);

  // Cancelled through SetJobA, it is gone for GetJobW too; new jobs get
  // ids after it.
  ASSERT_TRUE(SetJobA(printer, 50, 0, nullptr, JOB_CONTROL_CANCEL));
  EXPECT_FALSE(GetJobW(printer, 50, 1, buffer.data(), DWORD(buffer.size()), &needed));
  ASSERT_TRUE(EndDocPrinter(printer));
  EXPECT_GT(start("next"), 50u);
}

TEST_F(SpoolClient, DocumentCallsOutOfOrderFail) {
  SetLastError(0);
  EXPECT_FALSE(StartPagePrinter(printer));
  EXPECT_FALSE(EndDocPrinter(printer));
  ASSERT_NE(start("a"), 0u);
  EXPECT_EQ(start("b"), 0u);  // one document per handle
  EXPECT_FALSE(EndPagePrinter(printer));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PRINTER_COMMAND));
  EXPECT_EQ(StartDocPrinterA(printer, 2, nullptr), 0u);
  ASSERT_TRUE(EndDocPrinter(printer));
  sim::failNth(sim::api::StartDocPrinter, 1, ERROR_ACCESS_DENIED);
  EXPECT_EQ(start("c"), 0u);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
}

TEST_F(SpoolClient, EnumJobsSizesFirstThenFillsAndCountsAtMostTheLimit) {
  for (int i = 0; i < 200; ++i) sim::addQueuedJob(u"KV830", "job" + std::to_string(i));
  DWORD needed = 0, returned = 7;
  SetLastError(0);
  EXPECT_FALSE(EnumJobsA(printer, 0, 127, 2, nullptr, 0, &needed, &returned));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(returned, 0u);
  ASSERT_GT(needed, 127 * sizeof(JOB_INFO_2A));
  std::vector<BYTE> buf(needed);
  EXPECT_FALSE(EnumJobsA(printer, 0, 127, 2, buf.data(), needed - 1, &needed, &returned));
  ASSERT_TRUE(EnumJobsA(printer, 0, 127, 2, buf.data(), needed, &needed, &returned));
  EXPECT_EQ(returned, 127u);
  auto* jobs = reinterpret_cast<JOB_INFO_2A*>(buf.data());
  EXPECT_STREQ(jobs[126].pDocument, "job126");
  EXPECT_STREQ(jobs[0].pDriverName, "Varodyn KV830");
  EXPECT_TRUE(SetJobA(printer, jobs[0].JobId, 2, buf.data(), JOB_CONTROL_CANCEL));
  EXPECT_EQ(sim::queuedJobs(u"KV830").size(), 199u);
  EXPECT_FALSE(SetJobA(printer, 99999, 0, nullptr, JOB_CONTROL_CANCEL));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
}

TEST_F(SpoolClient, EmptyQueueEnumeratesNothing) {
  DWORD needed = 5, returned = 5;
  EXPECT_TRUE(EnumJobsA(printer, 0, 127, 2, nullptr, 0, &needed, &returned));
  EXPECT_EQ(needed, 0u);
  EXPECT_EQ(returned, 0u);
}

TEST_F(SpoolClient, DriverInformationIsSizedThenFilled) {
  DWORD needed = 0;
  SetLastError(0);
  EXPECT_FALSE(GetPrinterDriverA(printer, nullptr, 2, nullptr, 0, &needed));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
  std::vector<BYTE> buf(needed);
  EXPECT_FALSE(GetPrinterDriverA(printer, nullptr, 2, buf.data(), needed - 1, &needed));
  ASSERT_TRUE(GetPrinterDriverA(printer, nullptr, 2, buf.data(), needed, &needed));
  EXPECT_STREQ(reinterpret_cast<DRIVER_INFO_2A*>(buf.data())->pName, "Varodyn KV830");
  EXPECT_FALSE(GetPrinterDriverA(printer, nullptr, 7, buf.data(), needed, &needed));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_LEVEL));
}

TEST(EnumPrintersTest, ListsEveryQueueWithPortAndDriverAndSizesTheBuffer) {
  sim::reset();
  sim::QueueSetup a;
  a.name = u"B queue";
  a.port = u"LPT1:";
  a.driver = u"Varodyn KV830";
  sim::addQueue(a);
  sim::QueueSetup b;
  b.name = u"A queue";
  b.port = u"";
  sim::addQueue(b);

  DWORD needed = 0, count = 7;
  SetLastError(0);
  EXPECT_FALSE(EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &count));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(count, 0u);
  ASSERT_GT(needed, 2 * sizeof(PRINTER_INFO_2A));
  std::vector<BYTE> buf(needed);
  EXPECT_FALSE(EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, buf.data(), needed - 1, &needed, &count));
  ASSERT_TRUE(EnumPrintersA(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, nullptr, 2, buf.data(), needed, &needed,
                            &count));
  ASSERT_EQ(count, 2u);
  auto* info = reinterpret_cast<PRINTER_INFO_2A*>(buf.data());
  EXPECT_STREQ(info[0].pPrinterName, "A queue");
  EXPECT_EQ(info[0].pPortName, nullptr);  // no port: callers look in the profile
  EXPECT_STREQ(info[1].pPrinterName, "B queue");
  EXPECT_STREQ(info[1].pPortName, "LPT1:");
  EXPECT_STREQ(info[1].pDriverName, "Varodyn KV830");

  EXPECT_FALSE(EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 4, buf.data(), needed, &needed, &count));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_LEVEL));
  sim::failNth(sim::api::EnumPrintersA, 1, ERROR_ACCESS_DENIED);
  EXPECT_FALSE(EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, buf.data(), needed, &needed, &count));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
  sim::reset();
}

}  // namespace

