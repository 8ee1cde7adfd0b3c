// Job language lines and the output stage, byte for byte, against a capture sink.
#include "jobstream.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

using namespace driver;

namespace {

// Records every write; can fail or take nothing at a given call, or take
// at most `chunk` bytes per call.
struct Capture {
  std::vector<BYTE> bytes;
  std::vector<DWORD> calls;
  int failAt = 0;      // 1-based call that fails
  int zeroAt = 0;      // 1-based call that succeeds with 0 bytes
  DWORD error = ERROR_NOT_READY;
  DWORD chunk = 0;     // 0: take everything

  static bool write(void* context, const BYTE* data, DWORD size, DWORD* written) {
    auto* self = static_cast<Capture*>(context);
    self->calls.push_back(size);
    *written = 0;
    int call = static_cast<int>(self->calls.size());
    if (call == self->failAt) {
      SetLastError(self->error);
      return FALSE;
    }
    if (call == self->zeroAt) return TRUE;
    DWORD take = self->chunk && size > self->chunk ? self->chunk : size;
    self->bytes.insert(self->bytes.end(), data, data + take);
    *written = take;
    return TRUE;
  }
  std::string text() const { return std::string(bytes.begin(), bytes.end()); }
};

struct StageFixture : ::testing::Test {
  std::vector<BYTE> staging = std::vector<BYTE>(kStagingCapacity);
  Capture sink;
  OutputStage out{};
  void SetUp() override {
    out.staging = staging.data();
    out.capacity = kStagingCapacity;
    out.writer = &Capture::write;
    out.context = &sink;
  }
  void putText(const std::string& s) { out.put(s.data(), static_cast<DWORD>(s.size())); }
};

// ---- DEF line ---------------------------------------------------------------

constexpr DefRules kRulesA = defRulesOf(kProfileTR7208);
constexpr DefRules kRulesB = defRulesOf(kProfileKV830);

// What the DEF line is built from: the label's definition and the
// document's settings.
struct DefInput {
  LabelDefinition label{};
  DefSettings settings{};
};

DefInput defaultsA() {
  DefInput v{};
  v.label.LabelType = 2;
  v.label.LabelWidth = 1100;
  v.label.LabelHeight = 530;
  v.label.LabelGap = 20;
  v.settings.direction = 1;
  v.label.Density = 8;
  v.settings.speed = 1;
  v.label.StopPosition = 130;
  v.settings.graphicsMode = 1;
  v.settings.printMethod = 2;
  v.label.PrintMode = 1;
  return v;
}

DefInput defaultsB() {
  DefInput v = defaultsA();
  v.label.LabelWidth = 1040;
  v.label.LabelHeight = 500;
  v.settings.speed = 2;
  v.label.StopPosition = 36;
  v.settings.printMethod = 1;
  return v;
}

struct DefCase {
  const char* name;
  bool modelB;
  void (*change)(DefInput&);
  const char* expected;
};

const DefCase kDefCases[] = {
    {"DefaultA", false, [](DefInput&) {},
     "DEF MK=2,PW=880,PH=424,PG=16,DR=1,DK=8,SP=1,PS=130,TO=0,XO=0,YO=0,GM=1,TR=2,MD=1,LM=0,RM=0,TM=0,BM=0\r\n"},
    {"DefaultB", true, [](DefInput&) {},
     "DEF MK=2,PW=1227,PH=600,PG=24,DR=1,DK=8,SP=2,PS=36,TO=0,GM=1,TR=1,MD=1,LM=0,RM=0,TM=0,BM=0\r\n"},
    {"OutOfRangeValuesReplacedA", false,
     [](DefInput& v) {
       v.label.LabelGap = 95;
       v.label.Density = 0;
       v.label.StopPosition = 5000;
     },
     "DEF MK=2,PW=880,PH=424,PG=16,DR=1,DK=8,SP=1,PS=130,TO=0,XO=0,YO=0,GM=1,TR=2,MD=1,LM=0,RM=0,TM=0,BM=0\r\n"},
    {"OutOfRangeValuesReplacedB", true,
     [](DefInput& v) {
       v.label.LabelGap = -1;
       v.label.Density = 17;
       v.label.StopPosition = 5000;
     },
     "DEF MK=2,PW=1227,PH=600,PG=24,DR=1,DK=8,SP=2,PS=36,TO=0,GM=1,TR=1,MD=1,LM=0,RM=0,TM=0,BM=0\r\n"},
    {"RangeEdgesKeptA", false,
     [](DefInput& v) {
       v.label.LabelGap = 80;
       v.label.Density = 16;
       v.label.StopPosition = 3200;
       v.settings.offsetX = 400;
       v.settings.offsetY = 800;
     },
     "DEF MK=2,PW=880,PH=424,PG=64,DR=1,DK=16,SP=1,PS=3200,TO=0,XO=400,YO=800,GM=1,TR=2,MD=1,LM=0,RM=0,TM=0,"
     "BM=0\r\n"},
    {"StopRangeOfB", true, [](DefInput& v) { v.label.StopPosition = 4800; },
     "DEF MK=2,PW=1227,PH=600,PG=24,DR=1,DK=8,SP=2,PS=4800,TO=0,GM=1,TR=1,MD=1,LM=0,RM=0,TM=0,BM=0\r\n"},
    {"WidthAndHeightLimitsA", false,
     [](DefInput& v) {
       v.label.LabelWidth = 1300;
       v.label.LabelHeight = 4500;
     },
     "DEF MK=2,PW=944,PH=3200,PG=16,DR=1,DK=8,SP=1,PS=130,TO=0,XO=0,YO=0,GM=1,TR=2,MD=1,LM=0,RM=0,TM=0,BM=0\r\n"},
    {"WidthLimitB", true, [](DefInput& v) { v.label.LabelWidth = 1300; },
     "DEF MK=2,PW=1227,PH=600,PG=24,DR=1,DK=8,SP=2,PS=36,TO=0,GM=1,TR=1,MD=1,LM=0,RM=0,TM=0,BM=0\r\n"},
    {"TenthsDroppedAndNegativePassA", false,
     [](DefInput& v) {
       v.label.LabelWidth = 1105;
       v.label.LabelHeight = -50;
     },
     "DEF MK=2,PW=880,PH=-40,PG=16,DR=1,DK=8,SP=1,PS=130,TO=0,XO=0,YO=0,GM=1,TR=2,MD=1,LM=0,RM=0,TM=0,BM=0\r\n"},
    {"CutterModeWithBadIntervalA", false,
     [](DefInput& v) {
       v.label.PrintMode = 4;
       v.label.OffsetCutter = 7;
       v.label.CutInterval = 150;
     },
     "DEF MK=2,PW=880,PH=424,PG=16,DR=1,DK=8,SP=1,PS=130,CO=7,CP=0,XO=0,YO=0,GM=1,TR=2,MD=4,LM=0,RM=0,TM=0,BM=0\r\n"},
    {"CutterModeIntervalB", true,
     [](DefInput& v) {
       v.label.PrintMode = 4;
       v.label.CutInterval = 99;
     },
     "DEF MK=2,PW=1227,PH=600,PG=24,DR=1,DK=8,SP=2,PS=36,CO=0,CP=99,GM=1,TR=1,MD=4,LM=0,RM=0,TM=0,BM=0\r\n"},
    {"PeelModeA", false,
     [](DefInput& v) {
       v.label.PrintMode = 3;
       v.label.OffsetPeerOff = -3;
       v.label.OffsetTearOff = 9;
     },
     "DEF MK=2,PW=880,PH=424,PG=16,DR=1,DK=8,SP=1,PS=130,PO=-3,XO=0,YO=0,GM=1,TR=2,MD=3,LM=0,RM=0,TM=0,BM=0\r\n"},
    {"ContinuousModeSendsNoOffsetA", false, [](DefInput& v) { v.label.PrintMode = 2; },
     "DEF MK=2,PW=880,PH=424,PG=16,DR=1,DK=8,SP=1,PS=130,XO=0,YO=0,GM=1,TR=2,MD=2,LM=0,RM=0,TM=0,BM=0\r\n"},
    {"OffsetsOutOfRangeLeftOutA", false,
     [](DefInput& v) {
       v.settings.offsetX = 401;
       v.settings.offsetY = -1;
     },
     "DEF MK=2,PW=880,PH=424,PG=16,DR=1,DK=8,SP=1,PS=130,TO=0,GM=1,TR=2,MD=1,LM=0,RM=0,TM=0,BM=0\r\n"},
    {"OffsetsNeverSentB", true,
     [](DefInput& v) {
       v.settings.offsetX = 5;
       v.settings.offsetY = 5;
     },
     "DEF MK=2,PW=1227,PH=600,PG=24,DR=1,DK=8,SP=2,PS=36,TO=0,GM=1,TR=1,MD=1,LM=0,RM=0,TM=0,BM=0\r\n"},
    {"MarginsAndHexModeB", true,
     [](DefInput& v) {
       v.label.LeftMargin = 15;
       v.label.RightMargin = 25;
       v.label.TopMargin = 100;
       v.label.BottomMargin = 9;
       v.settings.graphicsMode = 0;
       v.label.LabelType = 1;
     },
     "DEF MK=1,PW=1227,PH=600,PG=24,DR=1,DK=8,SP=2,PS=36,TO=0,GM=0,TR=1,MD=1,LM=12,RM=24,TM=120,BM=0\r\n"},
};

class DefLine : public ::testing::TestWithParam<DefCase> {};

TEST_P(DefLine, FieldsInOrderWithChecksAndModelRules) {
  const DefCase& c = GetParam();
  DefInput v = c.modelB ? defaultsB() : defaultsA();
  c.change(v);
  char line[256];
  int n = formatDefLine(line, sizeof line, v.label, v.settings, c.modelB ? kRulesB : kRulesA);
  EXPECT_EQ(std::string(line, n), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, DefLine, ::testing::ValuesIn(kDefCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DefLineBuffer, TooSmallBufferGivesNothing) {
  char line[40];
  EXPECT_EQ(formatDefLine(line, sizeof line, defaultsA().label, defaultsA().settings, kRulesA), 0);
  EXPECT_EQ(line[0], 0);
  EXPECT_EQ(formatDefLine(nullptr, 256, defaultsA().label, defaultsA().settings, kRulesA), 0);
}

TEST(DefLineBuffer, LargestValuesFit256Bytes) {
  DefInput v{};
  // Every number the line carries at its longest.
  using LabelField = LONG LabelDefinition::*;
  for (LabelField f : std::initializer_list<LabelField>{&LabelDefinition::LabelWidth, &LabelDefinition::LabelHeight, &LabelDefinition::LabelGap,
        &LabelDefinition::StopPosition, &LabelDefinition::Density, &LabelDefinition::LabelType,
        &LabelDefinition::LeftMargin, &LabelDefinition::RightMargin, &LabelDefinition::TopMargin,
        &LabelDefinition::BottomMargin, &LabelDefinition::OffsetTearOff, &LabelDefinition::OffsetPeerOff,
        &LabelDefinition::OffsetCutter, &LabelDefinition::CutInterval})
    v.label.*f = -2147483647 - 1;
  v.settings = {-2147483647 - 1, -2147483647 - 1, -2147483647 - 1, -2147483647 - 1, -2147483647 - 1, -2147483647 - 1};
  v.label.PrintMode = 4;
  char line[256];
  EXPECT_GT(formatDefLine(line, sizeof line, v.label, v.settings, kRulesA), 0);
}

// ---- output stage -------------------------------------------------------------

TEST_F(StageFixture, ShortDataIsStagedUntilFlush) {
  putText("START\r\n");
  EXPECT_TRUE(sink.calls.empty());
  EXPECT_EQ(out.fill, 7u);
  EXPECT_TRUE(out.flush());
  EXPECT_EQ(sink.text(), "START\r\n");
  EXPECT_EQ(out.fill, 0u);
  EXPECT_TRUE(out.flush());
  EXPECT_EQ(sink.calls.size(), 1u);
  EXPECT_TRUE(out.put("x", 0));
  EXPECT_EQ(out.fill, 0u);
}

TEST_F(StageFixture, ExactlyFullStagingFlushesBeforeTheNextPut) {
  std::vector<BYTE> full(kStagingCapacity, 0x55);
  EXPECT_TRUE(out.put(full.data(), kStagingCapacity));
  EXPECT_TRUE(sink.calls.empty());
  EXPECT_EQ(out.fill, kStagingCapacity);
  EXPECT_TRUE(out.put("A", 1));
  ASSERT_EQ(sink.calls, std::vector<DWORD>{kStagingCapacity});
  EXPECT_EQ(out.fill, 1u);
}

TEST_F(StageFixture, DataThatWouldFillTheStagingFlushesFirst) {
  std::vector<BYTE> part(kStagingCapacity - 10, 1);
  out.put(part.data(), static_cast<DWORD>(part.size()));
  out.put(part.data(), 10);  // fill + n reaches the capacity: flush first
  ASSERT_EQ(sink.calls, std::vector<DWORD>{kStagingCapacity - 10});
  EXPECT_EQ(out.fill, 10u);
}

TEST_F(StageFixture, LongDataIsWrittenDirectlyAfterTheStagedBytes) {
  putText("HEAD");
  std::vector<BYTE> big(kStagingCapacity + 1);
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<BYTE>(i * 7);
  EXPECT_TRUE(out.put(big.data(), static_cast<DWORD>(big.size())));
  EXPECT_EQ(sink.calls, (std::vector<DWORD>{4, kStagingCapacity + 1}));
  EXPECT_EQ(out.fill, 0u);
  std::vector<BYTE> expected{'H', 'E', 'A', 'D'};
  expected.insert(expected.end(), big.begin(), big.end());
  EXPECT_EQ(sink.bytes, expected);
}

TEST_F(StageFixture, PartialWritesAreContinuedInOrder) {
  sink.chunk = 1000;
  std::vector<BYTE> big(kStagingCapacity + 2500);
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<BYTE>(i);
  EXPECT_TRUE(out.put(big.data(), static_cast<DWORD>(big.size())));
  EXPECT_EQ(sink.bytes, big);
  EXPECT_EQ(sink.calls.front(), big.size());
  EXPECT_EQ(sink.calls.back(), big.size() % 1000);
}

struct FailureCase {
  const char* name;
  bool zeroBytes;
  DWORD expectedError;
};

class StageFailure : public StageFixture, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(StageFailure, FirstFailureIsKeptAndNothingMoreIsWritten) {
  const FailureCase& c = GetParam();
  (c.zeroBytes ? sink.zeroAt : sink.failAt) = 2;
  putText("page one");
  EXPECT_TRUE(out.flush());
  putText("page two");
  EXPECT_FALSE(out.flush());
  EXPECT_TRUE(out.failed());
  EXPECT_EQ(out.writeError, c.expectedError);
  EXPECT_EQ(out.fill, 0u);  // the failed flush's bytes are dropped, never retried
  putText("page three");
  EXPECT_EQ(out.fill, 10u);  // short data is still staged ...
  EXPECT_FALSE(out.flush());  // ... but dropped
  std::vector<BYTE> big(kStagingCapacity + 1);
  EXPECT_FALSE(out.put(big.data(), static_cast<DWORD>(big.size())));
  EXPECT_EQ(sink.calls.size(), 2u);
  EXPECT_EQ(sink.text(), "page one");
}

INSTANTIATE_TEST_SUITE_P(Kinds, StageFailure,
                         ::testing::Values(FailureCase{"WriteFails", false, ERROR_NOT_READY},
                                           FailureCase{"WriteTakesNothing", true, ERROR_WRITE_FAULT}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(StageFixture, FailingLongWriteStopsTheLoop) {
  sink.chunk = 1000;
  sink.failAt = 3;
  std::vector<BYTE> big(kStagingCapacity * 2);
  EXPECT_FALSE(out.put(big.data(), static_cast<DWORD>(big.size())));
  EXPECT_EQ(sink.calls.size(), 3u);
  EXPECT_EQ(sink.bytes.size(), 2000u);
}

TEST_F(StageFixture, SuppressedOutputWritesNothingButKeepsTheSequence) {
  out.suppressed = true;
  char def[] = "DEF MK=2\r\n";
  writeJobHeader(out, def, 10);
  writePageStart(out, 1);
  EXPECT_EQ(out.state, DWORD(HeaderSent | PageOpen));
  writePageEnd(out);
  EXPECT_TRUE(finishDocument(out));
  EXPECT_TRUE(sink.calls.empty());
  EXPECT_EQ(out.fill, 0u);
  EXPECT_EQ(out.state, 0u);
}

// ---- command writers --------------------------------------------------------------

TEST_F(StageFixture, OnePageJobWithThreeCopies) {
  char def[256];
  int n = formatDefLine(def, sizeof def, defaultsA().label, defaultsA().settings, kRulesA);
  writeJobHeader(out, def, n);
  EXPECT_EQ(out.state, DWORD(HeaderSent));
  writePageStart(out, 3);
  EXPECT_EQ(out.state, DWORD(HeaderSent | PageOpen));
  putText("GRAPH\r\n");
  EXPECT_TRUE(sink.calls.empty());
  writePageEnd(out);  // END flushes
  EXPECT_EQ(sink.calls.size(), 1u);
  EXPECT_EQ(out.state, DWORD(HeaderSent));
  EXPECT_TRUE(finishDocument(out));
  EXPECT_EQ(out.state, 0u);
  EXPECT_EQ(sink.text(), std::string(def) +
                             "JOB NM=QX,ID=1\r\nSTART\r\nQTY P=3\r\nGRAPH\r\nEND\r\nJOBE\r\n");
}

TEST_F(StageFixture, DocumentWithoutHeaderEndsWithoutWriting) {
  EXPECT_TRUE(finishDocument(out));
  EXPECT_TRUE(sink.calls.empty());
}

TEST_F(StageFixture, FailedDocumentReportsAndTheNextOneWritesAgain) {
  sink.failAt = 1;
  writeJobHeader(out, nullptr, 0);
  writePageStart(out, 1);
  writePageEnd(out);
  EXPECT_FALSE(finishDocument(out));
  EXPECT_EQ(out.writeError, DWORD(ERROR_NOT_READY));
  EXPECT_EQ(out.state, 0u);
  writeJobHeader(out, nullptr, 0);
  EXPECT_TRUE(finishDocument(out));
  EXPECT_EQ(sink.text(), "JOB NM=QX,ID=1\r\nJOBE\r\n");
}

TEST(TenthsToDots, WholeMillimetresFirst) {
  struct {
    int tenths, factor, dots;
  } cases[] = {{1100, 80, 880}, {1105, 80, 880}, {535, 80, 424}, {1040, 118, 1227}, {500, 120, 600},
               {9, 120, 0},     {-15, 80, -8},
               {2147483647, 120, 2147483647}, {-2147483647 - 1, 120, -2147483647 - 1},
               {-2147483647 - 1, 80, -1717986912}};
  for (auto& c : cases) EXPECT_EQ(tenthsToDots(c.tenths, c.factor), c.dots) << c.tenths << " x " << c.factor;
}

}  // namespace
