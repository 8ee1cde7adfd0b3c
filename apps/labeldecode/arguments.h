// Command line of labeldecode: the job file, the PNG prefix and how the
// emulated printer is set up for the job's GRAPH rows.
#pragma once

#include <string>
#include <vector>

#include "job_decoder.h"

namespace labeldecode {

struct Arguments {
  std::string input;          // the job file
  std::string pngPrefix;      // empty: no PNG files
  emu::DecodeOptions decode;  // --rotated, --grey
};

// Parses argv[1..]. Returns true with *arguments filled, or false with a
// one-line reason in *error (unknown option, --png-prefix without a value,
// no job file or more than one).
bool parseArguments(const std::vector<std::string>& args, Arguments* arguments, std::string* error);

extern const char kUsage[];

}  // namespace labeldecode
