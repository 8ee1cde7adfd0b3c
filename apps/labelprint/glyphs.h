// Text for labelprint: UTF-8 strings rendered to one-bit glyph bitmaps
// with FreeType, the way GDI hands a driver the glyphs of a TrueType font.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "gdi_play.h"

namespace labelprint {

// The face used when --font names none, and the face asked for characters
// the first one lacks (Chinese text).
extern const char kDefaultFont[];
extern const char kFallbackFont[];

class TextRenderer {
 public:
  TextRenderer();
  ~TextRenderer();
  TextRenderer(const TextRenderer&) = delete;
  TextRenderer& operator=(const TextRenderer&) = delete;

  // Loads `fontFile` (kDefaultFont when empty) and, when present,
  // kFallbackFont. False with a one-line reason when the first cannot be
  // loaded.
  bool open(const std::string& fontFile, std::string* error);

  // The glyphs of `utf8` with the text's top-left corner at (x, y) dots and
  // an em height of `pixels` dots. Characters no face has are drawn with
  // the first face's missing-glyph box. False for text that is not UTF-8.
  bool render(const std::string& utf8, LONG x, LONG y, LONG pixels, std::vector<gdiplay::Glyph>* glyphs,
              std::string* error);

 private:
  struct Faces;
  std::unique_ptr<Faces> faces_;
};

// Decodes UTF-8 into code points; false for malformed input.
bool decodeUtf8(const std::string& text, std::vector<char32_t>* out);

}  // namespace labelprint
