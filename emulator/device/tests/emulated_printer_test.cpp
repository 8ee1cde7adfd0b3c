// Tests of the emulated printer's command side.
#include "emulated_printer.h"

#include <gtest/gtest.h>

namespace emu {
namespace {

void send(EmulatedPrinter& p, const std::string& s) { p.hostWrite(reinterpret_cast<const uint8_t*>(s.data()), s.size()); }

std::string readAll(EmulatedPrinter& p) {
  std::string out(p.pending(), '\0');
  size_t n = p.hostRead(reinterpret_cast<uint8_t*>(out.data()), out.size());
  out.resize(n);
  return out;
}

struct ReplyCase {
  PrinterModel model;
  std::string command;
  std::string reply;
};

class QueryReply : public testing::TestWithParam<ReplyCase> {};

TEST_P(QueryReply, AnswersWithTheModelsReply) {
  EmulatedPrinter p(GetParam().model);
  send(p, GetParam().command);
  EXPECT_EQ(readAll(p), GetParam().reply);
  EXPECT_TRUE(p.jobBytes().empty());
  EXPECT_EQ(p.pending(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    BothModels, QueryReply,
    testing::Values(ReplyCase{PrinterModel::TR7208, "RESOL\r\n", "8\r\n"},
                    ReplyCase{PrinterModel::KV830, "RESOL\r\n", "12\r\n"},
                    ReplyCase{PrinterModel::TR7208, "VER\r\n", "TR7208\r\nTR7208 V1.05\r\nIPL 1.02\r\n"},
                    ReplyCase{PrinterModel::KV830, "VER\r\n", "KV830\r\nKV830 V2.11\r\nIPL 1.02\r\n"},
                    ReplyCase{PrinterModel::KV830, "\x1bGETPG\r\n", "0\r\n"},
                    ReplyCase{PrinterModel::KV830, "\x1bSTATUS\r\n", "00\r\n"},
                    ReplyCase{PrinterModel::KV830, "GETTM\r\n", "2026/12/09 12:00:00\r\n"},
                    ReplyCase{PrinterModel::KV830, "FSET CSET=14\r\n", "30,45,0\r\n"},
                    ReplyCase{PrinterModel::KV830, "FSET CSET=13\r\n", "0,0,0,0,0,0\r\n"},
                    ReplyCase{PrinterModel::KV830, "FSET CSET=4,ADD=100,LEN=2\r\n", "0000\r\n"},
                    ReplyCase{PrinterModel::KV830, "FSET CSET=9,ADD=2,CHK=30\r\n", "30\r\n"},
                    ReplyCase{PrinterModel::KV830, "FSET CSET=9,ADD=0,CHK=30\r\n", "45\r\n"}));

TEST(EmulatedPrinter, ReplyFieldCountsMatchTheirScanFormats) {
  EmulatedPrinter p(PrinterModel::KV830);
  p.setPrintDistanceMm(12345);
  send(p, "GETDEF\r\n");
  std::string getdef = readAll(p);
  int v[27];
  int n = std::sscanf(getdef.c_str(), "%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d",
                      &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7], &v[8], &v[9], &v[10], &v[11], &v[12],
                      &v[13], &v[14], &v[15], &v[16], &v[17], &v[18], &v[19], &v[20], &v[21], &v[22], &v[23], &v[24],
                      &v[25], &v[26]);
  EXPECT_EQ(n, 27);
  EXPECT_EQ(v[19], 12345);

  send(p, "MAINT\r\n");
  std::string maint = readAll(p);
  unsigned h[4];
  n = std::sscanf(maint.c_str(), "%d,%d,%d,%d,%d,%d,%d,%x,%x,%x,%x", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6],
                  &h[0], &h[1], &h[2], &h[3]);
  EXPECT_EQ(n, 11);
}

struct SettingCase {
  std::string command;
  size_t address;
  uint8_t value;
};

class SettingCommand : public testing::TestWithParam<SettingCase> {};

TEST_P(SettingCommand, StoresTheValueWithoutReplyOrJobData) {
  EmulatedPrinter p(PrinterModel::KV830);
  send(p, GetParam().command);
  EXPECT_EQ(p.settings()[GetParam().address], GetParam().value);
  EXPECT_EQ(p.pending(), 0u);
  EXPECT_TRUE(p.jobBytes().empty());
  ASSERT_EQ(p.commands().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Settings, SettingCommand,
                         testing::Values(SettingCase{"DEF BZ=1\r\n", addr::kBuzzer, 1},
                                         SettingCase{"DEF HC=0\r\n", addr::kAutoHeadCheck, 0},
                                         SettingCase{"DEF AP=2\r\n", addr::kLabelStop, 2},
                                         SettingCase{"DEF AF=1,CH=1\r\n", addr::kFeedAtPowerOn, 1},
                                         SettingCase{"DEF AF=1,CH=1\r\n", addr::kFeedOnHeadClose, 1},
                                         SettingCase{"FSET SG=77\r\n", addr::kGapSensorLevel, 77},
                                         SettingCase{"FSET SM=12\r\n", addr::kMarkSensorLevel, 12}));

TEST(EmulatedPrinter, SettingsMemoryDumpIsUpperCaseHexOfTheRequestedRange) {
  EmulatedPrinter p(PrinterModel::TR7208);
  send(p, "DEF BZ=1\r\nDEF AF=10,CH=255\r\n");
  send(p, "FSET CSET=4,ADD=100,LEN=2\r\n");
  EXPECT_EQ(readAll(p), "010A\r\n");
  send(p, "FSET CSET=4,ADD=8190,LEN=512\r\n");  // clipped at the end of memory
  EXPECT_EQ(readAll(p), "0000\r\n");
}

TEST(EmulatedPrinter, FactoryResetRestoresDefaultsAndSelfPrintsAreRecorded) {
  EmulatedPrinter p(PrinterModel::KV830);
  send(p, "DEF BZ=1\r\nFSET CSET=6\r\nFSET CSET=8\r\nFSET CSET=11\r\nFSET CSET=12\r\n");
  EXPECT_EQ(p.settings()[addr::kBuzzer], 0);
  EXPECT_EQ(p.selfPrints(), (std::vector<int>{6, 8, 11}));
}

TEST(EmulatedPrinter, ScriptedHeadConditionAndFailedCalibration) {
  EmulatedPrinter p(PrinterModel::KV830);
  p.setHeadCondition({2, 97});
  p.setCalibrationResult(0, 50);
  send(p, "FSET CSET=13\r\nFSET CSET=9,ADD=2,CHK=30\r\n");
  EXPECT_EQ(readAll(p), "2,97,0,0,0,0\r\n0\r\n");
  EXPECT_EQ(p.settings()[addr::kGapSensorLevel], 30);  // failed calibration keeps the level
}

TEST(EmulatedPrinter, UsbClassFollowsUsbsCommands) {
  EmulatedPrinter p(PrinterModel::KV830);
  for (int cls : {1, 2, 0}) {
    send(p, "USBS CLS=" + std::to_string(cls) + "\r\n");
    EXPECT_EQ(p.usbClass(), cls);
  }
}

TEST(EmulatedPrinter, JobDataIsKeptByteForByteAcrossSplitWritesAndQueries) {
  EmulatedPrinter p(PrinterModel::TR7208);
  const std::string job = "DEF MK=2,PW=880,PH=424\r\nJOB NM=QX,ID=1\r\nSTART\r\nQTY P=3\r\n";
  using namespace std::string_literals;  // the raster row holds a zero byte
  const std::string tail = "GRAPH X=0,Y=0,WD=2,HT=1,MD=1\r\n\x93\x00\r\n\r\nEND\r\nJOBE\r\n"s;
  // One byte at a time, so every line is assembled across writes.
  for (char c : job) send(p, std::string(1, c));
  send(p, "VER\r\n");
  send(p, tail);
  std::string want = job + tail;
  EXPECT_EQ(p.jobBytes(), std::vector<uint8_t>(want.begin(), want.end()));
  EXPECT_EQ(p.commands(), std::vector<std::string>{"VER"});
  EXPECT_EQ(readAll(p).substr(0, 8), "TR7208\r\n");
  send(p, "\x1bGETPG\r\n");
  EXPECT_EQ(readAll(p), "1\r\n");  // one label ended
}

TEST(EmulatedPrinter, MalformedOrUnknownLinesAreJobDataNotCommands) {
  for (std::string line : {"DEF BZ=x\r\n", "DEF BZ=01\r\n", "ver\r\n", "RESOL \r\n", "FSET CSET=99\r\n",
                           "USBS CLS=7\r\n", "FSET CSET=9,ADD=1,CHK=30\r\n"}) {
    EmulatedPrinter p(PrinterModel::KV830);
    send(p, line);
    EXPECT_EQ(p.jobBytes(), std::vector<uint8_t>(line.begin(), line.end())) << line;
    EXPECT_TRUE(p.commands().empty()) << line;
    EXPECT_EQ(p.pending(), 0u) << line;
  }
}

TEST(EmulatedPrinter, ReadsArePartialAndOverridesReplaceReplies) {
  EmulatedPrinter p(PrinterModel::KV830);
  p.setReply("RESOL", "99\r\n");
  p.setReply("GETTM", "");
  send(p, "RESOL\r\nGETTM\r\n");
  uint8_t b[2];
  ASSERT_EQ(p.hostRead(b, 2), 2u);
  EXPECT_EQ(std::string(b, b + 2), "99");
  EXPECT_EQ(p.pending(), 2u);
  EXPECT_EQ(readAll(p), "\r\n");
  EXPECT_EQ(p.hostRead(b, 2), 0u);
}

}  // namespace
}  // namespace emu
