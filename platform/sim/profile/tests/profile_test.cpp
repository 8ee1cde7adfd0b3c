// The simulated profile functions: case-insensitive names, integer
// parsing, key order on write, lists, truncation, encodings, and the
// Windows directory.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <windows.h>

#include "sim/profile.h"
#include "sim/world.h"

namespace {

class ProfileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::reset();
    dir = sim::makeTempWindowsDirectory();
    path = dir + u"\\test.ini";
    hostPath = sim::windowsFilePath(u"test.ini");
  }
  void TearDown() override { sim::reset(); }

  std::u16string get(const char16_t* section, const char16_t* key, const char16_t* def = u"<d>", DWORD size = 256) {
    std::vector<WCHAR> buf(size + 1, u'#');
    DWORD n = GetPrivateProfileStringW(section, key, def, buf.data(), size, path.c_str());
    return std::u16string(buf.data(), n);
  }
  std::vector<std::u16string> keys(const char16_t* section) {
    WCHAR buf[1024];
    DWORD n = GetPrivateProfileStringW(section, nullptr, u"", buf, 1024, path.c_str());
    std::vector<std::u16string> out;
    for (DWORD i = 0; i < n; i += DWORD(out.back().size()) + 1) out.emplace_back(buf + i);
    return out;
  }
  UINT getInt(const char16_t* key, INT def = -7) { return GetPrivateProfileIntW(u"S", key, def, path.c_str()); }

  std::u16string dir, path;
  std::string hostPath;
};

TEST_F(ProfileTest, SectionAndKeyNamesCompareCaseInsensitively) {
  sim::writeUtf8File(hostPath, "[Labels]\r\nWidth = 1100 \r\n");
  EXPECT_EQ(get(u"LABELS", u"width"), u"1100");
  EXPECT_EQ(get(u"labels", u"WIDTH"), u"1100");
  EXPECT_EQ(get(u"labels", u"Height"), u"<d>");
  EXPECT_EQ(get(u"Other", u"Width", u"x  "), u"x");  // the default loses trailing blanks
}

TEST_F(ProfileTest, IntegersTakeLeadingDigitsWithASign) {
  sim::writeUtf8File(hostPath,
                     "[S]\nplain=42\nsigned=-17\nplus=+8\ntrail=12abc\nnone=abc\nempty=\nspaced=  33  \nbig=4294967295\n");
  struct Case {
    const char16_t* key;
    UINT expected;
  };
  const Case cases[] = {
      {u"plain", 42},   {u"signed", UINT(-17)}, {u"plus", 8},       {u"trail", 12},
      {u"none", 0},     {u"empty", UINT(-7)},   {u"spaced", 33},    {u"missing", UINT(-7)},
      {u"big", 4294967295u},
  };
  for (const Case& c : cases) EXPECT_EQ(getInt(c.key), c.expected) << std::string(c.key, c.key + 3);
  EXPECT_EQ(GetPrivateProfileIntW(u"S", u"plain", 5, (dir + u"\\absent.ini").c_str()), 5u);
}

TEST_F(ProfileTest, WritesCreateKeepOrderAndAppendAtTheSectionEnd) {
  ASSERT_TRUE(WritePrivateProfileStringW(u"256", u"LabelIndex", u"256", path.c_str()));
  ASSERT_TRUE(WritePrivateProfileStringW(u"256", u"LabelName", u"用户自定义", path.c_str()));
  ASSERT_TRUE(WritePrivateProfileStringW(u"257", u"LabelIndex", u"257", path.c_str()));
  ASSERT_TRUE(WritePrivateProfileStringW(u"256", u"LabelWidth", u"1100", path.c_str()));
  ASSERT_TRUE(WritePrivateProfileStringW(u"256", u"labelindex", u"999", path.c_str()));
  EXPECT_EQ(keys(u"256"), (std::vector<std::u16string>{u"LabelIndex", u"LabelName", u"LabelWidth"}));
  EXPECT_EQ(keys(u"257"), (std::vector<std::u16string>{u"LabelIndex"}));
  EXPECT_EQ(keys(nullptr), (std::vector<std::u16string>{u"256", u"257"}));
  EXPECT_EQ(get(u"256", u"LabelIndex"), u"999");
  EXPECT_EQ(get(u"256", u"LabelName"), u"用户自定义");

  // Stored as UTF-16LE with a byte-order mark and CR LF lines.
  std::string bytes = sim::readFileBytes(hostPath);
  ASSERT_GE(bytes.size(), 4u);
  EXPECT_EQ(BYTE(bytes[0]), 0xFF);
  EXPECT_EQ(BYTE(bytes[1]), 0xFE);
  EXPECT_EQ(bytes.substr(2, 10), std::string("[\0" "2\0" "5\0" "6\0" "]\0", 10));
}

TEST_F(ProfileTest, NullKeyDeletesTheSectionAndNullStringTheKey) {
  sim::writeUtf8File(hostPath, "; comment\n[A]\nx=1\ny=2\n\n[B]\nz=3\n");
  ASSERT_TRUE(WritePrivateProfileStringW(u"A", u"x", nullptr, path.c_str()));
  EXPECT_EQ(keys(u"A"), (std::vector<std::u16string>{u"y"}));
  ASSERT_TRUE(WritePrivateProfileStringW(u"a", nullptr, nullptr, path.c_str()));
  EXPECT_EQ(keys(nullptr), (std::vector<std::u16string>{u"B"}));
  ASSERT_TRUE(WritePrivateProfileStringW(u"B", u"w", u"4", path.c_str()));
  EXPECT_EQ(keys(u"B"), (std::vector<std::u16string>{u"z", u"w"}));
  EXPECT_NE(sim::readFileBytes(hostPath).find(std::string(";\0 \0c\0", 6)), std::string::npos);
  EXPECT_FALSE(WritePrivateProfileStringW(nullptr, u"k", u"v", path.c_str()));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
}

TEST_F(ProfileTest, ValuesAndListsAreCutToTheBuffer) {
  sim::writeUtf8File(hostPath, "\xEF\xBB\xBF[S]\nname=abcdefgh\nquoted=\"two words\"\nk2=1\n");
  EXPECT_EQ(get(u"S", u"name", u"", 5), u"abcd");
  EXPECT_EQ(get(u"S", u"name", u"", 9), u"abcdefgh");
  EXPECT_EQ(get(u"S", u"quoted"), u"two words");
  WCHAR buf[6];
  DWORD n = GetPrivateProfileStringW(u"S", nullptr, u"", buf, 6, path.c_str());
  EXPECT_EQ(n, 4u);  // size - 2 when the list does not fit
  EXPECT_EQ(std::u16string(buf, 5), std::u16string(u"name\0", 5));
}

TEST_F(ProfileTest, FaultsAreScriptable) {
  sim::failNth(sim::api::WritePrivateProfileStringW, 1, ERROR_ACCESS_DENIED);
  EXPECT_FALSE(WritePrivateProfileStringW(u"S", u"k", u"v", path.c_str()));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
  EXPECT_TRUE(sim::readFileBytes(hostPath).empty());
  EXPECT_TRUE(WritePrivateProfileStringW(u"S", u"k", u"v", path.c_str()));
}

TEST(WindowsDirectoryTest, ReportsTheChosenDirectoryOrFails) {
  sim::reset();
  WCHAR buf[MAX_PATH];
  SetLastError(0);
  EXPECT_EQ(GetWindowsDirectoryW(buf, MAX_PATH), 0u);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_PATH_NOT_FOUND));
  sim::setWindowsDirectory(u"C:\\WINDOWS");
  EXPECT_EQ(GetWindowsDirectoryW(buf, MAX_PATH), 10u);
  EXPECT_EQ(std::u16string(buf), u"C:\\WINDOWS");
  EXPECT_EQ(GetWindowsDirectoryW(buf, 10), 11u);  // too small: size needed with terminator
  sim::failNth(sim::api::GetWindowsDirectoryW, 1, ERROR_ACCESS_DENIED);
  EXPECT_EQ(GetWindowsDirectoryW(buf, MAX_PATH), 0u);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
  sim::reset();
}

}  // namespace

namespace {

TEST(SystemProfileTest, ReadsWinIniOfTheWindowsDirectoryInTheAnsiCodePage) {
  sim::reset();
  CHAR buf[64];
  // No Windows directory: every key is missing.
  EXPECT_EQ(GetProfileStringA("Devices", "KV830", "none", buf, sizeof buf), 4u);
  EXPECT_STREQ(buf, "none");

  sim::makeTempWindowsDirectory();
  // "打印机" in GBK as the key, the way an ANSI caller names a queue.
  sim::writeUtf8File(sim::windowsFilePath(u"win.ini"), "[Devices]\r\n打印机=winspool,Ne01:\r\n");
  const char key[] = "\xB4\xF2\xD3\xA1\xBB\xFA";
  EXPECT_EQ(GetProfileStringA("devices", key, "", buf, sizeof buf), 14u);
  EXPECT_STREQ(buf, "winspool,Ne01:");
  // Cut to the buffer, terminated.
  EXPECT_EQ(GetProfileStringA("Devices", key, "", buf, 5), 4u);
  EXPECT_STREQ(buf, "wins");
  EXPECT_EQ(GetProfileStringA("Devices", "other", "", buf, sizeof buf), 0u);
  EXPECT_STREQ(buf, "");
  sim::reset();
}

}  // namespace
