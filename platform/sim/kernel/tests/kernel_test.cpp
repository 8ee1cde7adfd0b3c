// The simulated kernel: last error, heaps, clock, strings, code pages, faults.
#include <gtest/gtest.h>
#include <windows.h>
#include <wtext.h>

#include "sim/world.h"

namespace {

class Kernel : public ::testing::Test {
 protected:
  void SetUp() override { sim::reset(); }
};

TEST_F(Kernel, ZeroInitAllocationsAndScriptedFailure) {
  auto* p = static_cast<BYTE*>(GlobalAlloc(GMEM_ZEROINIT, 64));
  ASSERT_NE(p, nullptr);
  for (int i = 0; i < 64; ++i) EXPECT_EQ(p[i], 0);
  EXPECT_EQ(GlobalSize(p), 64u);
  EXPECT_EQ(sim::liveAllocations(), 1u);
  EXPECT_EQ(GlobalFree(p), nullptr);
  EXPECT_EQ(sim::liveAllocations(), 0u);

  sim::failNth(sim::api::GlobalAlloc, 2, ERROR_NOT_ENOUGH_MEMORY);
  void* a = GlobalAlloc(GPTR, 8);
  SetLastError(0xdeadbeef);
  void* b = GlobalAlloc(GPTR, 8);
  void* c = GlobalAlloc(GPTR, 8);
  EXPECT_NE(a, nullptr);
  EXPECT_EQ(b, nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_ENOUGH_MEMORY));
  EXPECT_NE(c, nullptr);
  GlobalFree(a);
  GlobalFree(c);
}

TEST_F(Kernel, FailFromKeepsFailing) {
  sim::failFrom(sim::api::HeapAlloc, 2, ERROR_OUTOFMEMORY);
  void* a = HeapAlloc(GetProcessHeap(), 0, 4);
  EXPECT_NE(a, nullptr);
  EXPECT_EQ(HeapAlloc(GetProcessHeap(), 0, 4), nullptr);
  EXPECT_EQ(HeapAlloc(GetProcessHeap(), 0, 4), nullptr);
  EXPECT_EQ(sim::callCount(sim::api::HeapAlloc), 3);
  HeapFree(GetProcessHeap(), 0, a);
}

TEST_F(Kernel, SleepAdvancesTheVirtualClock) {
  DWORD t0 = GetTickCount();
  Sleep(16000);
  Sleep(80);
  EXPECT_EQ(GetTickCount() - t0, 16080u);
  EXPECT_EQ(sim::sleptMs(), 16080u);
}

TEST_F(Kernel, WideStringFunctions) {
  WCHAR buf[8];
  EXPECT_EQ(lstrlenW(WTEXT("abc")), 3);
  EXPECT_EQ(lstrlenW(nullptr), 0);
  lstrcpynW(buf, WTEXT("truncate me"), 5);
  EXPECT_EQ(lstrcmpW(buf, WTEXT("trun")), 0);
  EXPECT_EQ(lstrcmpiW(WTEXT("USB001"), WTEXT("usb001")), 0);
  EXPECT_LT(lstrcmpW(WTEXT("USB001"), WTEXT("usb001")), 0);
  EXPECT_EQ(lstrcmpiA("GetVersion", "getversion"), 0);
}

TEST_F(Kernel, GbkRoundTrip) {
  const WCHAR* text = WTEXT("系统提示");
  char gbk[32] = {};
  int n = WideCharToMultiByte(CP_ACP, 0, text, -1, gbk, sizeof gbk, nullptr, nullptr);
  ASSERT_EQ(n, 9);  // four double-byte characters and the terminator
  EXPECT_EQ(static_cast<unsigned char>(gbk[0]), 0xCF);
  WCHAR back[16] = {};
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, gbk, -1, back, 16), 5);
  EXPECT_EQ(lstrcmpW(back, text), 0);
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, gbk, -1, back, 2), 0);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
}

}  // namespace
