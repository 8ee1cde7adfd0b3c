// labeldecode's command line: the job file, the PNG prefix, the rotation
// set-up flags, and each refusal.
#include "arguments.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

using labeldecode::Arguments;
using labeldecode::parseArguments;

std::vector<std::string> split(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> out;
  for (std::string w; in >> w;) out.push_back(w);
  return out;
}

struct Accepted {
  const char* name;
  const char* line;
  const char* input;
  const char* prefix;
  bool rotated, grey;
};

const Accepted kAccepted[] = {
    {"JobFileOnly", "job.prn", "job.prn", "", false, false},
    {"PngPrefixBeforeTheFile", "--png-prefix out/l job.prn", "job.prn", "out/l", false, false},
    {"RotatedOneBit", "job.prn --rotated", "job.prn", "", true, false},
    {"RotatedGrey", "--grey job.prn --rotated --png-prefix p", "job.prn", "p", true, true},
};

class LabeldecodeAccepts : public ::testing::TestWithParam<Accepted> {};

TEST_P(LabeldecodeAccepts, FieldsAndDecodeOptions) {
  const Accepted& c = GetParam();
  Arguments a;
  std::string error;
  ASSERT_TRUE(parseArguments(split(c.line), &a, &error)) << error;
  EXPECT_EQ(a.input, c.input);
  EXPECT_EQ(a.pngPrefix, c.prefix);
  EXPECT_EQ(a.decode.landscapeRotation, c.rotated);
  EXPECT_EQ(a.decode.greySurface, c.grey);
}

INSTANTIATE_TEST_SUITE_P(Cases, LabeldecodeAccepts, ::testing::ValuesIn(kAccepted),
                         [](const auto& info) { return std::string(info.param.name); });

struct Refused {
  const char* name;
  const char* line;
  const char* error;
};

const Refused kRefused[] = {
    {"NoJobFile", "--rotated", "no job file"},
    {"TwoJobFiles", "a.prn b.prn", "more than one job file"},
    {"UnknownOption", "job.prn --rotate", "unknown option '--rotate'"},
    {"PrefixWithoutValue", "job.prn --png-prefix", "--png-prefix needs a value"},
};

class LabeldecodeRefuses : public ::testing::TestWithParam<Refused> {};

TEST_P(LabeldecodeRefuses, WithAOneLineReason) {
  const Refused& c = GetParam();
  Arguments a;
  std::string error;
  EXPECT_FALSE(parseArguments(split(c.line), &a, &error));
  EXPECT_EQ(error, c.error);
}

INSTANTIATE_TEST_SUITE_P(Cases, LabeldecodeRefuses, ::testing::ValuesIn(kRefused),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
