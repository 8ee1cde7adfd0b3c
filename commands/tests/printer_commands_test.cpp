// Tests of the printer command layer: command texts, reply parsers and the
// conversions of replies.
#include "printer_commands.h"

#include <gtest/gtest.h>

#include <vector>

namespace printercmd {
namespace {

using namespace std::string_literals;

struct BuildCase {
  std::string built;
  std::string expected;
};

class CommandText : public testing::TestWithParam<BuildCase> {};

TEST_P(CommandText, MatchesTheWireForm) { EXPECT_EQ(GetParam().built, GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    Builders, CommandText,
    testing::Values(BuildCase{usbClass(1), "USBS CLS=1\r\n"}, BuildCase{usbClass(0), "USBS CLS=0\r\n"},
                    BuildCase{leaveHidMode("LPT1:"), "USBS CLS=2\r\n"}, BuildCase{leaveHidMode("USB001"), "USBS CLS=0\r\n"},
                    BuildCase{leaveHidMode("lpt1:"), "USBS CLS=0\r\n"},  // the port check is case-sensitive
                    BuildCase{buzzer(0), "DEF BZ=0\r\n"}, BuildCase{buzzer(1), "DEF BZ=1\r\n"},
                    BuildCase{autoHeadCheck(1), "DEF HC=1\r\n"},
                    BuildCase{labelStop(0), "DEF AP=0\r\n"},
                    BuildCase{labelStop(1), "DEF AP=1\r\nFSET CSET=16,ADD=1\r\n"},
                    BuildCase{labelStop(2), "DEF AP=2\r\nFSET CSET=16,ADD=1\r\n"},
                    BuildCase{feed(1, 0), "DEF AF=1,CH=0\r\n"}, BuildCase{gapSensorLevel(130), "FSET SG=130\r\n"},
                    BuildCase{markSensorLevel(7), "FSET SM=7\r\n"},
                    BuildCase{readSettingsMemory(0, 512), "FSET CSET=4,ADD=0,LEN=512\r\n"},
                    BuildCase{calibrateSensor(Sensor::Gap), "FSET CSET=9,ADD=2,CHK=30\r\n"},
                    BuildCase{calibrateSensor(Sensor::Mark), "FSET CSET=9,ADD=0,CHK=30\r\n"},
                    // No sign in the printer's syntax: a negative argument builds nothing.
                    BuildCase{buzzer(-1), ""}, BuildCase{feed(1, -3), ""}, BuildCase{labelStop(-2), ""},
                    BuildCase{readSettingsMemory(-1, 512), ""}));

TEST(CommandText, FixedCommandsCarryNoTerminatingNul) {
  for (std::string_view c : {kVersion, kDefInfo, kMaintenance, kResolution, kTime, kStatus, kSelfCheck, kPageCounter,
                             kHeadCheck, kSensorLevels}) {
    ASSERT_GE(c.size(), 3u);
    EXPECT_EQ(c.substr(c.size() - 2), "\r\n") << c;
    EXPECT_EQ(c.find('\0'), std::string_view::npos) << c;
  }
  EXPECT_EQ(kStatus, "\x1bSTATUS\r\n");
  EXPECT_EQ(kPageCounter, "\x1bGETPG\r\n");
}

TEST(Trim, RemovesEverythingUpToSpaceAtBothEndsOnly) {
  EXPECT_EQ(trim(" \t\x01 30,45,0\r\n\x1f"), "30,45,0");
  EXPECT_EQ(trim("a b"), "a b");
  EXPECT_EQ(trim("\r\n \t"), "");
  EXPECT_EQ(trim("\xb0\xa1\r\n"), "\xb0\xa1");  // bytes from 0x80 up are text, not blanks
}

TEST(Resolution, ExactComparisonWithoutTrimming) {
  struct {
    const char* reply;
    Resolution want;
  } cases[] = {{"8\r\n", Resolution::Dots8PerMm}, {"12\r\n", Resolution::Dots12PerMm}, {"8", Resolution::Unknown},
               {" 8\r\n", Resolution::Unknown},   {"8\r\n\r\n", Resolution::Unknown}, {"12", Resolution::Unknown},
               {"", Resolution::Unknown},         {"16\r\n", Resolution::Unknown}};
  for (auto& c : cases) EXPECT_EQ(classifyResolution(c.reply), c.want) << c.reply;
}

TEST(ScanIntegers, FollowsScanFormatRules) {
  struct {
    std::string text;
    int firstHex;
    std::vector<int> want;
  } cases[] = {
      {"1,2,3", -1, {1, 2, 3}},
      {" 1, 2,\t3", -1, {1, 2, 3}},  // white space before a number is skipped
      {"1 ,2", -1, {1}},              // but the comma must follow the number directly
      {"-4,+5", -1, {-4, 5}},
      {"7,x,9", -1, {7}},
      {"", -1, {}},
      {"2147483647,2147483648", -1, {2147483647}},  // out of range does not parse
      {"-2147483648", -1, {INT_MIN}},
      {"1,ff,0x1A,DEAD", 1, {1, 0xff, 0x1a, 0xdead}},
      {"10,10", 0, {16, 16}},
  };
  for (auto& c : cases) {
    int v[8] = {};
    int n = scanIntegers(c.text, v, 8, c.firstHex);
    EXPECT_EQ(n, int(c.want.size())) << c.text;
    for (int i = 0; i < n && i < int(c.want.size()); ++i) EXPECT_EQ(v[i], c.want[i]) << c.text << " field " << i;
  }
}

std::string numbers(int count, int twentieth = 0) {
  std::string s;
  for (int i = 1; i <= count; ++i) s += (i > 1 ? "," : "") + std::to_string(i == 20 ? twentieth : i);
  return s;
}

TEST(ReplyParsers, AcceptOnlyTheExactFieldCount) {
  DefInfo def{};
  EXPECT_EQ(parseDefInfo(numbers(27, 12345) + "\r\n", &def), 27);
  EXPECT_EQ(def.printDistanceMm(), 12345);
  EXPECT_EQ(def.fields[26], 27);

  // A rejected reply reports its count and leaves the output as it was.
  def.fields[0] = -7;
  for (int count : {26, 28, 0}) {
    EXPECT_EQ(parseDefInfo(numbers(count), &def), count);
    EXPECT_EQ(def.fields[0], -7);
  }
  SensorLevels levels{-7, -7, -7};
  for (auto [reply, count] : {std::pair{"30,45,0,9", 4}, {"30,45", 2}, {"30;45;0", 1}}) {
    EXPECT_EQ(parseSensorLevels(reply, &levels), count) << reply;
    EXPECT_EQ(levels.gap, -7) << reply;
  }
  HeadCheck head{};
  head.fields[0] = -7;
  EXPECT_EQ(parseHeadCheck("2,97,0,0,0", &head), 5);
  EXPECT_EQ(head.fields[0], -7);
  int level = -7;
  EXPECT_EQ(parseCalibration("\r\n", &level), 0);
  EXPECT_EQ(level, -7);
}

TEST(ReplyParsers, ReadTheFieldsOfAcceptedReplies) {
  SensorLevels s{};
  EXPECT_EQ(parseSensorLevels("\r\n30,45,0\r\n", &s), 3);
  EXPECT_EQ(s.gap, 30);
  EXPECT_EQ(s.mark, 45);

  HeadCheck h{};
  EXPECT_EQ(parseHeadCheck("2,97,0,0,0,0\r\n", &h), 6);
  EXPECT_EQ(h.status(), 2);
  EXPECT_EQ(h.brokenDot(), 97);
  EXPECT_EQ(headDotsToMm(h.brokenDot()), 8);

  Maintenance m{};
  EXPECT_EQ(parseMaintenance("1,0,0,0,0,0,42,1a2b,0,1e,FF\r\n", &m), 11);
  EXPECT_EQ(m.decimal[6], 42);
  EXPECT_EQ(m.hex[0], 0x1a2bu);
  EXPECT_EQ(m.hex[3], 0xffu);

  int level = 0;
  EXPECT_EQ(parseCalibration(" 0\r\n", &level), 1);
  EXPECT_EQ(level, 0);  // counted, but a level below 1 is the caller's failure

  VersionInfo v;
  EXPECT_EQ(parseVersion("KV830\r\nKV830 V2.11\r\nIPL 1.02\r\n", &v), 3);
  EXPECT_EQ(v.system, "KV830 V2.11");
  EXPECT_EQ(v.ipl, "IPL 1.02");
  EXPECT_EQ(parseVersion("only\r\n", &v), 1);
  EXPECT_EQ(v.system, "");
}

TEST(SettingsMemory, DecodesEvenRunsOfEitherCase) {
  uint8_t image[8192];
  std::fill(std::begin(image), std::end(image), 0x55);
  EXPECT_EQ(decodeSettingsMemory("0aFF", image, sizeof image), 2);
  EXPECT_EQ(image[0], 0x0A);
  EXPECT_EQ(image[1], 0xFF);
  EXPECT_EQ(image[2], 0x55);

  // Not hex counts as -1: "\r\n" -> 16 * -1 + -1 = -17 -> 0xEF; "G0" -> -16 -> 0xF0.
  EXPECT_EQ(decodeSettingsMemory("01\r\nG0", image, sizeof image), 3);
  EXPECT_EQ(image[1], 0xEF);
  EXPECT_EQ(image[2], 0xF0);
}

TEST(SettingsMemory, RejectsOddOverLongOrOversizedRuns) {
  uint8_t image[8192];
  std::fill(std::begin(image), std::end(image), 0x55);
  EXPECT_EQ(decodeSettingsMemory("0aF", image, sizeof image), -1);
  EXPECT_EQ(decodeSettingsMemory(std::string(16386, '1'), image, sizeof image), -1);
  EXPECT_EQ(image[0], 0x55);  // nothing touched
  EXPECT_EQ(decodeSettingsMemory(std::string(16384, '1'), image, sizeof image), 8192);
  EXPECT_EQ(image[8191], 0x11);
  uint8_t small[2] = {};
  EXPECT_EQ(decodeSettingsMemory("010203", small, sizeof small), -1);  // would run past the image
  EXPECT_EQ(decodeSettingsMemory("", image, sizeof image), 0);
}

TEST(Conversions, HeadDotsToMillimetres) {
  struct {
    int dots, mm;
  } cases[] = {{118, 9}, {117, 9}, {130, 11}, {12, 1}, {0, 0}, {11, 0}, {236, 19}, {237, 20}, {-118, -9}, {97, 8}};
  for (auto& c : cases) EXPECT_EQ(headDotsToMm(c.dots), c.mm) << c.dots;
}

TEST(Conversions, PrintDistanceInShortestMetres) {
  struct {
    int mm;
    const char* text;
  } cases[] = {{12345, "12.345"}, {1000, "1"}, {1200, "1.2"}, {0, "0"}, {5, "0.005"}, {-1500, "-1.5"},
               {2147483647, "2147483.647"}};
  for (auto& c : cases) EXPECT_EQ(formatPrintDistance(c.mm), c.text) << c.mm;
}

}  // namespace
}  // namespace printercmd
