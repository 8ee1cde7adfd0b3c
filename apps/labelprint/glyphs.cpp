// FreeType glyph rendering for labelprint's text.
#include "glyphs.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <sys/stat.h>

namespace labelprint {

const char kDefaultFont[] = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
const char kFallbackFont[] = "/usr/share/fonts/truetype/wqy/wqy-zenhei.ttc";

struct TextRenderer::Faces {
  FT_Library library = nullptr;
  std::vector<FT_Face> faces;
  ~Faces() {
    for (FT_Face f : faces) FT_Done_Face(f);
    if (library) FT_Done_FreeType(library);
  }
};

TextRenderer::TextRenderer() = default;
TextRenderer::~TextRenderer() = default;

bool decodeUtf8(const std::string& text, std::vector<char32_t>* out) {
  out->clear();
  for (size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    int extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
    if (extra < 0 || i + size_t(extra) >= text.size() + (extra == 0 ? 1 : 0)) return false;
    char32_t cp = extra == 0 ? c : c & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) {
      const unsigned char d = static_cast<unsigned char>(text[i + size_t(k)]);
      if ((d >> 6) != 2) return false;
      cp = (cp << 6) | (d & 0x3F);
    }
    static const char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
    if (cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    out->push_back(cp);
    i += size_t(extra) + 1;
  }
  return true;
}

bool TextRenderer::open(const std::string& fontFile, std::string* error) {
  faces_ = std::make_unique<Faces>();
  if (FT_Init_FreeType(&faces_->library)) {
    *error = "FreeType cannot start";
    return false;
  }
  const std::string first = fontFile.empty() ? kDefaultFont : fontFile;
  FT_Face face = nullptr;
  if (FT_New_Face(faces_->library, first.c_str(), 0, &face)) {
    *error = "cannot load font '" + first + "'";
    return false;
  }
  faces_->faces.push_back(face);
  struct stat st;
  if (first != kFallbackFont && stat(kFallbackFont, &st) == 0 && !FT_New_Face(faces_->library, kFallbackFont, 0, &face))
    faces_->faces.push_back(face);
  return true;
}

bool TextRenderer::render(const std::string& utf8, LONG x, LONG y, LONG pixels, std::vector<gdiplay::Glyph>* glyphs,
                          std::string* error) {
  std::vector<char32_t> text;
  if (!decodeUtf8(utf8, &text)) {
    *error = "text '" + utf8 + "' is not UTF-8";
    return false;
  }
  if (!faces_ || faces_->faces.empty()) {
    *error = "no font loaded";
    return false;
  }
  for (FT_Face f : faces_->faces) FT_Set_Pixel_Sizes(f, 0, FT_UInt(pixels < 1 ? 1 : pixels));
  const LONG baseline = y + LONG(faces_->faces[0]->size->metrics.ascender >> 6);
  LONG pen = x;
  for (char32_t cp : text) {
    FT_Face face = faces_->faces[0];
    FT_UInt index = FT_Get_Char_Index(face, FT_ULong(cp));
    for (size_t k = 1; index == 0 && k < faces_->faces.size(); ++k)
      if (FT_UInt other = FT_Get_Char_Index(faces_->faces[k], FT_ULong(cp))) face = faces_->faces[k], index = other;
    if (FT_Load_Glyph(face, index, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO | FT_LOAD_MONOCHROME)) continue;
    const FT_GlyphSlot slot = face->glyph;
    const FT_Bitmap& bm = slot->bitmap;
    gdiplay::Glyph g;
    g.origin = POINTL{pen, baseline};
    g.left = slot->bitmap_left;
    g.top = -slot->bitmap_top;
    g.width = LONG(bm.width);
    g.height = LONG(bm.rows);
    const size_t stride = (bm.width + 7) / 8;
    g.bits.assign(stride * bm.rows, 0);
    for (unsigned r = 0; r < bm.rows; ++r) {
      const unsigned char* src = bm.buffer + ptrdiff_t(r) * bm.pitch;
      for (unsigned c = 0; c < bm.width; ++c) {
        const bool ink = bm.pixel_mode == FT_PIXEL_MODE_MONO ? (src[c >> 3] >> (7 - (c & 7))) & 1 : src[c] >= 128;
        if (ink) g.bits[r * stride + (c >> 3)] |= static_cast<BYTE>(0x80 >> (c & 7));
      }
    }
    pen += LONG((slot->advance.x + 32) >> 6);
    if (g.width > 0 && g.height > 0) glyphs->push_back(std::move(g));
  }
  return true;
}

}  // namespace labelprint
