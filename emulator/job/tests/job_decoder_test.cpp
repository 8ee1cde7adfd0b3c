// Job stream decoding: labels as printed, every malformed-input error with
// its offset, damaged streams, and the PNG picture.
#include "job_decoder.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <ostream>
#include <random>
#include <string>
#include <vector>

namespace {

using emu::DecodeError;
using emu::JobReport;

const std::string kDef =
    "DEF MK=2,PW=16,PH=4,PG=16,DR=1,DK=8,SP=1,PS=130,TO=0,XO=0,YO=0,GM=1,TR=2,MD=1,LM=0,RM=0,TM=0,BM=0\r\n";
const std::string kHexDef =
    "DEF MK=2,PW=16,PH=4,PG=16,DR=1,DK=8,SP=1,PS=130,TO=0,XO=0,YO=0,GM=0,TR=2,MD=1,LM=0,RM=0,TM=0,BM=0\r\n";
// Two rows of 10 dots at (2, 1): dots at x 2 and 11 on the first, 2..11 on the second.
const std::string kGraph = "GRAPH X=2,Y=1,WD=10,HT=2,MD=2\r\n";
const std::string kRows = std::string("\x01\x80\x40\x01\xFF\xC0", 6) + "\r\n";
const std::string kJob = kDef + "JOB NM=QX,ID=1\r\nSTART\r\nQTY P=3\r\n" + kGraph + kRows + "END\r\nJOBE\r\n";

bool decode(const std::string& s, JobReport& r, DecodeError& e) {
  return emu::decodeJob(reinterpret_cast<const uint8_t*>(s.data()), s.size(), r, e);
}

void expectTestLabel(const emu::Label& label) {
  EXPECT_EQ(label.width, 16);
  EXPECT_EQ(label.height, 4);
  EXPECT_EQ(label.quantity, 3);
  EXPECT_EQ(label.graphs, 1);
  EXPECT_EQ(label.dotCount(), 12u);
  EXPECT_TRUE(label.dot(2, 1));
  EXPECT_TRUE(label.dot(11, 1));
  EXPECT_FALSE(label.dot(3, 1));
  for (int x = 2; x <= 11; ++x) EXPECT_TRUE(label.dot(x, 2)) << x;
  EXPECT_FALSE(label.dot(12, 2));
}

TEST(DecodeJob, ReportsTheLabelWithItsFields) {
  JobReport r;
  DecodeError e;
  ASSERT_TRUE(decode(kJob, r, e)) << e.describe();
  ASSERT_EQ(r.labels.size(), 1u);
  EXPECT_EQ(r.jobName, "QX");
  EXPECT_EQ(r.jobId, 1);
  EXPECT_EQ(r.jobEnds, 1);
  const emu::Label& label = r.labels[0];
  expectTestLabel(label);
  EXPECT_EQ(label.offset, kDef.size() + 16);
  ASSERT_EQ(label.def.size(), 18u);
  EXPECT_EQ(label.def.front().key, "MK");
  EXPECT_EQ(label.def.back().key, "BM");
  EXPECT_EQ(label.field("PS", -1), 130);
  EXPECT_EQ(label.field("CP", -1), -1);
}

TEST(DecodeJob, HexadecimalRowsWhenTheDefSaysGm0) {
  std::string job = kHexDef + "START\r\nQTY P=3\r\n" + kGraph + "018040" + "01ffC0" + "\r\nEND\r\n";
  JobReport r;
  DecodeError e;
  ASSERT_TRUE(decode(job, r, e)) << e.describe();
  ASSERT_EQ(r.labels.size(), 1u);
  expectTestLabel(r.labels[0]);
}

TEST(DecodeJob, GraphsAddUpAndWidenTheImage) {
  std::string second = "GRAPH X=0,Y=3,WD=20,HT=1,MD=2\r\n" + std::string("\xFF\x00\x00\x10", 4) + "\r\n";
  std::string job = kDef + "START\r\nQTY P=1\r\n" + kGraph + kRows + second + "END\r\nSTART\r\nQTY P=2\r\nEND\r\n";
  JobReport r;
  DecodeError e;
  ASSERT_TRUE(decode(job, r, e)) << e.describe();
  ASSERT_EQ(r.labels.size(), 2u);
  EXPECT_EQ(r.labels[0].width, 20);
  EXPECT_EQ(r.labels[0].graphs, 2);
  EXPECT_EQ(r.labels[0].dotCount(), 13u);
  EXPECT_TRUE(r.labels[0].dot(19, 3));
  EXPECT_TRUE(r.labels[0].dot(11, 1));
  EXPECT_EQ(r.labels[1].quantity, 2);
  EXPECT_EQ(r.labels[1].dotCount(), 0u);
  EXPECT_EQ(r.jobEnds, 0);
}

struct Malformed {
  const char* name;
  std::string stream;
  size_t offset;
  const char* reason;  // part of the message
};

const std::string kOpen = kDef + "START\r\nQTY P=1\r\n";
const size_t kRowsAt = kOpen.size() + kGraph.size();

const Malformed kMalformed[] = {
    {"UnknownCommand", "DEF MK=1\r\nPRINT\r\n", 10, "unknown command 'PRINT'"},
    {"UnknownDefField", "DEF MK=1,ZZ=4\r\n", 9, "unknown DEF field 'ZZ'"},
    {"BadDefValue", "DEF MK=1,PW=12a\r\n", 12, "bad value '12a' for PW"},
    {"PlusSignIsNoDecimal", "DEF MK=+1\r\n", 7, "bad value '+1' for MK"},
    {"DefFieldTwice", "DEF MK=1,MK=2\r\n", 12, "given twice"},
    {"FieldWithoutValue", "DEF MK\r\n", 4, "bad field 'MK'"},
    {"DefInsideLabel", kOpen + kDef, kOpen.size(), "DEF inside a label"},
    {"StartTwice", kOpen + "START\r\n", kOpen.size(), "START inside a label"},
    {"GraphOutsideLabel", kDef + kGraph, kDef.size(), "GRAPH outside a label"},
    {"EndWithoutStart", "END\r\n", 0, "END outside a label"},
    {"JobeInsideLabel", kOpen + "JOBE\r\n", kOpen.size(), "JOBE inside a label"},
    {"MissingEnd", kOpen, kOpen.size(), "END is missing"},
    {"QtyZero", kDef + "START\r\nQTY P=0\r\n", kDef.size() + 13, "at least 1"},
    {"QtyWithoutP", kDef + "START\r\nQTY N=2\r\n", kDef.size() + 7, "exactly the field P"},
    {"GraphWithoutWidth", kOpen + "GRAPH X=0,Y=0,HT=1,MD=2\r\n", kOpen.size(), "GRAPH without WD"},
    {"GraphNotRunLength", kOpen + "GRAPH X=0,Y=0,WD=8,HT=1,MD=1\r\n", kOpen.size(), "MD=1"},
    {"GraphNegativeX", kOpen + "GRAPH X=-1,Y=0,WD=8,HT=1,MD=2\r\n", kOpen.size(), "outside the printable range"},
    {"GraphTooTall", kOpen + "GRAPH X=0,Y=1,WD=8,HT=8192,MD=2\r\n", kOpen.size(), "outside the printable range"},
    {"RowOverrunsGraph", kOpen + kGraph + std::string("\xFD\x00", 2), kRowsAt, "row 0 overruns its GRAPH (WD=10)"},
    {"LiteralOverrunsGraph", kOpen + kGraph + std::string("\x02\x01\x02\x03", 4), kRowsAt, "row 0 overruns"},
    {"RunHeaderPastTheEnd", kOpen + kGraph + std::string("\x01\x80\x40", 3), kRowsAt + 3,
     "run header past the end of the data in GRAPH row 1"},
    {"TruncatedLiteral", kOpen + kGraph + std::string("\x01\x80", 2), kRowsAt + 2, "truncated data in GRAPH row 0"},
    {"TruncatedRepeat", kOpen + kGraph + std::string("\xFF", 1), kRowsAt + 1, "truncated data in GRAPH row 0"},
    {"RunHeader80", kOpen + kGraph + std::string("\x80\x00", 2), kRowsAt, "run header 0x80"},
    {"RowsNotClosed", kOpen + kGraph + kRows.substr(0, 6) + "END\r\n", kRowsAt + 6, "not closed by CR LF"},
    {"RowsCutBeforeCrLf", kOpen + kGraph + kRows.substr(0, 7), kRowsAt + 6, "truncated data: GRAPH rows"},
    {"BadHexDigit", kHexDef + "START\r\nQTY P=1\r\n" + kGraph + "01G0", kRowsAt + 2, "bad hexadecimal digit"},
    {"LineWithoutCrLf", "DEF MK=1\r\nSTART", 15, "has no CR LF"},
    {"CrWithoutLf", "START\r", 5, "CR without LF"},
    {"CrFollowedByOther", "START\rX", 5, "CR not followed by LF"},
    {"ControlByteInLine", std::string("DEF MK=1\x01\r\n"), 8, "byte 0x01"},
    {"EmptyLine", kDef + "\r\n", kDef.size(), "empty line"},
    {"EndWithFields", kOpen + "END X=1\r\n", kOpen.size(), "END takes no fields"},
};

class DecodeMalformed : public ::testing::TestWithParam<Malformed> {};

TEST_P(DecodeMalformed, ErrorNamesOffsetAndReason) {
  const Malformed& c = GetParam();
  JobReport r;
  DecodeError e;
  ASSERT_FALSE(decode(c.stream, r, e));
  EXPECT_EQ(e.offset, c.offset) << e.describe();
  EXPECT_NE(e.reason.find(c.reason), std::string::npos) << e.describe();
  EXPECT_EQ(e.describe().rfind("offset " + std::to_string(c.offset) + ": ", 0), 0u);
}

INSTANTIATE_TEST_SUITE_P(Cases, DecodeMalformed, ::testing::ValuesIn(kMalformed),
                         [](const auto& info) { return std::string(info.param.name); });

// A clockwise-turned band as the driver sends it with landscape rotation
// on: the header keeps the unturned WD x HT, rows are page columns of
// ceil(HT / 8) bytes, each coded here as one literal run.
struct TurnedDot {
  int row, dot;
  bool printed;  // false: a bit past the row's dots, never printed
};

struct TurnedCase {
  const char* name;
  bool grey;
  int x, y, wd, ht;
  int rows;  // turned rows sent: 8 * ceil(WD / 8) one-bit, WD grey
  std::vector<TurnedDot> dots;
  int labelWidth, labelHeight;
};

const TurnedCase kTurned[] = {
    // One bit: 8 * ceil(13 / 8) = 16 rows (filler columns sent), each of
    // whole scanline bytes, 16 dots.
    {"OneBit", false, 1, 2, 13, 10, 16, {{0, 0, true}, {12, 6, true}, {15, 15, true}}, 17, 18},
    // Grey: one row per column, 13 rows of 10 dots.
    {"Grey", true, 0, 0, 13, 10, 13, {{0, 0, true}, {12, 9, true}, {7, 5, true}, {3, 12, false}}, 16, 13},
};

void PrintTo(const TurnedCase& c, std::ostream* os) { *os << c.name; }

std::string turnedBlock(const TurnedCase& c) {
  const size_t rowBytes = size_t(c.ht + 7) / 8;
  std::vector<std::string> rows(size_t(c.rows), std::string(rowBytes, '\0'));
  for (const TurnedDot& d : c.dots) rows[size_t(d.row)][size_t(d.dot) / 8] |= char(0x80 >> (d.dot % 8));
  std::string block = "GRAPH X=" + std::to_string(c.x) + ",Y=" + std::to_string(c.y) + ",WD=" +
                      std::to_string(c.wd) + ",HT=" + std::to_string(c.ht) + ",MD=2\r\n";
  for (const std::string& row : rows) block += char(rowBytes - 1) + row;
  return block + "\r\n";
}

class DecodeTurned : public ::testing::TestWithParam<TurnedCase> {};

TEST_P(DecodeTurned, RowsArePageColumnsWhenTheJobIsRotated) {
  const TurnedCase& c = GetParam();
  const std::string job = kOpen + turnedBlock(c) + "END\r\n";
  emu::DecodeOptions options;
  options.landscapeRotation = true;
  options.greySurface = c.grey;
  JobReport r;
  DecodeError e;
  ASSERT_TRUE(emu::decodeJob(reinterpret_cast<const uint8_t*>(job.data()), job.size(), r, e, options)) << e.describe();
  ASSERT_EQ(r.labels.size(), 1u);
  const emu::Label& label = r.labels[0];
  EXPECT_EQ(label.width, c.labelWidth);
  EXPECT_EQ(label.height, c.labelHeight);
  size_t printed = 0;
  for (const TurnedDot& d : c.dots) {
    EXPECT_EQ(label.dot(c.x + d.dot, c.y + d.row), d.printed) << "row " << d.row << ", dot " << d.dot;
    printed += d.printed;
  }
  EXPECT_EQ(label.dotCount(), printed);
}

TEST_P(DecodeTurned, ReadAsScanlinesTheBlockIsMalformed) {
  const TurnedCase& c = GetParam();
  const std::string job = kOpen + turnedBlock(c) + "END\r\n";
  JobReport r;
  DecodeError e;
  ASSERT_FALSE(decode(job, r, e));
  // HT rows of ceil(WD / 8) = 2 bytes are taken (3 coded bytes each, as
  // the turned rows are), and the next turned row stands where CR LF must.
  const size_t rowsAt = kOpen.size() + turnedBlock(c).find("\r\n") + 2;
  EXPECT_EQ(e.offset, rowsAt + 3 * size_t(c.ht)) << e.describe();
  EXPECT_NE(e.reason.find("GRAPH rows not closed by CR LF"), std::string::npos) << e.describe();
}

INSTANTIATE_TEST_SUITE_P(Cases, DecodeTurned, ::testing::ValuesIn(kTurned),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DecodeTurnedErrors, SizeAndRowLengthFollowTheTurn) {
  emu::DecodeOptions options;
  options.landscapeRotation = true;
  auto fault = [&](const std::string& job) {
    JobReport r;
    DecodeError e;
    EXPECT_FALSE(emu::decodeJob(reinterpret_cast<const uint8_t*>(job.data()), job.size(), r, e, options));
    return e;
  };
  // 5000 scanlines of 8 dots fit the image, but turned, rows of 5000 dots
  // are wider than it.
  DecodeError e = fault(kOpen + "GRAPH X=0,Y=0,WD=8,HT=5000,MD=2\r\n");
  EXPECT_EQ(e.offset, kOpen.size());
  EXPECT_NE(e.reason.find("outside the printable range"), std::string::npos) << e.describe();
  // HT 10 makes rows of 2 bytes: a run of 3 overruns the row.
  const std::string graph = "GRAPH X=0,Y=0,WD=8,HT=10,MD=2\r\n";
  e = fault(kOpen + graph + std::string("\xFE\x00", 2));
  EXPECT_EQ(e.offset, kOpen.size() + graph.size());
  EXPECT_NE(e.reason.find("row 0 overruns its GRAPH (HT=10)"), std::string::npos) << e.describe();
}

// A longer valid job: two labels of random rows, binary or hexadecimal.
std::string randomJob(bool hex, unsigned seed) {
  std::mt19937 rng(seed);
  std::string job = (hex ? kHexDef : kDef) + "JOB NM=QX,ID=1\r\n";
  for (int label = 0; label < 2; ++label) {
    job += "START\r\nQTY P=2\r\nGRAPH X=1,Y=0,WD=15,HT=4,MD=2\r\n";
    for (int row = 0; row < 4; ++row) {
      uint8_t code[3] = {0x01, uint8_t(rng()), uint8_t(rng() & 0xFE)};
      if (row % 2) code[0] = 0xFF, code[2] = 0;  // a repeat run: FF b
      size_t n = row % 2 ? 2 : 3;
      for (size_t i = 0; i < n; ++i) {
        char text[3];
        std::snprintf(text, sizeof text, "%02X", code[i]);
        job += hex ? std::string(text) : std::string(1, char(code[i]));
      }
    }
    job += "\r\nEND\r\n";
  }
  return job + "JOBE\r\n";
}

TEST(DecodeDamaged, EveryTruncationFailsCleanlyUntilTheLastEnd) {
  for (bool hex : {false, true}) {
    const std::string job = randomJob(hex, 1);
    JobReport full;
    DecodeError e;
    ASSERT_TRUE(decode(job, full, e)) << e.describe();
    ASSERT_EQ(full.labels.size(), 2u);
    const size_t lastEnd = job.rfind("END\r\n") + 5;
    for (size_t n = 0; n < job.size(); ++n) {
      std::string cut = job.substr(0, n);
      JobReport r;
      bool ok = decode(cut, r, e);
      if (n < lastEnd && n > 0) {
        EXPECT_FALSE(ok && r.labels.size() == 2) << "prefix " << n;
      }
      if (!ok) {
        EXPECT_LE(e.offset, n) << "prefix " << n << ": " << e.describe();
      }
      EXPECT_LE(r.labels.size(), 2u);
    }
  }
}

TEST(DecodeDamaged, BitFlipsNeverReadOutside) {
  for (bool hex : {false, true}) {
    const std::string job = randomJob(hex, 2);
    std::mt19937 rng(9);
    for (size_t i = 0; i < job.size(); ++i) {
      for (int t = 0; t < 3; ++t) {
        std::string bad = job;
        bad[i] = static_cast<char>(bad[i] ^ (1 << (rng() % 8)));
        JobReport r;
        DecodeError e;
        // Reading is bounded by the data given; a sanitizer build checks
        // the accesses, this checks the results stay consistent.
        if (!decode(bad, r, e)) {
          EXPECT_LE(e.offset, bad.size());
          EXPECT_FALSE(e.reason.empty());
        }
        for (const auto& label : r.labels) EXPECT_EQ(label.dots.size(), size_t(label.width) * label.height);
      }
    }
  }
}

TEST(DecodeJob, NullDataIsAnError) {
  JobReport r;
  DecodeError e;
  EXPECT_FALSE(emu::decodeJob(nullptr, 5, r, e));
  EXPECT_TRUE(emu::decodeJob(nullptr, 0, r, e));
  EXPECT_TRUE(r.labels.empty());
}

TEST(LabelPng, WritesTheDotsBlackOnWhite) {
  JobReport r;
  DecodeError e;
  ASSERT_TRUE(decode(kJob, r, e));
  std::string path = ::testing::TempDir() + "label-png-test.png";
  std::string why;
  ASSERT_TRUE(emu::writeLabelPng(r.labels[0], path, &why)) << why;

  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  ASSERT_TRUE(png_image_begin_read_from_file(&image, path.c_str())) << image.message;
  image.format = PNG_FORMAT_GRAY;
  std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
  ASSERT_TRUE(png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) << image.message;
  ASSERT_EQ(image.width, 16u);
  ASSERT_EQ(image.height, 4u);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 16; ++x) EXPECT_EQ(pixels[y * 16 + x], r.labels[0].dot(x, y) ? 0 : 255) << x << "," << y;
  std::remove(path.c_str());

  EXPECT_FALSE(emu::writeLabelPng(r.labels[0], "/nonexistent-dir/x.png", &why));
  EXPECT_NE(why.find("cannot write"), std::string::npos);
  EXPECT_FALSE(emu::writeLabelPng(emu::Label{}, path, &why));
}

}  // namespace
