// Dither tables from each threshold-pattern kind, and the tables a device
// builds into its work buffers.
#include <gtest/gtest.h>

#include <vector>

#include "dither.h"
#include "tables.h"

using namespace driver;

namespace {

DitherTable& table() {
  static DitherTable t;
  return t;
}

TEST(DitherTableTest, KindOneIsASingleThreshold) {
  const BYTE t = 128;
  buildDitherTable(1, &t, 1, table());
  for (int r = 0; r < 16; ++r) {
    EXPECT_EQ(table()[127][r], 0x0000);
    EXPECT_EQ(table()[128][r], 0xFFFF);
    EXPECT_EQ(table()[255][r], 0xFFFF);
  }
}

TEST(DitherTableTest, KindTwoRepeatsTheGroupRowsAndWhitensLevel255) {
  std::vector<BYTE> data(256);
  for (int i = 0; i < 256; ++i) data[i] = BYTE(i);
  buildDitherTable(2, data.data(), 256, table());
  for (int level : {8, 9, 15}) {
    for (int r = 0; r < 8; ++r) {
      EXPECT_EQ(table()[level][r], WORD((8 + r) * 257)) << level;
      EXPECT_EQ(table()[level][r + 8], WORD((8 + r) * 257)) << level;
    }
  }
  EXPECT_EQ(table()[254][0], WORD(248 * 257));
  for (int r = 0; r < 16; ++r) EXPECT_EQ(table()[255][r], 0xFFFF);
}

TEST(DitherTableTest, KindThreeClearsColumnsBelowTheirThreshold) {
  BYTE matrix[64] = {};
  for (int c = 0; c < 8; ++c) matrix[c] = BYTE(c * 30);  // row 0: 0, 30, ..., 210
  matrix[8 * 7 + 7] = 255;                               // row 7, column 7
  buildDitherTable(3, matrix, 64, table());
  // Level 100 is below the thresholds of columns 4..7 of row 0.
  EXPECT_EQ(table()[100][0], WORD(0xF0 * 257));
  EXPECT_EQ(table()[100][8], WORD(0xF0 * 257));
  EXPECT_EQ(table()[0][1], 0xFFFF);  // thresholds 0 never clear
  EXPECT_EQ(table()[254][7], WORD(0xFE * 257));
  EXPECT_EQ(table()[255][7], 0xFFFF);
}

TEST(DitherTableTest, KindFourUsesBothBytesOfEachRow) {
  BYTE matrix[256] = {};
  matrix[0] = 10;        // row 0, column 0: low byte, bit 0x80
  matrix[9] = 10;        // row 0, column 9: high byte, bit 0x40
  matrix[16 * 15 + 15] = 200;  // row 15, column 15: high byte, bit 0x01
  buildDitherTable(4, matrix, 256, table());
  EXPECT_EQ(table()[9][0], WORD(0xFFFF & ~0x0080 & ~0x4000));
  EXPECT_EQ(table()[10][0], 0xFFFF);
  EXPECT_EQ(table()[199][15], WORD(0xFFFF & ~0x0100));
  EXPECT_EQ(table()[199][1], 0xFFFF);
}

TEST(DitherTableTest, UnknownKindsAndShortDataGiveEmptyTables) {
  BYTE data[256];
  FillMemory(data, sizeof data, 7);
  for (auto [kind, length] : {std::pair<LONG, LONG>{0, 256}, {5, 256}, {3, 63}, {2, 64}, {1, 0}}) {
    FillMemory(&table(), sizeof(DitherTable), 0xAB);
    buildDitherTable(kind, data, length, table());
    for (int level = 0; level < 256; ++level)
      for (int r = 0; r < 16; ++r) ASSERT_EQ(table()[level][r], 0) << kind << "/" << length;
  }
  buildDitherTable(3, nullptr, 64, table());
  EXPECT_EQ(table()[255][0], 0);
}

TEST(DitherTableTest, ModelPatternTableEntriesHaveTheirKinds) {
  const LONG kinds[] = {1, 3, 3, 2};
  for (LONG i = 0; i < kThresholdPatternCount; ++i) {
    ASSERT_NE(thresholdPattern(i), nullptr);
    EXPECT_EQ(thresholdPattern(i)->kind, kinds[i]);
    EXPECT_EQ(patternDataLength(kinds[i]), kinds[i] == 1 ? 1 : (kinds[i] == 3 ? 64 : 256));
  }
  EXPECT_EQ(thresholdPattern(-1), nullptr);
  EXPECT_EQ(thresholdPattern(kThresholdPatternCount), nullptr);
  EXPECT_EQ(patternDataLength(4), 256);
  EXPECT_EQ(patternDataLength(9), 0);
  EXPECT_EQ(kThresholdPatterns[3].data[8 * 31 + 2], 223);  // the last group of entry 3
}

}  // namespace
