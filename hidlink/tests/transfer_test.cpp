// Poll and chunked write against a scripted report port.
#include <gtest/gtest.h>
#include <windows.h>

#include <deque>
#include <ostream>
#include <vector>

#include "sim/world.h"
#include "transfer.h"

namespace {

using hidlink::kReportSize;

struct Feature {
  uint32_t freeSpace;
  uint16_t pending;
  std::vector<uint8_t> data;
  uint8_t countByte = 0xFF;  // 0xFF: the size of data
};

// Answers feature reads from a script (repeating the last entry) and keeps
// every output report.
class ScriptedPort : public hidlink::ReportPort {
 public:
  std::deque<Feature> script;
  Feature last{4096, 0, {}};
  int reads = 0;
  int failReadAt = 0;   // 1-based; 0 never
  int failWriteAt = 0;  // 1-based; 0 never
  std::vector<std::vector<uint8_t>> outputs;

  bool readFeature(uint8_t (&r)[kReportSize]) override {
    if (++reads == failReadAt) return false;
    for (size_t i = 0; i < kReportSize; ++i) EXPECT_EQ(r[i], 0) << "buffer zeroed before each read";
    if (!script.empty()) {
      last = script.front();
      script.pop_front();
    }
    r[1] = uint8_t(last.freeSpace >> 24);
    r[2] = uint8_t(last.freeSpace >> 16);
    r[3] = uint8_t(last.freeSpace >> 8);
    r[4] = uint8_t(last.freeSpace);
    r[5] = uint8_t(last.pending >> 8);
    r[6] = uint8_t(last.pending);
    r[7] = last.countByte == 0xFF ? uint8_t(last.data.size()) : last.countByte;
    std::copy(last.data.begin(), last.data.end(), r + 8);
    return true;
  }
  bool writeOutput(const uint8_t (&r)[kReportSize]) override {
    if (int(outputs.size()) + 1 == failWriteAt) return false;
    outputs.emplace_back(r, r + kReportSize);
    return true;
  }
  std::vector<int> counts() const {
    std::vector<int> c;
    for (auto& o : outputs) c.push_back(o[1]);
    return c;
  }
};

std::vector<uint8_t> bytes(size_t n) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = uint8_t(i * 7 + 1);
  return v;
}

class Transfer : public ::testing::Test {
 protected:
  void SetUp() override { sim::reset(); }
  ScriptedPort port;
  hidlink::ByteRing ring{1024};
};

TEST_F(Transfer, PollCollectsInputWhilePendingAndReturnsTheLastFreeSpace) {
  port.script = {{100, 4, {'1', '2'}}, {90, 0, {'\r', '\n'}}};
  EXPECT_EQ(hidlink::poll(port, ring), 90);
  uint8_t out[8];
  ASSERT_EQ(ring.take(out, sizeof out), 4u);
  EXPECT_EQ(std::string(out, out + 4), "12\r\n");
  EXPECT_EQ(port.reads, 2);
}

TEST_F(Transfer, PollClampsAnOversizedCountToTheReport) {
  Feature f{10, 0, std::vector<uint8_t>(57, 'x')};
  f.countByte = 200;
  port.script = {f};
  EXPECT_EQ(hidlink::poll(port, ring), 10);
  EXPECT_EQ(ring.size(), 57u);
}

TEST_F(Transfer, PollGivesUpOnAPrinterThatAnnouncesInputItNeverSends) {
  port.script = {{50, 3, {}}};  // repeated forever
  EXPECT_EQ(hidlink::poll(port, ring), 50);
  EXPECT_EQ(port.reads, hidlink::kMaxEmptyPendingReports);

  // Reports that do carry input reset the count of empty ones.
  port.reads = 0;
  port.script = {{50, 3, {}}, {50, 3, {'a'}}};
  for (int i = 0; i < hidlink::kMaxEmptyPendingReports - 1; ++i) port.script.push_back({50, 3, {}});
  port.script.push_back({50, 0, {'b'}});
  EXPECT_EQ(hidlink::poll(port, ring), 50);
  EXPECT_EQ(port.reads, hidlink::kMaxEmptyPendingReports + 2);
}

TEST_F(Transfer, PollStopsWhenTheRingIsFullLeavingTheRestInThePrinter) {
  hidlink::ByteRing small(60);
  port.script = {{7, 100, std::vector<uint8_t>(57, 'a')}, {8, 43, std::vector<uint8_t>(57, 'b')}};
  EXPECT_EQ(hidlink::poll(port, small), 8);
  EXPECT_EQ(port.reads, 2);
  EXPECT_TRUE(small.full());
}

TEST_F(Transfer, PollReportsAFailedFeatureRead) {
  port.failReadAt = 2;
  port.script = {{50, 1, {'a'}}};
  EXPECT_EQ(hidlink::poll(port, ring), -1);
  EXPECT_EQ(ring.size(), 1u);  // what arrived before the failure is kept
}

struct ChunkCase {
  size_t length;
  uint32_t freeSpace;
  int64_t result;
  std::vector<int> counts;
  friend std::ostream& operator<<(std::ostream& os, const ChunkCase& c) {
    return os << c.length << " bytes, free space " << c.freeSpace;
  }
};

class Chunk : public Transfer, public ::testing::WithParamInterface<ChunkCase> {};

TEST_P(Chunk, SendsFullReportsTheRestAndAClosingZeroReport) {
  const ChunkCase& c = GetParam();
  port.last = {c.freeSpace, 0, {}};
  auto data = bytes(c.length);
  EXPECT_EQ(hidlink::writeChunk(port, ring, data.data(), data.size()), c.result);
  EXPECT_EQ(port.counts(), c.counts);
  std::vector<uint8_t> sent;
  for (auto& o : port.outputs) sent.insert(sent.end(), o.begin() + 2, o.begin() + 2 + o[1]);
  EXPECT_EQ(sent, std::vector<uint8_t>(data.begin(), data.begin() + long(c.result > 0 ? c.result : 0)));
}

INSTANTIATE_TEST_SUITE_P(Cases, Chunk,
                         ::testing::Values(ChunkCase{1, 4096, 1, {1, 0}}, ChunkCase{63, 4096, 63, {63, 0}},
                                           ChunkCase{64, 4096, 64, {63, 1, 0}},
                                           ChunkCase{126, 4096, 126, {63, 63, 0}},
                                           ChunkCase{200, 100, 100, {63, 37, 0}}, ChunkCase{10, 0, 0, {}}));

TEST_F(Transfer, ChunkFailsWhenThePollOrAReportWriteFails) {
  auto data = bytes(100);
  port.failReadAt = 1;
  EXPECT_EQ(hidlink::writeChunk(port, ring, data.data(), data.size()), -1);
  EXPECT_TRUE(port.outputs.empty());
  port.failWriteAt = 2;
  EXPECT_EQ(hidlink::writeChunk(port, ring, data.data(), data.size()), -1);
  EXPECT_EQ(port.counts(), std::vector<int>{63});  // the first report stays sent
}

TEST_F(Transfer, WriteWaitsForRoomAndPausesAfterEveryChunk) {
  port.script = {{0, 0, {}}, {0, 0, {}}, {0, 0, {}}, {80, 0, {}}, {4096, 0, {}}};
  auto data = bytes(200);
  EXPECT_EQ(hidlink::writeAll(port, ring, data.data(), data.size()), 200u);
  // Three empty chunks, one of 80 bytes, one of the last 120.
  EXPECT_EQ(port.counts(), (std::vector<int>{63, 17, 0, 63, 57, 0}));
  EXPECT_EQ(sim::sleptMs(), 5 * hidlink::kChunkPauseMs);
}

TEST_F(Transfer, WriteToAPrinterThatNeverHasRoomGivesUpWithTheShortCount) {
  port.script = {{40, 0, {}}};
  port.last = {40, 0, {}};
  port.script.push_back({0, 0, {}});  // after 40 bytes the printer is full for good
  auto data = bytes(100);
  EXPECT_EQ(hidlink::writeAll(port, ring, data.data(), data.size()), 40u);
  EXPECT_GE(sim::nowMs(), hidlink::kStalledWriteLimitMs);
  EXPECT_LE(sim::nowMs(), hidlink::kStalledWriteLimitMs + 2 * hidlink::kChunkPauseMs);
}

TEST_F(Transfer, WriteStopsAtAFailedChunkWithoutCountingIt) {
  port.last = {70, 0, {}};
  port.failWriteAt = 4;  // second chunk: its first report fails
  auto data = bytes(140);
  EXPECT_EQ(hidlink::writeAll(port, ring, data.data(), data.size()), 70u);
}

}  // namespace
