// Command line of labelprint: what to print, how, and where to.
#pragma once

#include <string>
#include <vector>

namespace labelprint {

// One thing drawn on the label. Positions and sizes are millimetres from
// the printable area's top-left corner.
struct Item {
  enum class Kind { Text, Barcode, Box, Line };
  Kind kind = Kind::Text;
  double x = 0, y = 0;  // top-left (text, barcode, box) or first end point (line)
  double a = 0, b = 0;  // box: width, height; line: second end point
  double size = 0;      // text height
  double thickness = 0.3;  // box and line pen
  std::string type;     // barcode: "code128" or "qr"
  std::string text;     // UTF-8 text or barcode data
};

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
  std::vector<Item> items;  // drawn in command-line order, after the image
  bool imageBoxGiven = false;
  double imageBox[4] = {};  // X, Y, W, H of the image (default: the printable area)
  std::string font;         // text face (default DejaVu Sans; CJK glyphs from WenQuanYi Zen Hei)
  bool help = false;
  std::string labelFile;
  std::string preview;
  std::string input;
  std::string output;
};

// Parses argv[1..]. Returns true with *options filled (only `help` set
// for --help), or false with a one-line reason in *error (unknown option,
// missing or out-of-range value, malformed item, missing -o).
bool parseOptions(const std::vector<std::string>& args, Options* options, std::string* error);

extern const char kUsage[];

}  // namespace labelprint
