// The simulated program resources: FindResourceA and companions,
// LoadStringW, GetModuleFileNameA, GetFileAttributesA.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "sim/resource.h"
#include "sim/world.h"

namespace {

class ResourceTest : public ::testing::Test {
 protected:
  void SetUp() override { sim::reset(); }
  void TearDown() override { sim::reset(); }
};

TEST_F(ResourceTest, ScriptedResourceIsFoundByTextOrNumberAndReadWhole) {
  sim::setProgramResource("dll", "rc_VRDUSBHid", {1, 2, 3});
  sim::setProgramResource("#10", "#7", {9});
  HRSRC r = FindResourceA(nullptr, "RC_vrdusbhid", "DLL");
  ASSERT_NE(r, nullptr);
  HGLOBAL g = LoadResource(nullptr, r);
  ASSERT_NE(g, nullptr);
  ASSERT_EQ(SizeofResource(nullptr, r), 3u);
  EXPECT_EQ(0, std::memcmp(LockResource(g), "\1\2\3", 3));
  HRSRC n = FindResourceA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(7), MAKEINTRESOURCEA(10));
  ASSERT_NE(n, nullptr);
  EXPECT_EQ(SizeofResource(nullptr, n), 1u);
}

TEST_F(ResourceTest, MissingNameAndTypeAreTellApartAndResetForgets) {
  sim::setProgramResource("dll", "a", {1});
  SetLastError(0xdeadbeef);
  EXPECT_EQ(FindResourceA(nullptr, "b", "dll"), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_RESOURCE_NAME_NOT_FOUND));
  EXPECT_EQ(FindResourceA(nullptr, "a", "exe"), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_RESOURCE_TYPE_NOT_FOUND));
  sim::reset();
  EXPECT_EQ(FindResourceA(nullptr, "a", "dll"), nullptr);
}

TEST_F(ResourceTest, StringsCopyWithinTheBufferOrHandOutThePointer) {
  sim::addProgramString(60000, u"abcdef");
  WCHAR buffer[4] = {u'x', u'x', u'x', u'x'};
  EXPECT_EQ(LoadStringW(nullptr, 60000, buffer, 4), 3);
  EXPECT_EQ(std::u16string(buffer), u"abc");
  const WCHAR* p = nullptr;
  EXPECT_EQ(LoadStringW(nullptr, 60000, reinterpret_cast<LPWSTR>(&p), 0), 6);
  EXPECT_EQ(std::u16string(p, 6), u"abcdef");
  EXPECT_EQ(LoadStringW(nullptr, 60001, buffer, 4), 0);
  EXPECT_EQ(buffer[0], 0);
  sim::reset();  // the program's own strings stay
  EXPECT_EQ(LoadStringW(nullptr, 60000, buffer, 4), 3);
}

TEST_F(ResourceTest, ModuleFileNameIsCutToTheBuffer) {
  sim::setProgramPath("/opt/tool/kvtool.exe");
  char buffer[64];
  EXPECT_EQ(GetModuleFileNameA(nullptr, buffer, sizeof buffer), 20u);
  EXPECT_STREQ(buffer, "/opt/tool/kvtool.exe");
  SetLastError(0);
  EXPECT_EQ(GetModuleFileNameA(nullptr, buffer, 5), 4u);
  EXPECT_STREQ(buffer, "/opt");
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
}

TEST_F(ResourceTest, FileAttributesTellFilesFoldersAndNothing) {
  auto dir = std::filesystem::temp_directory_path() / "sim_resource_attr";
  std::filesystem::create_directories(dir);
  std::ofstream(dir / "f.bin") << "x";
  EXPECT_EQ(GetFileAttributesA((dir / "f.bin").string().c_str()), DWORD(FILE_ATTRIBUTE_NORMAL));
  EXPECT_EQ(GetFileAttributesA(dir.string().c_str()), DWORD(FILE_ATTRIBUTE_DIRECTORY));
  EXPECT_EQ(GetFileAttributesA((dir / "none").string().c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
  std::filesystem::remove_all(dir);
}

}  // namespace
