// Raw files in the job language: accepted whole or refused at the line.
#include "raw_check.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using printerapp::checkRawJob;

const std::string kHeader = "DEF MK=2,PW=80,PH=16,PG=16,DR=1,DK=8,SP=1,PS=130,TO=0,GM=1,TR=2,MD=1,LM=0,RM=0,TM=0,BM=0\r\n"
                            "JOB NM=QX,ID=1\r\nSTART\r\nQTY P=1\r\n";
// One GRAPH of 8 x 2 dots: two rows of one byte, each a repeat of 1 (PackBits 0x00 0xFF).
const std::string kGraph = std::string("GRAPH X=0,Y=0,WD=8,HT=2,MD=2\r\n") + std::string("\x00\xFF\x00\xFF", 4) + "\r\n";
const std::string kTail = "END\r\nJOBE\r\n";

TEST(RawCheck, RefusesAtTheFaultyLine) {
  struct Case {
    const char* name;
    std::string data;
    bool ok;
    size_t line;
  } const cases[] = {
      {"WholeJob", kHeader + kGraph + kTail, true, 0},
      {"UnknownCommand", kHeader + "FEED 3\r\n" + kGraph + kTail, false, 5},
      {"TruncatedGraph", kHeader + "GRAPH X=0,Y=0,WD=8,HT=2,MD=2\r\n" + std::string("\x00\xFF", 2), false, 0},
      {"NoLabel", "JOB NM=QX,ID=1\r\nJOBE\r\n", false, 1},
      {"Empty", "", false, 1},
  };
  for (const Case& c : cases) {
    const auto r = checkRawJob(reinterpret_cast<const uint8_t*>(c.data.data()), c.data.size());
    EXPECT_EQ(r.ok, c.ok) << c.name << ": " << r.describe();
    if (c.line) {
      EXPECT_EQ(r.line, c.line) << c.name << ": " << r.describe();
    }
    if (!c.ok) {
      EXPECT_FALSE(r.reason.empty()) << c.name;
    }
  }
}

}  // namespace
