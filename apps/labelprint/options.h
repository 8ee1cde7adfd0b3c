// Command line of labelprint: what to print, how, and where to.
#pragma once

#include <string>
#include <vector>

namespace labelprint {

struct Options {
  std::string model = "TR7208";  // TR7208 (model A) or KV830 (model B)
  long label = 256;
  long width = 0;   // 0.1 mm; with height, selects the user-defined label 256
  long height = 0;
  long copies = 1;
  bool landscape = false;
  bool rotate = false;  // LandscapeRotation: turn landscape pages clockwise
  bool grey = false;    // 8-bit grey surface with ordered dither
  bool hex = false;     // GRAPH rows as hexadecimal text
  std::string labelFile;
  std::string preview;
  std::string input;
  std::string output;
};

// Parses argv[1..]. Returns true with *options filled, or false with a
// one-line reason in *error (unknown option, missing or out-of-range value,
// missing input or -o).
bool parseOptions(const std::vector<std::string>& args, Options* options, std::string* error);

extern const char kUsage[];

}  // namespace labelprint
