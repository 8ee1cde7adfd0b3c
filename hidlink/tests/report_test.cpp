// Feature report decoding and output report framing.
#include <gtest/gtest.h>

#include <ostream>
#include <vector>

#include "report.h"

namespace {

using hidlink::kReportSize;

struct FeatureCase {
  const char* what;
  std::vector<uint8_t> head;  // bytes 0-7
  uint32_t freeSpace;
  uint16_t pending;
  uint8_t count;
  friend std::ostream& operator<<(std::ostream& os, const FeatureCase& c) { return os << c.what; }
};

class FeatureParse : public ::testing::TestWithParam<FeatureCase> {};

TEST_P(FeatureParse, DecodesBigEndianFieldsAndClampsTheCount) {
  const FeatureCase& c = GetParam();
  uint8_t report[kReportSize] = {};
  std::copy(c.head.begin(), c.head.end(), report);
  for (size_t i = 8; i < kReportSize; ++i) report[i] = uint8_t(i);
  hidlink::FeatureReport f = hidlink::parseFeatureReport(report);
  EXPECT_EQ(f.freeSpace, c.freeSpace);
  EXPECT_EQ(f.pending, c.pending);
  EXPECT_EQ(f.count, c.count);
  EXPECT_EQ(f.data, report + 8);
  EXPECT_LE(f.data + f.count, report + kReportSize);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FeatureParse,
    ::testing::Values(FeatureCase{"empty", {0, 0, 0, 0, 0, 0, 0, 0}, 0, 0, 0},
                      FeatureCase{"byte order", {0, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 3}, 0x12345678u, 0x9ABC, 3},
                      FeatureCase{"largest free space", {0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 1, 57}, 0xFFFFFFFFu, 1, 57},
                      FeatureCase{"count one over", {0, 0, 0, 0x10, 0, 0, 0, 58}, 4096, 0, 57},
                      FeatureCase{"count far over", {0, 0, 0, 0, 1, 0, 0, 255}, 1, 0, 57}),
    [](const auto& info) {
      std::string n = info.param.what;
      for (char& ch : n)
        if (ch == ' ') ch = '_';
      return n;
    });

TEST(OutputReport, FramesPayloadAfterIdAndCountAndZeroesTheRest) {
  uint8_t report[kReportSize];
  std::fill(report, report + kReportSize, 0xEE);
  std::vector<uint8_t> data(63);
  for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(i + 1);

  ASSERT_TRUE(hidlink::buildOutputReport(report, data.data(), 63));
  EXPECT_EQ(report[0], 0);
  EXPECT_EQ(report[1], 63);
  EXPECT_TRUE(std::equal(data.begin(), data.end(), report + 2));

  ASSERT_TRUE(hidlink::buildOutputReport(report, data.data(), 1));
  EXPECT_EQ(report[1], 1);
  EXPECT_EQ(report[2], 1);
  for (size_t i = 3; i < kReportSize; ++i) EXPECT_EQ(report[i], 0) << i;  // no stale bytes of the 63-byte report

  ASSERT_TRUE(hidlink::buildOutputReport(report, nullptr, 0));
  EXPECT_EQ(report[1], 0);

  report[1] = 0x55;
  EXPECT_FALSE(hidlink::buildOutputReport(report, data.data(), 64));
  EXPECT_EQ(report[1], 0x55);
}

}  // namespace
