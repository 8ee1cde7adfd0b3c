// Named mutexes, events and file mappings of the simulated host (within one
// process; the cross-process case is covered by the HID link's two-process
// test).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <windows.h>

#include <cstdlib>
#include <string>
#include <thread>

#include "sim/sync.h"
#include "sim/world.h"

namespace {

class Sync : public ::testing::Test {
 protected:
  void SetUp() override { sim::reset(); }
  // Names are unique per test so cases never see each other's objects.
  std::string unique(const char* base) {
    return std::string(base) + "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
  }
};

TEST_F(Sync, NamespaceIsAPrivateDirectoryExportedToChildren) {
  std::string dir = sim::objectNamespace();
  struct stat st {};
  ASSERT_EQ(::stat(dir.c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  const char* inherited = std::getenv(sim::kObjectNamespaceVariable);
  ASSERT_NE(inherited, nullptr);
  EXPECT_EQ(dir, inherited);
}

TEST_F(Sync, MutexIsRecursiveForItsOwnerThreadAndExcludesOthers) {
  std::string name = unique("mutex");
  HANDLE m = CreateMutexA(nullptr, FALSE, name.c_str());
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(GetLastError(), 0u);
  EXPECT_EQ(WaitForSingleObject(m, 0), DWORD(WAIT_OBJECT_0));
  EXPECT_EQ(WaitForSingleObject(m, 0), DWORD(WAIT_OBJECT_0));
  EXPECT_EQ(sim::mutexHoldCount(name), 2);

  DWORD other = WAIT_FAILED;
  std::thread([&] { other = WaitForSingleObject(m, 0); }).join();
  EXPECT_EQ(other, DWORD(WAIT_TIMEOUT));

  EXPECT_TRUE(ReleaseMutex(m));
  EXPECT_TRUE(ReleaseMutex(m));
  EXPECT_EQ(sim::mutexHoldCount(name), 0);
  SetLastError(0);
  EXPECT_FALSE(ReleaseMutex(m));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_OWNER));

  std::thread([&] {
    other = WaitForSingleObject(m, 0);
    if (other == WAIT_OBJECT_0) ReleaseMutex(m);
  }).join();
  EXPECT_EQ(other, DWORD(WAIT_OBJECT_0));
  CloseHandle(m);
}

TEST_F(Sync, OpenFindsOnlyExistingMutexesAndSharesTheirState) {
  std::string name = unique("mutex");
  SetLastError(0);
  EXPECT_EQ(OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, name.c_str()), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));

  HANDLE created = CreateMutexA(nullptr, TRUE, name.c_str());
  ASSERT_NE(created, nullptr);
  HANDLE again = CreateMutexA(nullptr, FALSE, name.c_str());
  EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
  HANDLE opened = OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, name.c_str());
  ASSERT_NE(opened, nullptr);
  EXPECT_EQ(sim::mutexHoldCount(name), 1);  // the initial owner's hold
  EXPECT_TRUE(ReleaseMutex(opened));        // any handle releases the one mutex
  EXPECT_EQ(sim::mutexHoldCount(name), 0);
  for (HANDLE h : {created, again, opened}) CloseHandle(h);
}

TEST_F(Sync, TimedWaitOnAHeldMutexRunsOnTheVirtualClock) {
  std::string name = unique("mutex");
  HANDLE m = CreateMutexA(nullptr, FALSE, name.c_str());
  ASSERT_EQ(WaitForSingleObject(m, 0), DWORD(WAIT_OBJECT_0));
  DWORD other = WAIT_FAILED;
  std::thread([&] { other = WaitForSingleObject(m, 1500); }).join();
  EXPECT_EQ(other, DWORD(WAIT_TIMEOUT));
  EXPECT_EQ(sim::sleptMs(), 1500u);
  ReleaseMutex(m);
  CloseHandle(m);
}

TEST_F(Sync, ManualResetEventStaysSignalledUntilReset) {
  HANDLE e = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(WaitForSingleObject(e, 250), DWORD(WAIT_TIMEOUT));
  EXPECT_EQ(sim::nowMs(), 250u);
  EXPECT_TRUE(SetEvent(e));
  EXPECT_EQ(WaitForSingleObject(e, 0), DWORD(WAIT_OBJECT_0));
  EXPECT_EQ(WaitForSingleObject(e, 0), DWORD(WAIT_OBJECT_0));
  EXPECT_TRUE(ResetEvent(e));
  EXPECT_EQ(WaitForSingleObject(e, 0), DWORD(WAIT_TIMEOUT));
  CloseHandle(e);

  HANDLE autoReset = CreateEventW(nullptr, FALSE, TRUE, nullptr);
  EXPECT_EQ(WaitForSingleObject(autoReset, 0), DWORD(WAIT_OBJECT_0));
  EXPECT_EQ(WaitForSingleObject(autoReset, 0), DWORD(WAIT_TIMEOUT));
  CloseHandle(autoReset);
  EXPECT_EQ(WaitForSingleObject(autoReset, 0), WAIT_FAILED);
}

TEST_F(Sync, NamedMappingIsSharedZeroFilledMemory) {
  std::string name = unique("section");
  HANDLE a = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE | SEC_COMMIT, 0, 4096, name.c_str());
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(GetLastError(), 0u);
  auto* va = static_cast<DWORD*>(MapViewOfFile(a, FILE_MAP_WRITE, 0, 0, 0));
  ASSERT_NE(va, nullptr);
  EXPECT_EQ(va[0], 0u);
  EXPECT_EQ(va[1023], 0u);
  va[0] = 0x12345678;

  HANDLE b = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, name.c_str());
  ASSERT_NE(b, nullptr);
  auto* vb = static_cast<DWORD*>(MapViewOfFile(b, FILE_MAP_WRITE, 0, 0, 8));
  ASSERT_NE(vb, nullptr);
  EXPECT_EQ(vb[0], 0x12345678u);
  vb[1] = 7;
  EXPECT_EQ(va[1], 7u);

  HANDLE c = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, name.c_str());
  EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));

  EXPECT_TRUE(UnmapViewOfFile(va));
  EXPECT_TRUE(UnmapViewOfFile(vb));
  EXPECT_FALSE(UnmapViewOfFile(vb));
  for (HANDLE h : {a, b, c}) CloseHandle(h);
}

TEST_F(Sync, MappingErrors) {
  SetLastError(0);
  EXPECT_EQ(OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, unique("missing").c_str()), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 0, unique("empty").c_str()), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
  HANDLE m = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 64, nullptr);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(MapViewOfFile(m, FILE_MAP_WRITE, 0, 0, 65), nullptr);
  sim::failNth(sim::api::MapViewOfFile, 1, ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(MapViewOfFile(m, FILE_MAP_WRITE, 0, 0, 0), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_ENOUGH_MEMORY));
  CloseHandle(m);
}

}  // namespace
