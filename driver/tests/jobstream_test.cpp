// Job language lines and the output stage, byte for byte, against a capture sink.
#include "jobstream.h"

#include <gtest/gtest.h>

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

  static BOOL write(void* context, const BYTE* data, DWORD size, DWORD* written) {
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

constexpr DefRules kRulesA{80, 80, 1180, 3200, 130, true};
constexpr DefRules kRulesB{118, 120, 1040, 4800, 36, false};

DefValues defaultsA() {
  DefValues v{};
  v.labelType = 2;
  v.width = 1100;
  v.height = 530;
  v.gap = 20;
  v.direction = 1;
  v.density = 8;
  v.speed = 1;
  v.stopPosition = 130;
  v.graphicsMode = 1;
  v.printMethod = 2;
  v.printMode = 1;
  return v;
}

DefValues defaultsB() {
  DefValues v = defaultsA();
  v.width = 1040;
  v.height = 500;
  v.speed = 2;
  v.stopPosition = 36;
  v.printMethod = 1;
  return v;
}

struct DefCase {
  const char* name;
  bool modelB;
  void (*change)(DefValues&);
  const char* expected;
};

const DefCase kDefCases[] = {
    {"DefaultA", false, [](DefValues&) {},
     "DEF MK=2,PW=880,PH=424,PG=16,DR=1,DK=8,SP=1,PS=130,TO=0,XO=0,YO=0,GM=1,TR=2,MD=1,LM=0,RM=0,TM=0,BM=0\r\n"},
    {"DefaultB", true, [](DefValues&) {},
     "DEF MK=2,PW=1227,PH=600,PG=24,DR=1,DK=8,SP=2,PS=36,TO=0,GM=1,TR=1,MD=1,LM=0,RM=0,TM=0,BM=0\r\n"},
    {"OutOfRangeValuesReplacedA", false,
     [](DefValues& v) {
       v.gap = 95;
       v.density = 0;
       v.stopPosition = 5000;
     },
     "DEF MK=2,PW=880,PH=424,PG=16,DR=1,DK=8,SP=1,PS=130,TO=0,XO=0,YO=0,GM=1,TR=2,MD=1,LM=0,RM=0,TM=0,BM=0\r\n"},
    {"OutOfRangeValuesReplacedB", true,
     [](DefValues& v) {
       v.gap = -1;
       v.density = 17;
       v.stopPosition = 5000;
     },
     "DEF MK=2,PW=1227,PH=600,PG=24,DR=1,DK=8,SP=2,PS=36,TO=0,GM=1,TR=1,MD=1,LM=0,RM=0,TM=0,BM=0\r\n"},
    {"RangeEdgesKeptA", false,
     [](DefValues& v) {
       v.gap = 80;
       v.density = 16;
       v.stopPosition = 3200;
       v.offsetX = 400;
       v.offsetY = 800;
     },
     "DEF MK=2,PW=880,PH=424,PG=64,DR=1,DK=16,SP=1,PS=3200,TO=0,XO=400,YO=800,GM=1,TR=2,MD=1,LM=0,RM=0,TM=0,"
     "BM=0\r\n"},
    {"StopRangeOfB", true, [](DefValues& v) { v.stopPosition = 4800; },
     "DEF MK=2,PW=1227,PH=600,PG=24,DR=1,DK=8,SP=2,PS=4800,TO=0,GM=1,TR=1,MD=1,LM=0,RM=0,TM=0,BM=0\r\n"},
    {"WidthAndHeightLimitsA", false,
     [](DefValues& v) {
       v.width = 1300;
       v.height = 4500;
     },
     "DEF MK=2,PW=944,PH=3200,PG=16,DR=1,DK=8,SP=1,PS=130,TO=0,XO=0,YO=0,GM=1,TR=2,MD=1,LM=0,RM=0,TM=0,BM=0\r\n"},
    {"WidthLimitB", true, [](DefValues& v) { v.width = 1300; },
     "DEF MK=2,PW=1227,PH=600,PG=24,DR=1,DK=8,SP=2,PS=36,TO=0,GM=1,TR=1,MD=1,LM=0,RM=0,TM=0,BM=0\r\n"},
    {"TenthsDroppedAndNegativePassA", false,
     [](DefValues& v) {
       v.width = 1105;
       v.height = -50;
     },
     "DEF MK=2,PW=880,PH=-40,PG=16,DR=1,DK=8,SP=1,PS=130,TO=0,XO=0,YO=0,GM=1,TR=2,MD=1,LM=0,RM=0,TM=0,BM=0\r\n"},
    {"CutterModeWithBadIntervalA", false,
     [](DefValues& v) {
       v.printMode = 4;
       v.offsetCutter = 7;
       v.cutInterval = 150;
     },
     "DEF MK=2,PW=880,PH=424,PG=16,DR=1,DK=8,SP=1,PS=130,CO=7,CP=0,XO=0,YO=0,GM=1,TR=2,MD=4,LM=0,RM=0,TM=0,BM=0\r\n"},
    {"CutterModeIntervalB", true,
     [](DefValues& v) {
       v.printMode = 4;
       v.cutInterval = 99;
     },
     "DEF MK=2,PW=1227,PH=600,PG=24,DR=1,DK=8,SP=2,PS=36,CO=0,CP=99,GM=1,TR=1,MD=4,LM=0,RM=0,TM=0,BM=0\r\n"},
    {"PeelModeA", false,
     [](DefValues& v) {
       v.printMode = 3;
       v.offsetPeelOff = -3;
       v.offsetTearOff = 9;
     },
     "DEF MK=2,PW=880,PH=424,PG=16,DR=1,DK=8,SP=1,PS=130,PO=-3,XO=0,YO=0,GM=1,TR=2,MD=3,LM=0,RM=0,TM=0,BM=0\r\n"},
    {"ContinuousModeSendsNoOffsetA", false, [](DefValues& v) { v.printMode = 2; },
     "DEF MK=2,PW=880,PH=424,PG=16,DR=1,DK=8,SP=1,PS=130,XO=0,YO=0,GM=1,TR=2,MD=2,LM=0,RM=0,TM=0,BM=0\r\n"},
    {"OffsetsOutOfRangeLeftOutA", false,
     [](DefValues& v) {
       v.offsetX = 401;
       v.offsetY = -1;
     },
     "DEF MK=2,PW=880,PH=424,PG=16,DR=1,DK=8,SP=1,PS=130,TO=0,GM=1,TR=2,MD=1,LM=0,RM=0,TM=0,BM=0\r\n"},
    {"OffsetsNeverSentB", true,
     [](DefValues& v) {
       v.offsetX = 5;
       v.offsetY = 5;
     },
     "DEF MK=2,PW=1227,PH=600,PG=24,DR=1,DK=8,SP=2,PS=36,TO=0,GM=1,TR=1,MD=1,LM=0,RM=0,TM=0,BM=0\r\n"},
    {"MarginsAndHexModeB", true,
     [](DefValues& v) {
       v.leftMargin = 15;
       v.rightMargin = 25;
       v.topMargin = 100;
       v.bottomMargin = 9;
       v.graphicsMode = 0;
       v.labelType = 1;
     },
     "DEF MK=1,PW=1227,PH=600,PG=24,DR=1,DK=8,SP=2,PS=36,TO=0,GM=0,TR=1,MD=1,LM=12,RM=24,TM=120,BM=0\r\n"},
};

class DefLine : public ::testing::TestWithParam<DefCase> {};

TEST_P(DefLine, FieldsInOrderWithChecksAndModelRules) {
  const DefCase& c = GetParam();
  DefValues v = c.modelB ? defaultsB() : defaultsA();
  c.change(v);
  char line[256];
  int n = formatDefLine(line, sizeof line, v, c.modelB ? kRulesB : kRulesA);
  EXPECT_EQ(std::string(line, n), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, DefLine, ::testing::ValuesIn(kDefCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DefLineBuffer, TooSmallBufferGivesNothing) {
  char line[40];
  EXPECT_EQ(formatDefLine(line, sizeof line, defaultsA(), kRulesA), 0);
  EXPECT_EQ(line[0], 0);
  EXPECT_EQ(formatDefLine(nullptr, 256, defaultsA(), kRulesA), 0);
}

TEST(DefLineBuffer, LargestValuesFit256Bytes) {
  DefValues v{};
  int* fields = &v.labelType;
  for (size_t i = 0; i < sizeof v / sizeof(int); ++i) fields[i] = -2147483647 - 1;
  v.printMode = 4;
  char line[256];
  EXPECT_GT(formatDefLine(line, sizeof line, v, kRulesA), 0);
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
  out.suppressed = TRUE;
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
  int n = formatDefLine(def, sizeof def, defaultsA(), kRulesA);
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
