// The simulated spooler: queues, handles, printer info, data and writes.
#include <gtest/gtest.h>
#include <winspool.h>
#include <wtext.h>

#include <vector>

#include "sim/spooler.h"
#include "sim/world.h"

namespace {

class Spooler : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::reset();
    sim::QueueSetup q;
    q.name = u"TR7208";
    q.devMode = std::vector<BYTE>(364, 0x5A);
    sim::addQueue(q);
  }
  HANDLE open(const WCHAR* name = WTEXT("tr7208")) {
    HANDLE h = nullptr;
    EXPECT_TRUE(OpenPrinterW(const_cast<LPWSTR>(name), &h, nullptr));
    return h;
  }
  HANDLE openWith(DWORD access) {
    PRINTER_DEFAULTSW defaults{nullptr, nullptr, access};
    HANDLE h = nullptr;
    EXPECT_TRUE(OpenPrinterW(const_cast<LPWSTR>(WTEXT("TR7208")), &h, &defaults));
    return h;
  }
};

// Storing a queue's settings is an administrative task: a handle opened
// for use only (the default) is refused, one with PRINTER_ACCESS_ADMINISTER
// is not.
TEST_F(Spooler, StoringNeedsAdministerAccess) {
  std::vector<BYTE> dm(364, 0x11);
  reinterpret_cast<DEVMODEW*>(dm.data())->dmSize = 220;
  reinterpret_cast<DEVMODEW*>(dm.data())->dmDriverExtra = 144;
  PRINTER_INFO_8W info8{reinterpret_cast<DEVMODEW*>(dm.data())};
  BYTE value[4] = {1, 2, 3, 4};
  struct Case {
    HANDLE handle;
    bool allowed;
  } cases[] = {{open(), false}, {openWith(PRINTER_ACCESS_USE), false}, {openWith(PRINTER_ACCESS_ADMINISTER), true},
               {openWith(PRINTER_ALL_ACCESS), true}};
  for (const Case& c : cases) {
    SetLastError(0);
    EXPECT_EQ(SetPrinterW(c.handle, 8, reinterpret_cast<LPBYTE>(&info8), 0) != FALSE, c.allowed);
    if (!c.allowed) {
      EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    }
    EXPECT_EQ(SetPrinterDataW(c.handle, const_cast<LPWSTR>(WTEXT("Private DevMode")), REG_BINARY, value, 4),
              c.allowed ? DWORD(ERROR_SUCCESS) : DWORD(ERROR_ACCESS_DENIED));
    ClosePrinter(c.handle);
  }
  EXPECT_EQ(sim::queueSetup(u"TR7208").devMode, dm);
}

TEST_F(Spooler, OpenIsCaseInsensitiveAndUnknownNamesFail) {
  HANDLE h = open();
  EXPECT_EQ(sim::openPrinterHandles(), 1u);
  EXPECT_TRUE(ClosePrinter(h));
  EXPECT_EQ(sim::openPrinterHandles(), 0u);
  EXPECT_FALSE(ClosePrinter(h));
  HANDLE none = reinterpret_cast<HANDLE>(1);
  EXPECT_FALSE(OpenPrinterA(const_cast<LPSTR>("nope"), &none, nullptr));
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PRINTER_NAME));
}

TEST_F(Spooler, GetPrinterLevel2SizesThenFills) {
  HANDLE h = open();
  DWORD needed = 0;
  EXPECT_FALSE(GetPrinterW(h, 2, nullptr, 0, &needed));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
  ASSERT_GT(needed, sizeof(PRINTER_INFO_2W) + 364);
  std::vector<BYTE> buf(needed);
  EXPECT_FALSE(GetPrinterW(h, 2, buf.data(), needed - 1, &needed));
  ASSERT_TRUE(GetPrinterW(h, 2, buf.data(), needed, &needed));
  auto* info = reinterpret_cast<PRINTER_INFO_2W*>(buf.data());
  EXPECT_EQ(lstrcmpW(info->pPrinterName, WTEXT("TR7208")), 0);
  EXPECT_EQ(lstrcmpW(info->pPrintProcessor, WTEXT("WinPrint")), 0);
  ASSERT_NE(info->pDevMode, nullptr);
  EXPECT_EQ(reinterpret_cast<BYTE*>(info->pDevMode)[363], 0x5A);
  ClosePrinter(h);
}

TEST_F(Spooler, PrinterDataRoundTrip) {
  HANDLE h = openWith(PRINTER_ACCESS_ADMINISTER);
  BYTE value[4] = {1, 2, 3, 4};
  EXPECT_EQ(SetPrinterDataW(h, const_cast<LPWSTR>(WTEXT("Private DevMode")), REG_BINARY, value, 4), 0u);
  DWORD type = 0, needed = 0;
  BYTE out[4] = {};
  EXPECT_EQ(GetPrinterDataW(h, const_cast<LPWSTR>(WTEXT("private devmode")), &type, out, 2, &needed),
            DWORD(ERROR_MORE_DATA));
  EXPECT_EQ(needed, 4u);
  EXPECT_EQ(GetPrinterDataW(h, const_cast<LPWSTR>(WTEXT("Private DevMode")), &type, out, 4, &needed), 0u);
  EXPECT_EQ(out[3], 4);
  EXPECT_EQ(type, DWORD(REG_BINARY));
  EXPECT_EQ(GetPrinterDataW(h, const_cast<LPWSTR>(WTEXT("Missing")), &type, out, 4, &needed),
            DWORD(ERROR_FILE_NOT_FOUND));
  ClosePrinter(h);
}

TEST_F(Spooler, WritePrinterRecordsAndFailsOnRequest) {
  HANDLE h = open();
  char a[] = "DEF\r\n", b[] = "JOB\r\n";
  DWORD n = 0;
  sim::failNth(sim::api::WritePrinter, 2, ERROR_WRITE_FAULT);
  sim::failNth(sim::api::WritePrinterZero, 3, 0);
  EXPECT_TRUE(WritePrinter(h, a, 5, &n));
  EXPECT_EQ(n, 5u);
  EXPECT_FALSE(WritePrinter(h, b, 5, &n));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_WRITE_FAULT));
  EXPECT_TRUE(WritePrinter(h, b, 5, &n));
  EXPECT_EQ(n, 0u);
  EXPECT_TRUE(WritePrinter(h, b, 5, &n));
  auto all = sim::written(u"TR7208");
  EXPECT_EQ(std::string(all.begin(), all.end()), "DEF\r\nJOB\r\n");
  EXPECT_EQ(sim::writeCalls(u"TR7208").size(), 2u);
  ClosePrinter(h);
}

}  // namespace
