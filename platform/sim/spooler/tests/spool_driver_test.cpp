// The simulated spooler's driver-side calls: GetJobW and GetPrinterDriverW
// with the size protocol, unknown jobs and levels, and scripted faults.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <windows.h>
#include <winspool.h>

#include "sim/spool_driver.h"
#include "sim/spooler.h"
#include "sim/world.h"

namespace {

class SpoolDriverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::reset();
    sim::QueueSetup q;
    q.name = u"Label Printer";
    q.driver = u"Varodyn KV830";
    sim::addQueue(q);
    ASSERT_TRUE(OpenPrinterW(const_cast<LPWSTR>(q.name.c_str()), &printer, nullptr));
  }
  void TearDown() override {
    ClosePrinter(printer);
    sim::reset();
  }
  HANDLE printer = nullptr;
};

TEST_F(SpoolDriverTest, GetJobReportsTheDocumentThroughTheSizeProtocol) {
  sim::addJob(u"label printer", sim::JobSetup{12, u"Pallet labels"});
  DWORD needed = 0;
  EXPECT_FALSE(GetJobW(printer, 12, 1, nullptr, 0, &needed));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
  ASSERT_GT(needed, sizeof(JOB_INFO_1W));
  std::vector<BYTE> buf(needed);
  EXPECT_FALSE(GetJobW(printer, 12, 1, buf.data(), needed - 1, &needed));
  ASSERT_TRUE(GetJobW(printer, 12, 1, buf.data(), needed, &needed));
  const auto* info = reinterpret_cast<const JOB_INFO_1W*>(buf.data());
  EXPECT_EQ(info->JobId, 12u);
  EXPECT_EQ(std::u16string(info->pDocument), u"Pallet labels");
  EXPECT_EQ(std::u16string(info->pPrinterName), u"Label Printer");

  EXPECT_FALSE(GetJobW(printer, 13, 1, buf.data(), needed, &needed));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
  EXPECT_FALSE(GetJobW(printer, 12, 2, buf.data(), needed, &needed));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_LEVEL));
  sim::failNth(sim::api::GetJobW, 1, ERROR_NOT_READY);
  EXPECT_FALSE(GetJobW(printer, 12, 1, buf.data(), needed, &needed));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_READY));
  EXPECT_FALSE(GetJobW(nullptr, 12, 1, buf.data(), needed, &needed));
}

TEST_F(SpoolDriverTest, GetPrinterDriverNamesTheQueuesDriver) {
  for (DWORD level : {1u, 2u}) {
    DWORD needed = 0;
    EXPECT_FALSE(GetPrinterDriverW(printer, nullptr, level, nullptr, 0, &needed));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    std::vector<BYTE> buf(needed);
    ASSERT_TRUE(GetPrinterDriverW(printer, nullptr, level, buf.data(), needed, &needed));
    LPCWSTR name = level == 1 ? reinterpret_cast<const DRIVER_INFO_1W*>(buf.data())->pName
                              : reinterpret_cast<const DRIVER_INFO_2W*>(buf.data())->pName;
    EXPECT_EQ(std::u16string(name), u"Varodyn KV830");
  }
  DWORD needed = 0;
  EXPECT_FALSE(GetPrinterDriverW(printer, nullptr, 3, nullptr, 0, &needed));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_LEVEL));
}

}  // namespace
