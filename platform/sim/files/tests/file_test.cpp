// CreateFile, ReadFile, WriteFile and GetFileSize on host files.
#include <gtest/gtest.h>
#include <unistd.h>
#include <windows.h>

#include <cstdlib>
#include <string>

#include "sim/file.h"
#include "sim/world.h"

namespace {

class File : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::reset();
    char tmpl[] = "/tmp/kvsim-file-test-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    dir = tmpl;
  }
  void TearDown() override { std::system(("rm -rf " + dir).c_str()); }
  std::u16string wide(const std::string& s) { return std::u16string(s.begin(), s.end()); }
  HANDLE open(const std::string& path, DWORD access, DWORD disposition) {
    return CreateFileW(wide(path).c_str(), access, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  }
  std::string dir;
};

TEST_F(File, WriteThenReadBackThroughABackslashPath) {
  std::string path = dir + "/VRDUSBHid.dll";
  HANDLE w = open(path, GENERIC_WRITE, CREATE_NEW);
  ASSERT_NE(w, INVALID_HANDLE_VALUE);
  DWORD done = 0;
  ASSERT_TRUE(WriteFile(w, "MZ\x90\x00", 4, &done, nullptr));
  EXPECT_EQ(done, 4u);
  EXPECT_EQ(GetFileSize(w, nullptr), 4u);
  CloseHandle(w);

  std::string backslashed = path;
  for (char& c : backslashed)
    if (c == '/') c = '\\';
  HANDLE r = CreateFileA(backslashed.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(r, INVALID_HANDLE_VALUE);
  char buf[8] = {};
  ASSERT_TRUE(ReadFile(r, buf, sizeof buf, &done, nullptr));
  EXPECT_EQ(done, 4u);
  EXPECT_EQ(std::string(buf, 4), std::string("MZ\x90\x00", 4));
  ASSERT_TRUE(ReadFile(r, buf, sizeof buf, &done, nullptr));
  EXPECT_EQ(done, 0u);  // end of file
  EXPECT_FALSE(WriteFile(r, "x", 1, &done, nullptr));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
  CloseHandle(r);
}

struct DispositionCase {
  DWORD disposition;
  bool fileExists;
  bool opens;
  DWORD lastError;
  DWORD sizeAfter;  // of a file that held 3 bytes
};

class Disposition : public File, public ::testing::WithParamInterface<DispositionCase> {};

TEST_P(Disposition, FollowsTheWindowsRules) {
  const DispositionCase& c = GetParam();
  std::string path = dir + "/f.bin";
  if (c.fileExists) {
    HANDLE h = open(path, GENERIC_WRITE, CREATE_NEW);
    DWORD done;
    WriteFile(h, "abc", 3, &done, nullptr);
    CloseHandle(h);
  }
  SetLastError(0xDEAD);
  HANDLE h = open(path, GENERIC_READ | GENERIC_WRITE, c.disposition);
  EXPECT_EQ(h != INVALID_HANDLE_VALUE, c.opens);
  EXPECT_EQ(GetLastError(), c.lastError);
  if (h != INVALID_HANDLE_VALUE) {
    EXPECT_EQ(GetFileSize(h, nullptr), c.sizeAfter);
    CloseHandle(h);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Disposition,
    ::testing::Values(DispositionCase{CREATE_NEW, false, true, 0, 0},
                      DispositionCase{CREATE_NEW, true, false, ERROR_FILE_EXISTS, 0},
                      DispositionCase{CREATE_ALWAYS, true, true, ERROR_ALREADY_EXISTS, 0},
                      DispositionCase{OPEN_EXISTING, false, false, ERROR_FILE_NOT_FOUND, 0},
                      DispositionCase{OPEN_EXISTING, true, true, 0, 3},
                      DispositionCase{OPEN_ALWAYS, false, true, 0, 0},
                      DispositionCase{OPEN_ALWAYS, true, true, ERROR_ALREADY_EXISTS, 3},
                      DispositionCase{TRUNCATE_EXISTING, true, true, 0, 0}));

TEST_F(File, ScriptedFaultsAndBadHandles) {
  sim::failNth(sim::api::CreateFileW, 1, ERROR_ACCESS_DENIED);
  EXPECT_EQ(open(dir + "/x", GENERIC_WRITE, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
  HANDLE h = open(dir + "/x", GENERIC_WRITE, CREATE_ALWAYS);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD done = 7;
  sim::failNth(sim::api::WriteFile, 1, ERROR_WRITE_FAULT);
  EXPECT_FALSE(WriteFile(h, "abc", 3, &done, nullptr));
  EXPECT_EQ(done, 0u);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_WRITE_FAULT));
  CloseHandle(h);
  EXPECT_FALSE(WriteFile(h, "abc", 3, &done, nullptr));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
  EXPECT_EQ(open(dir, GENERIC_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);  // a directory
}

}  // namespace
